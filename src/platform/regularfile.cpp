#include "platform/regularfile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kd {

RegularFile readRegularFile(const QString& path, QByteArray* content, QString* error) {
    const auto refuse = [&](const QString& why) {
        if (error)
            *error = path + u' ' + why;
        return RegularFile::Refused;
    };
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? RegularFile::Absent
                               : refuse(QStringLiteral("cannot be opened: ") +
                                        QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(QStringLiteral("is not a regular file; it is left alone"));
    }
    QByteArray bytes;
    for (char buffer[65536]; content;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int reason = errno;
            ::close(fd);
            return refuse(QStringLiteral("cannot be read: ") +
                          QString::fromLocal8Bit(std::strerror(reason)));
        }
        bytes.append(buffer, n);
    }
    ::close(fd);
    if (content)
        *content = std::move(bytes);
    return RegularFile::Read;
}

} // namespace kd
