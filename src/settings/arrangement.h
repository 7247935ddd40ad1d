#pragma once

#include <QString>

class QHeaderView;
class QSplitter;
class QWidget;

namespace kd {

class SettingsStore;

// How the user arranged the windows: places and sizes, splitters and table
// headers, kept in the settings file under keys of the launcher's own
// ("Arrangement/<name>"), outside the 33 keys and so untouched by the reset.
// A stored state that does not restore (another version, garbage) is ignored.
namespace arrangement {

void saveGeometry(SettingsStore& store, const QString& name, const QWidget& window);
// A place on a screen that is gone comes back on a visible one.
bool restoreGeometry(const SettingsStore& store, const QString& name, QWidget& window);

void saveSplitter(SettingsStore& store, const QString& name, const QSplitter& splitter);
bool restoreSplitter(const SettingsStore& store, const QString& name, QSplitter& splitter);

// Column widths, order and visibility, kept with the columns they were made
// for (`columns`, e.g. the record keys they show) and restored only onto the
// same columns. The sort is never restored: a sorted list would be written
// back at every exit.
void saveHeader(SettingsStore& store, const QString& name, const QHeaderView& header,
                const QString& columns);
bool restoreHeader(const SettingsStore& store, const QString& name, QHeaderView& header,
                   const QString& columns);

} // namespace arrangement
} // namespace kd
