#pragma once

#include <QString>

namespace kd {

// The recently-used list every freedesktop "recent files" view reads:
// $XDG_DATA_HOME/recently-used.xbel, or ~/.local/share/recently-used.xbel.
// The environment is read at each call.
QString recentlyUsedFile();

// Adds `path` (a local file) to the list in `listFile` as used by this launcher.
// An existing file that does not read as a list is left as it is and the call
// fails; `error` (if given) says why.
bool addRecentDocument(const QString& listFile, const QString& path, QString* error = nullptr);

} // namespace kd
