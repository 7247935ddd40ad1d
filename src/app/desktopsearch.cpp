// The desktop's search: what it finds in the game list, and the game or the
// search it hands back to the launcher.
#include "app/search/desktopsearch.h"

#include "app/appdelegate.h"
#include "app/windows/mainwindow.h"
#include "app/windows/toolwindow.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/gamelistmodel.h"
#include "settings/pathops.h"

#include <QFileInfo>
#include <QTimer>

namespace kd {

namespace {

constexpr std::size_t MaxSearchResults = 20;

SearchResult describe(const LauncherPaths& paths, const QString& name, const plist::Value& record) {
    SearchResult result{name, GameListModel::displayText(record, GameListModel::Title), {}, {}};
    if (result.title.isEmpty())
        result.title = name;
    QStringList about;
    for (int column : {GameListModel::Year, GameListModel::Maker})
        if (QString value = GameListModel::displayText(record, column); !value.isEmpty())
            about.append(value);
    result.description = about.join(QStringLiteral(", "));
    result.iconPath = paths.packaged(u"no_icon.ico");
    if (const QString folder = paths.iconFolder(); !folder.isEmpty() && nameStaysInFolder(name)) {
        const QString icon =
            path::appendComponent(folder, path::appendExtension(name, QStringLiteral("ico")));
        if (QFileInfo(icon).isFile())
            result.iconPath = icon;
    }
    return result;
}

} // namespace

void AppDelegate::startInBackground() {
    m_inBackground = true;
    m_listRead = true;
    loadGameList();
}

// The start a normal launch makes, its checks and alerts first; what brought
// the launcher forward waits for it (see whenLaunched).
void AppDelegate::leaveBackground() {
    if (!std::exchange(m_inBackground, false))
        return;
    awakeFromNib();
    QTimer::singleShot(0, this, &AppDelegate::applicationDidFinishLaunching);
}

QList<SearchResult> AppDelegate::searchGames(const QString& text) const {
    QList<SearchResult> results;
    const std::vector<plist::Value>& records = arrayController_list->content();
    for (std::size_t stored : arrayController_list->bestMatches(text, MaxSearchResults)) {
        if (const std::optional<QString> name = gameName(records[stored]))
            results.append(describe(m_paths, *name, records[stored]));
    }
    return results;
}

std::optional<SearchResult> AppDelegate::searchResult(const QString& name) const {
    const std::string bytes = name.toStdString();
    for (const plist::Value& record : arrayController_list->content()) {
        if (const std::string* own = gameNameBytes(record); own && *own == bytes)
            return describe(m_paths, name, record);
    }
    return std::nullopt;
}

void AppDelegate::startGameNamed(const QString& name) {
    leaveBackground();
    whenLaunched([this, name] {
        bringForward(shownMainWindow());
        startNamedGame(name);
    });
}

void AppDelegate::showSearch(const QString& text) {
    leaveBackground();
    whenLaunched([this, text] {
        MainWindow* window = shownMainWindow();
        bringForward(window);
        setSearchText(text);
        window->focusSearchField();
    });
}

} // namespace kd
