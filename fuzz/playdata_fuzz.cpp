// Feeds arbitrary bytes to Import Play Data, into a history that already holds
// runs and favourites. Whatever the file holds: data it refuses changes nothing
// and says why; data it merges changes only the games the file names, keeps
// every favourite and run that was there, and a second import of the same data
// adds nothing and changes nothing; what it keeps in memory is what a second
// opening reads. make_playdata_corpus.py writes the seeds in corpus-playdata/.
#include "catalogue/playhistory.h"
#include "check.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <set>
#include <unistd.h>

namespace kd::fuzz {

namespace {

const QString& historyPath() {
    static const QString path =
        QDir::tempPath() + QStringLiteral("/kd-playdata-fuzz-%1.sqlite").arg(::getpid());
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    return path;
}

// Every game name the input mentions where the import reads names, whatever
// else it holds.
std::set<std::string> namesIn(std::string_view bytes) {
    std::set<std::string> names;
    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray(bytes.data(), qsizetype(bytes.size()))).object();
    for (const QJsonValue& name : root.value(QStringLiteral("favourites")).toArray())
        names.insert(name.toString().toStdString());
    for (const QJsonValue& run : root.value(QStringLiteral("runs")).toArray())
        names.insert(run.toObject().value(QStringLiteral("name")).toString().toStdString());
    return names;
}

} // namespace

void checkPlayData(std::string_view bytes) {
    const QString path = historyPath();
    const QByteArray input(bytes.data(), qsizetype(bytes.size()));
    GameStatsByName merged;
    {
        PlayHistory history(path);
        require(history.isOpen(), "the history cannot be made");
        history.recordEnd(history.recordStart(QStringLiteral("astrovex"),
                                              QStringLiteral("/roms/astrovex.zip"), {}, 1000),
                          {61'000, 0, false});
        history.recordEnd(history.recordStart(QStringLiteral("boltrunner"),
                                              QStringLiteral("/roms/boltrunner.zip"), {}, 5000),
                          {9000, 11, true});
        history.setFavourite(QStringLiteral("cometkai"), true);
        const GameStatsByName before = history.stats();
        const std::vector<RunRecord> runsBefore = history.recentRuns(100);
        const QByteArray exported = history.exportPlayData(0);

        const PlayHistory::Import first = history.importPlayData(input);
        if (!first.problem.isEmpty()) {
            require(first.runsAdded == 0 && first.favouritesAdded == 0 && first.games.isEmpty(),
                    "a refused import counts changes");
            require(history.exportPlayData(0) == exported, "a refused import changed the history");
            return;
        }
        const std::set<std::string> named = namesIn(bytes);
        for (const auto& [name, stats] : before) {
            const GameStats now = history.statsOf(QString::fromStdString(name));
            require(!stats.favourite || now.favourite, "a favourite was lost");
            require(now.timesPlayed >= stats.timesPlayed, "a run was lost");
            require(named.count(name) || now == stats, "a game the file does not name changed");
        }
        for (const auto& [name, stats] : history.stats())
            require(before.count(name) || named.count(name), "a game came from nowhere");
        for (const QString& name : first.games)
            require(named.count(name.toStdString()), "a game the file does not name changed");
        const std::vector<RunRecord> runsAfter = history.recentRuns(1'000'000);
        require(qint64(runsAfter.size()) == qint64(runsBefore.size()) + first.runsAdded,
                "the runs added are not those counted");

        const QByteArray once = history.exportPlayData(0);
        const PlayHistory::Import second = history.importPlayData(input);
        require(second.problem.isEmpty(), "the same data was refused the second time");
        require(second.runsAdded == 0 && second.favouritesAdded == 0,
                "a second import added something");
        require(history.exportPlayData(0) == once, "a second import changed the history");
        require(history.isOpen(), "the import closed the history");
        merged = history.stats();
    }
    const PlayHistory again(path);
    require(again.stats() == merged, "the file does not hold what the import kept in memory");
}

} // namespace kd::fuzz
