#include "emulator/romarchive.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kd {

RomArchiveCheck checkRomArchive(const QString& path) {
    if (!path.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
        return RomArchiveCheck::NotZip;
    // Opened without blocking, so a FIFO of that name cannot hold the launcher.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? RomArchiveCheck::Missing
                                                   : RomArchiveCheck::Unreadable;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular ? RomArchiveCheck::Ok : RomArchiveCheck::NotRegularFile;
}

} // namespace kd
