#include "catalogue/gamelistcopies.h"

#include "catalogue/gamelist.h"
#include "platform/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kd {

namespace {

const QString CopyPrefix = QStringLiteral("Kaleidrome-");
const QString CopySuffix = QStringLiteral(".xml");
const QString DateFormat = QStringLiteral("yyyyMMdd-HHmmss");
// "Kaleidrome-<date>-<microseconds>.xml": sorts as it ages, and two saves in
// one second keep two copies.
constexpr qsizetype StampSize = 15 + 1 + 6;

QString stamp(qint64 microseconds) {
    return QDateTime::fromMSecsSinceEpoch(microseconds / 1000).toString(DateFormat) + u'-' +
           QStringLiteral("%1").arg(microseconds % 1'000'000, 6, 10, QLatin1Char('0'));
}

QDateTime takenAt(const QString& name) {
    if (name.size() != CopyPrefix.size() + StampSize + CopySuffix.size())
        return {};
    return QDateTime::fromString(name.mid(CopyPrefix.size(), DateFormat.size()), DateFormat);
}

bool fail(QString* error, const QString& what) {
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

// `to` becomes another name of the file `from` names (a link at `from` is
// followed), or a whole copy of it where the file system refuses the link.
bool linkOrCopy(const QString& from, const QString& to, QString* error) {
    const QByteArray source = QFile::encodeName(from);
    if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, QFile::encodeName(to).constData(),
                 AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno == ENOENT || errno == EEXIST)
        return fail(error, QStringLiteral("cannot keep %1 as %2").arg(from, to));
    QFile file(from);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(from, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(from, file.errorString());
        return false;
    }
    return writeFileAtomically(to, bytes, error);
}

QStringList copyNamesNewestFirst(const QDir& dir) {
    QStringList names = dir.entryList({CopyPrefix + u'*' + CopySuffix}, QDir::Files, QDir::Name);
    names.removeIf([](const QString& name) { return !takenAt(name).isValid(); });
    std::reverse(names.begin(), names.end());
    return names;
}

} // namespace

bool keepGameListCopy(const QString& listPath, const QString& folder, int keep, QString* error) {
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot make the folder ") + folder;
        return false;
    }
    const QDir dir(folder);
    qint64 now = std::chrono::duration_cast<std::chrono::microseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
    QString name = CopyPrefix + stamp(now) + CopySuffix;
    while (dir.exists(name))
        name = CopyPrefix + stamp(++now) + CopySuffix;
    if (!linkOrCopy(listPath, dir.filePath(name), error))
        return false;
    const QStringList names = copyNamesNewestFirst(dir);
    for (qsizetype i = std::max(keep, 1); i < names.size(); ++i)
        QFile::remove(dir.filePath(names[i]));
    return true;
}

std::vector<GameListCopy> gameListCopies(const QString& folder) {
    std::vector<GameListCopy> copies;
    const QDir dir(folder);
    for (const QString& name : copyNamesNewestFirst(dir)) {
        GameListCopy copy;
        copy.path = dir.filePath(name);
        copy.taken = takenAt(name);
        copy.games = countGameList(copy.path).value_or(-1);
        copies.push_back(copy);
    }
    return copies;
}

GameListRestore restoreGameListCopy(const QString& copyPath, const QString& listPath,
                                    const QString& why,
                                    const std::function<void()>& beforeSettingAside) {
    GameListRestore result;
    QFile copy(copyPath);
    if (!copy.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("cannot read %1: %2").arg(copyPath, copy.errorString());
        return result;
    }
    const QByteArray bytes = copy.readAll();
    if (!countGameList(copyPath)) {
        result.error = copyPath + QStringLiteral(" does not read as a game list");
        return result;
    }
    if (beforeSettingAside)
        beforeSettingAside();
    const QFileInfo list(listPath);
    if (list.exists() || list.isSymLink()) {
        result.setAside =
            list.dir().filePath(QStringLiteral("Kaleidrome.%1-%2.xml")
                                    .arg(why, QDateTime::currentDateTime().toString(DateFormat)));
        if (!linkOrCopy(listPath, result.setAside, &result.error)) {
            result.setAside.clear();
            return result;
        }
    }
    result.restored = writeFileAtomically(listPath, bytes, &result.error);
    return result;
}

} // namespace kd
