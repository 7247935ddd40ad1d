#pragma once

#include <QByteArray>
#include <QString>

namespace kd {

class SettingsStore;

// How the user arranged the windows (places and sizes, splitters, table
// headers) as the states the windows save, kept in the settings file under
// keys of the launcher's own ("Arrangement/<name>"), outside the 33 keys and so
// untouched by the reset.
namespace arrangement {

// The state saved under `name`; empty when there is none or the stored value
// is not a state (garbage written by hand).
QByteArray savedState(const SettingsStore& store, const QString& name);
void saveState(SettingsStore& store, const QString& name, const QByteArray& state);

// A header's state is kept with the columns it was made for (`columns`, e.g.
// the record keys they show) and given back only for the same columns.
QByteArray savedHeaderState(const SettingsStore& store, const QString& name,
                            const QString& columns);
void saveHeaderState(SettingsStore& store, const QString& name, const QByteArray& state,
                     const QString& columns);

} // namespace arrangement
} // namespace kd
