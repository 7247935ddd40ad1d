// Play data in and out as JSON: the export, and the import that merges by game
// name. An import is read and judged whole before anything is written, then
// written in one transaction: a bad file, or a crash, changes nothing.
#include "catalogue/playhistory.h"
#include "catalogue/playhistory_p.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <cmath>
#include <set>

namespace kd {

using history_detail::errorText;
using history_detail::kLatestMs;
using history_detail::run;
using history_detail::saturatingAdd;

namespace {

const QString kFormat = QStringLiteral("Kaleidrome Launcher play data");
constexpr int kFormatVersion = 1;
constexpr qsizetype kNameLimit = 4096;

// A whole number of JSON within [low, high].
std::optional<qint64> wholeNumber(const QJsonValue& value, double low, double high) {
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!(d >= low && d <= high) || std::trunc(d) != d)
        return std::nullopt;
    return qint64(d);
}

bool isName(const QJsonValue& value) {
    return value.isString() && !value.toString().isEmpty() && value.toString().size() <= kNameLimit;
}

struct ImportedRun {
    QString name, romPath, arguments;
    qint64 started = 0, ended = 0;
    std::optional<int> status; // none when the launcher ended during the run
    bool signalled = false;
};

// The runs of `document`, or why it is not play data.
QString readPlayData(const QJsonDocument& document, QStringList& favourites,
                     std::vector<ImportedRun>& runs) {
    if (!document.isObject())
        return QStringLiteral("it is not an object of play data");
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat)
        return QStringLiteral("it is not play data of this launcher");
    const std::optional<qint64> version =
        wholeNumber(root.value(QStringLiteral("version")), 1, 1e9);
    if (!version)
        return QStringLiteral("it has no valid format version");
    if (*version > kFormatVersion)
        return QStringLiteral("it was written by a newer launcher (format version %1)")
            .arg(*version);
    const QJsonValue favouriteList = root.value(QStringLiteral("favourites"));
    const QJsonValue runList = root.value(QStringLiteral("runs"));
    if (!favouriteList.isArray() || !runList.isArray())
        return QStringLiteral("it lacks the list of favourites or of runs");
    for (const QJsonValue& name : favouriteList.toArray()) {
        if (!isName(name))
            return QStringLiteral("favourite %1 is not a game name").arg(favourites.size() + 1);
        favourites << name.toString();
    }
    const QJsonArray all = runList.toArray();
    runs.reserve(std::size_t(all.size()));
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QString where = QStringLiteral("run %1: ").arg(i + 1);
        const QJsonObject r = all[i].toObject();
        if (!all[i].isObject())
            return where + QStringLiteral("it is not an object");
        ImportedRun& run = runs.emplace_back();
        if (!isName(r.value(QStringLiteral("name"))))
            return where + QStringLiteral("no game name");
        run.name = r.value(QStringLiteral("name")).toString();
        if (!r.value(QStringLiteral("romPath")).isString())
            return where + QStringLiteral("no ROM archive");
        run.romPath = r.value(QStringLiteral("romPath")).toString();
        const QJsonValue arguments = r.value(QStringLiteral("arguments"));
        if (!arguments.isArray() ||
            !std::all_of(arguments.toArray().begin(), arguments.toArray().end(),
                         [](const QJsonValue& a) { return a.isString(); }))
            return where + QStringLiteral("its arguments are not a list of texts");
        run.arguments =
            QString::fromUtf8(QJsonDocument(arguments.toArray()).toJson(QJsonDocument::Compact));
        const std::optional<qint64> started =
            wholeNumber(r.value(QStringLiteral("started")), 0, double(kLatestMs));
        const std::optional<qint64> ended =
            started
                ? wholeNumber(r.value(QStringLiteral("ended")), double(*started), double(kLatestMs))
                : std::nullopt;
        if (!started || !ended)
            return where + QStringLiteral("its start or end is not a time in order");
        run.started = *started;
        run.ended = *ended;
        if (!r.value(QStringLiteral("launcherEnded")).toBool()) {
            const std::optional<qint64> status =
                wholeNumber(r.value(QStringLiteral("status")), std::numeric_limits<int>::min(),
                            std::numeric_limits<int>::max());
            if (!status || !r.value(QStringLiteral("signalled")).isBool())
                return where + QStringLiteral("it has no valid status");
            run.status = int(*status);
            run.signalled = r.value(QStringLiteral("signalled")).toBool();
        }
    }
    return {};
}

} // namespace

