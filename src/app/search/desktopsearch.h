#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace kd {

// One game as a desktop search shows it.
struct SearchResult {
    QString id; // the game's name
    QString title;
    QString description; // year and maker
    QString iconPath;    // empty when there is none
};

// What the desktop's searches ask of the launcher.
struct SearchBackend {
    std::function<QList<SearchResult>(const QString& text)> search;
    std::function<std::optional<SearchResult>(const QString& id)> result;
    std::function<void(const QString& id)> start;
    std::function<void(const QString& text)> showSearch;
};

// The launcher's answers to the desktop's search on the session bus: the
// search-provider interface of one desktop shell at SearchProviderPath and the
// runner interface of another at RunnerPath, both under BusName.
class DesktopSearch : public QObject {
    Q_OBJECT
public:
    static inline const QString BusName = QStringLiteral("org.example.KaleidromeLauncher");
    static inline const QString SearchProviderPath =
        QStringLiteral("/org/example/KaleidromeLauncher/SearchProvider");
    static inline const QString RunnerPath =
        QStringLiteral("/org/example/KaleidromeLauncher/Runner");

    explicit DesktopSearch(SearchBackend backend, QObject* parent = nullptr);
    ~DesktopSearch() override;
    // Offers both interfaces on the session bus; the reason when it could not.
    QString registerOnSessionBus();

    const SearchBackend& backend() const { return m_backend; }

private:
    SearchBackend m_backend;
    bool m_registered = false;
};

} // namespace kd
