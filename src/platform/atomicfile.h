#pragma once

#include <QByteArrayView>
#include <QString>

namespace kd {

// Writes `data` to `path` so that the path holds either its old content or all
// of the new one, never a mix: a temporary file in the same folder, flushed to
// disk, then renamed over the target. An existing file keeps its permissions.
// On failure the target is untouched and `error` (if given) says why.
bool writeFileAtomically(const QString& path, QByteArrayView data, QString* error = nullptr);

} // namespace kd