QByteArray PlayHistory::exportPlayData(qint64 nowMs) {
    QJsonArray favourites, games, runs;
    std::vector<std::pair<std::string, GameStats>> byName(m_stats.begin(), m_stats.end());
    std::sort(byName.begin(), byName.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, stats] : byName) {
        const QString text = QString::fromStdString(name);
        if (stats.favourite)
            favourites.append(text);
        if (stats.timesPlayed > 0)
            games.append(QJsonObject{{QStringLiteral("name"), text},
                                     {QStringLiteral("timesPlayed"), stats.timesPlayed},
                                     {QStringLiteral("lastPlayed"), stats.lastPlayedMs},
                                     {QStringLiteral("playMs"), stats.playMs}});
    }
    std::vector<RunRecord> all = recentRuns(std::numeric_limits<int>::max());
    for (auto r = all.rbegin(); r != all.rend(); ++r) {
        if (!r->end) // still running, or its end is not known
            continue;
        QJsonObject run{{QStringLiteral("name"), r->name},
                        {QStringLiteral("romPath"), r->romPath},
                        {QStringLiteral("arguments"), QJsonArray::fromStringList(r->arguments)},
                        {QStringLiteral("started"), r->startedMs},
                        {QStringLiteral("ended"), std::max(r->end->endedMs, r->startedMs)}};
        if (r->end->launcherEnded) {
            run.insert(QStringLiteral("launcherEnded"), true);
        } else {
            run.insert(QStringLiteral("status"), r->end->status);
            run.insert(QStringLiteral("signalled"), r->end->signalled);
        }
        runs.append(run);
    }
    const QJsonObject root{
        {QStringLiteral("format"), kFormat},
        {QStringLiteral("version"), kFormatVersion},
        {QStringLiteral("exported"),
         QDateTime::fromMSecsSinceEpoch(nowMs, QTimeZone::utc()).toString(Qt::ISODate)},
        {QStringLiteral("favourites"), favourites},
        {QStringLiteral("games"), games},
        {QStringLiteral("runs"), runs}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

PlayHistory::Import PlayHistory::importPlayData(const QByteArray& json) {
    Import result;
    if (!m_db) {
        result.problem = QStringLiteral("the play history is off");
        return result;
    }
    if (json.size() > PlayDataLimit) {
        result.problem = QStringLiteral("it is larger than %1 MB").arg(PlayDataLimit >> 20);
        return result;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        result.problem = QStringLiteral("it is not JSON (%1 at byte %2)")
                             .arg(parse.errorString())
                             .arg(parse.offset);
        return result;
    }
    QStringList favourites;
    std::vector<ImportedRun> runs;
    if (const QString why = readPlayData(document, favourites, runs); !why.isEmpty()) {
        result.problem = why;
        return result;
    }

    Database::Statements& s = *m_db->sql;
    GameStatsByName stats = m_stats;
    std::set<QString> touched, withNewRuns;
    QString error;
    bool ok = run(s.begin, {}, error);
    for (const QString& name : favourites) {
        GameStats& game = stats[name.toStdString()];
        if (!ok || game.favourite)
            continue;
        ok = run(s.favourite, {name, 1}, error);
        game.favourite = true;
        ++result.favouritesAdded;
        touched.insert(name);
    }
    for (const ImportedRun& r : runs) {
        if (!ok)
            break;
        ok = run(s.hasRun, {r.name, r.started}, error);
        const bool known = ok && s.hasRun.next();
        s.hasRun.finish();
        if (!ok || known)
            continue;
        const QVariant none{QMetaType(QMetaType::LongLong)};
        ok = run(s.importRun,
                 {r.name, r.romPath, r.arguments, r.started, r.ended,
                  r.status ? QVariant(*r.status) : none,
                  r.status ? QVariant(r.signalled ? 1 : 0) : none},
                 error);
        ++result.runsAdded;
        touched.insert(r.name);
        withNewRuns.insert(r.name);
    }
    // The figures of each game with new runs, from all its runs.
    for (const QString& name : withNewRuns) {
        if (!ok)
            break;
        GameStats& game = stats[name.toStdString()];
        GameStats figures{game.favourite, 0, 0, 0};
        ok = run(s.runTimes, {name}, error);
        while (ok && s.runTimes.next()) {
            const qint64 started = history_detail::timeMs(s.runTimes.value(0));
            figures.timesPlayed = saturatingAdd(figures.timesPlayed, 1);
            figures.lastPlayedMs = std::max(figures.lastPlayedMs, started);
            if (!s.runTimes.value(1).isNull())
                figures.playMs = saturatingAdd(
                    figures.playMs,
                    std::max<qint64>(history_detail::timeMs(s.runTimes.value(1)) - started, 0));
        }
        ok = ok && !s.runTimes.lastError().isValid();
        if (!ok && error.isEmpty())
            error = errorText(s.runTimes);
        s.runTimes.finish();
        ok = ok && run(s.setFigures,
                       {name, figures.timesPlayed, figures.lastPlayedMs, figures.playMs}, error);
        game = figures;
    }
    ok = ok && run(s.commit, {}, error);
    if (!ok) {
        QString ignored;
        run(s.rollback, {}, ignored);
        result = Import{QStringLiteral("it could not be written: ") + error, 0, 0, {}};
        return result;
    }
    m_stats = std::move(stats);
    for (const QString& name : touched)
        result.games << name;
    return result;
}

} // namespace kd
