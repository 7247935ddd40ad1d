#include "platform/atomicfile.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

// The file a chain of symbolic links ends at (which need not exist yet);
// empty with errno set when the chain loops or cannot be read.
QByteArray followLinks(QByteArray path) {
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.constData(), target, sizeof target);
        if (n < 0) // not a link, or nothing there yet: writing it says what is wrong
            return path;
        if (size_t(n) == sizeof target) {
            errno = ENAMETOOLONG;
            return {};
        }
        const QByteArray link(target, n);
        path = link.startsWith('/') ? link : path.left(path.lastIndexOf('/') + 1) + link;
    }
    errno = ELOOP;
    return {};
}

// A temporary name beside `target` that fits the folder whatever the length of
// the target's own name: a hidden prefix of it, cut at a character boundary.
QByteArray temporaryName(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray name = target.mid(slash + 1, 64);
    while (!name.isEmpty() && target.size() > slash + 1 + name.size() &&
           (quint8(target[slash + 1 + name.size()]) & 0xC0) == 0x80)
        name.chop(1);
    return target.left(slash + 1) + '.' + name + '.' +
           QByteArray::number(QRandomGenerator::global()->generate(), 16);
}

// Extended attributes (ACLs among them) of `from`, set on `fd`; those the
// file system or the process's rights refuse are left out.
void copyAttributes(const char* from, int fd) {
    const ssize_t size = ::listxattr(from, nullptr, 0);
    if (size <= 0)
        return;
    QByteArray names(size, '\0');
    const ssize_t listed = ::listxattr(from, names.data(), size_t(names.size()));
    for (const QByteArray& name : names.left(qMax<ssize_t>(listed, 0)).split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t length = ::getxattr(from, name.constData(), nullptr, 0);
        QByteArray value(qMax<ssize_t>(length, 0), '\0');
        if (length >= 0 && ::getxattr(from, name.constData(), value.data(), size_t(length)) >= 0)
            ::fsetxattr(fd, name.constData(), value.constData(), size_t(value.size()), 0);
    }
}

// Gives the new file `fd` what the replaced file `old` had.
bool keepAttributes(int fd, const char* path, const struct stat& old) {
    mode_t mode = old.st_mode & 07777;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, uid_t(-1), old.st_gid) != 0)
        mode &= ~(070 & ~((mode & 07) << 3)); // another group may read no more than others
    if (::fchmod(fd, mode) != 0)
        return false;
    copyAttributes(path, fd);
    return true;
}

} // namespace

bool writeFileAtomically(const QString& path, QByteArrayView data, QString* error) {
    const QByteArray target = followLinks(QFile::encodeName(QFileInfo(path).absoluteFilePath()));
    if (target.isEmpty())
        return fail(error, QStringLiteral("cannot follow the link ") + path);
    struct stat old {};
    const bool replacing = ::lstat(target.constData(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) {
        errno = EINVAL;
        return fail(error, path + QStringLiteral(" is not a regular file"));
    }

    // Created with 0666 so that the kernel applies the umask and default ACL.
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = temporaryName(target);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    replacing ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return fail(error, QStringLiteral("cannot create a temporary file beside ") + path);

    const bool written = writeAll(fd, data.data(), data.size()) &&
                         (!replacing || keepAttributes(fd, target.constData(), old)) &&
                         ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written || ::rename(temp.constData(), target.constData()) != 0) {
        if (!written)
            errno = savedErrno;
        const int reason = errno;
        ::unlink(temp.constData());
        errno = reason;
        return fail(error, QStringLiteral("cannot write ") + path);
    }
    // Make the rename itself durable.
    const int dir = ::open(target.left(target.lastIndexOf('/') + 1).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace kd
