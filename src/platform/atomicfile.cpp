#include "platform/atomicfile.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kd {

namespace {

bool fail(QString* error, const QString& what) {
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

bool writeFileAtomically(const QString& path, QByteArrayView data, QString* error) {
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temp = QFile::encodeName(info.absolutePath()) + "/." +
                      QFile::encodeName(info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(error, QStringLiteral("cannot create a temporary file beside ") + path);

    struct stat old {};
    const mode_t mode = ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    const bool written =
        writeAll(fd, data.data(), data.size()) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written || ::rename(temp.constData(), target.constData()) != 0) {
        if (written == false)
            errno = savedErrno;
        const int reason = errno;
        ::unlink(temp.constData());
        errno = reason;
        return fail(error, QStringLiteral("cannot write ") + path);
    }
    // Make the rename itself durable.
    const int dir = ::open(QFile::encodeName(info.absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace kd
