#include "app/search/desktopsearch.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QVariantMap>

namespace kd {

// A runner's match: id, text, icon name, kind, relevance, properties.
struct RunnerMatch {
    QString id;
    QString text;
    QString iconName;
    int type = 0;
    double relevance = 0;
    QVariantMap properties;
};

// A runner's action: id, text, icon name.
struct RunnerAction {
    QString id;
    QString text;
    QString iconName;
};

} // namespace kd

Q_DECLARE_METATYPE(kd::RunnerMatch)
Q_DECLARE_METATYPE(kd::RunnerAction)

namespace kd {

QDBusArgument& operator<<(QDBusArgument& out, const RunnerMatch& match) {
    out.beginStructure();
    out << match.id << match.text << match.iconName << match.type << match.relevance
        << match.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, RunnerMatch& match) {
    in.beginStructure();
    in >> match.id >> match.text >> match.iconName >> match.type >> match.relevance >>
        match.properties;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const RunnerAction& action) {
    out.beginStructure();
    out << action.id << action.text << action.iconName;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, RunnerAction& action) {
    in.beginStructure();
    in >> action.id >> action.text >> action.iconName;
    in.endStructure();
    return in;
}

namespace {

QString joined(const QStringList& terms) {
    return terms.join(u' ');
}

QStringList ids(const QList<SearchResult>& results) {
    QStringList list;
    for (const SearchResult& result : results)
        list.append(result.id);
    return list;
}

} // namespace

// The shell's search-provider interface (version 2).
class ShellSearchProvider : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.SearchProvider2")
public:
    explicit ShellSearchProvider(DesktopSearch& search) : QObject(&search), m_search(search) {}

public slots:
    QStringList GetInitialResultSet(const QStringList& terms) {
        return ids(m_search.backend().search(joined(terms)));
    }
    // The index answers a whole search faster than the shell could narrow
    // its earlier results, and ranks them the same way.
    QStringList GetSubsearchResultSet(const QStringList& previous, const QStringList& terms) {
        Q_UNUSED(previous);
        return ids(m_search.backend().search(joined(terms)));
    }
    QList<QVariantMap> GetResultMetas(const QStringList& identifiers) {
        QList<QVariantMap> metas;
        for (const QString& id : identifiers) {
            const std::optional<SearchResult> result = m_search.backend().result(id);
            if (!result)
                continue;
            QVariantMap meta{{QStringLiteral("id"), result->id},
                             {QStringLiteral("name"), result->title},
                             {QStringLiteral("description"), result->description}};
            if (!result->iconPath.isEmpty())
                meta.insert(QStringLiteral("gicon"), result->iconPath);
            metas.append(meta);
        }
        return metas;
    }
    void ActivateResult(const QString& id, const QStringList& terms, uint timestamp) {
        Q_UNUSED(terms);
        Q_UNUSED(timestamp);
        m_search.backend().start(id);
    }
    void LaunchSearch(const QStringList& terms, uint timestamp) {
        Q_UNUSED(timestamp);
        m_search.backend().showSearch(joined(terms));
    }

private:
    DesktopSearch& m_search;
};

// The runner interface of the other desktop.
class Runner : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.krunner1")
public:
    explicit Runner(DesktopSearch& search) : QObject(&search), m_search(search) {}

public slots:
    QList<RunnerAction> Actions() { return {}; }
    QList<RunnerMatch> Match(const QString& query) {
        static constexpr int PossibleMatch = 30;
        const QList<SearchResult> results = m_search.backend().search(query);
        QList<RunnerMatch> matches;
        for (qsizetype rank = 0; rank < results.size(); ++rank) {
            const SearchResult& result = results[rank];
            RunnerMatch match;
            match.id = result.id;
            match.text = result.title;
            match.iconName = QStringLiteral("kaleidrome-launcher");
            match.type = PossibleMatch;
            // The runner sorts by relevance: keep the index's order.
            match.relevance = 1.0 - double(rank) / double(results.size() + 1);
            if (!result.description.isEmpty())
                match.properties.insert(QStringLiteral("subtext"), result.description);
            matches.append(match);
        }
        return matches;
    }
    void Run(const QString& matchId, const QString& actionId) {
        Q_UNUSED(actionId);
        m_search.backend().start(matchId);
    }

private:
    DesktopSearch& m_search;
};

DesktopSearch::DesktopSearch(SearchBackend backend, QObject* parent)
    : QObject(parent), m_backend(std::move(backend)) {
    qDBusRegisterMetaType<RunnerMatch>();
    qDBusRegisterMetaType<QList<RunnerMatch>>();
    qDBusRegisterMetaType<RunnerAction>();
    qDBusRegisterMetaType<QList<RunnerAction>>();
    qDBusRegisterMetaType<QList<QVariantMap>>();
}

DesktopSearch::~DesktopSearch() {
    if (!m_registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(SearchProviderPath);
    bus.unregisterObject(RunnerPath);
    bus.unregisterService(BusName);
}

QString DesktopSearch::registerOnSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QStringLiteral("no session bus: ") + bus.lastError().message();
    if (!bus.registerObject(SearchProviderPath, new ShellSearchProvider(*this),
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerObject(RunnerPath, new Runner(*this), QDBusConnection::ExportAllSlots))
        return QStringLiteral("its objects could not be registered");
    m_registered = true;
    if (!bus.registerService(BusName))
        return QStringLiteral("the name %1 is taken: %2").arg(BusName, bus.lastError().message());
    return QString();
}

} // namespace kd

#include "desktopsearch.moc"
