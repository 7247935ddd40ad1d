#pragma once

#include <QByteArrayView>
#include <QString>

namespace kd {

// Writes `data` to `path` so that the path holds either its old content or all
// of the new one, never a mix: a temporary file in the same folder, flushed to
// disk, then renamed over the target. On failure the target is untouched and
// `error` (if given) says why.
//
// A symbolic link is followed to the file it names, so the link stays. A new
// file gets 0666 less the umask (and the folder's default ACL); a replaced one
// keeps its mode, extended attributes and ACL, and its owner and group where
// the process may set them (group permissions are narrowed to the others' when
// the group cannot be kept). Only a regular file is replaced: a FIFO, a device
// or a folder in the place is refused. Another hard link to the replaced file
// keeps the old content: the rename that makes the write whole gives the path
// a new file, and writing in place instead could leave a torn one.
bool writeFileAtomically(const QString& path, QByteArrayView data, QString* error = nullptr);

} // namespace kd
