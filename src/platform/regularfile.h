#pragma once

#include <QByteArray>
#include <QString>

namespace kd {

enum class RegularFile {
    Read,    // a regular file, read (when asked)
    Absent,  // nothing at the path
    Refused, // something else, or unreadable: see `error`
};

// Reads the file at `path` whole into `content` (unless null: then it is only
// checked). The file is opened without blocking and checked to be a regular
// file before anything is read, so a FIFO or a device in its place is refused
// at once instead of holding the launcher.
RegularFile readRegularFile(const QString& path, QByteArray* content, QString* error = nullptr);

} // namespace kd
