#pragma once

#include <QSize>
#include <QString>

class QHeaderView;
class QSplitter;
class QWidget;

namespace kd {

class SettingsStore;

// Saves and restores how the user left a window, a splitter and a table's
// columns, each under its object name. A stored state that does not restore
// (another version, garbage) is ignored.
namespace windowArrangement {

void saveGeometry(SettingsStore& store, const QWidget& window);
// A place on a screen that is gone comes back on a visible one.
bool restoreGeometry(const SettingsStore& store, QWidget& window);

void saveSplitter(SettingsStore& store, const QSplitter& splitter);
bool restoreSplitter(const SettingsStore& store, QSplitter& splitter);

// Column widths, order and visibility, restored only onto the same `columns`.
// The sort is never restored: a sorted list would be written back at every exit.
void saveHeader(SettingsStore& store, const QString& name, const QHeaderView& header,
                const QString& columns);
bool restoreHeader(const SettingsStore& store, const QString& name, QHeaderView& header,
                   const QString& columns);

// Sizes a window that opens for the first time: `wanted`, or less where the
// screen's free area (less room for the frame) is smaller.
void sizeWithinScreen(QWidget& window, QSize wanted);

} // namespace windowArrangement
} // namespace kd
