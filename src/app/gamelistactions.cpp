// The game list's place in the controller: loading at start-up, saving at exit,
// and the selection the other operations read.
#include "app/appdelegate.h"
#include "app/menus/launcheractions.h"
#include "app/windows/mainwindow.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/gamelistcopies.h"
#include "catalogue/romfolder.h"
#include "platform/desktop.h"
#include "platform/utf8text.h"
#include "settings/pathops.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <set>

namespace kd {

void AppDelegate::setUpGameList() {
    // The table's row height and font size have keys of their own but no control.
    const int rowHeight = qBound(12, int(m_defaults.value(keys::rowHeight)), 200);
    const int fontSize = qBound(6, int(m_defaults.value(keys::fontSize)), 72);
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->showList(*arrayController_list, rowHeight, fontSize);
    connect(arrayController_list, &GameListController::selectionChanged, this,
            &AppDelegate::tableViewSelectionDidChange);
    connect(arrayController_list, &GameListController::selectionChanged, this,
            &AppDelegate::syncFavouriteAction);
    connect(m_romFolder, &RomFolderWatcher::listed, this,
            [this](const QString& folder, std::shared_ptr<const RomArchiveNames> archives) {
                // A listing of a folder the field no longer names is stale.
                if (folder == m_paths.romsFolder())
                    arrayController_list->setRomArchives(folder, std::move(archives));
            });
    connect(arrayController_list, &GameListController::cacheWritten, this,
            [this](const QString& error) {
                if (!error.isEmpty())
                    m_desktop.systemLog(
                        QStringLiteral("The game list's cache was not written: %1").arg(error));
            });
    connect(arrayController_list, &GameListController::availabilityChanged, this, [this] {
        if (!std::exchange(m_selectFirstShown, false) || selectionIndex() != NotFound)
            return;
        setSelectionIndex(arrayController_list->firstShownIndex());
        // Still none: record 0's artwork goes.
        if (selectionIndex() == NotFound)
            tableViewSelectionDidChange();
    });
    QAbstractItemModel* shown = arrayController_list->shownModel();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(shown, signal, this, &AppDelegate::showListCounts);
    connect(shown, &QAbstractItemModel::modelReset, this, &AppDelegate::showListCounts);
    connect(shown, &QAbstractItemModel::layoutChanged, this, &AppDelegate::showListCounts);
    const bool onlyAvailable = m_store.value(ownKeys::ShowOnlyAvailable).value_or(false);
    arrayController_list->setShowOnlyAvailable(onlyAvailable);
    m_actions->onlyAvailable->setChecked(onlyAvailable);
    const bool onlyFavourites = m_store.value(ownKeys::ShowOnlyFavourites).value_or(false);
    arrayController_list->setShowOnlyFavourites(onlyFavourites);
    m_actions->onlyFavourites->setChecked(onlyFavourites);
    tableViewSelectionDidChange();
    showListCounts();
}

// How many games the filters let through, and why none when they hide all.
void AppDelegate::showListCounts() {
    const GameListController& list = *arrayController_list;
    const qint64 total = qint64(list.content().size());
    const qint64 shown = list.shownCount();
    const bool filtering = list.isFiltering();
    const QLocale locale;
    const QString count =
        filtering ? tr("%1 of %2 games").arg(locale.toString(shown), locale.toString(total))
                  : QString();
    QString hidden;
    if (filtering && shown == 0 && total > 0) {
        QStringList filters;
        if (!searchWords(list.searchText()).empty())
            filters << tr("the search “%1”").arg(list.searchText());
        if (list.showsOnlyAvailable())
            filters << tr("Show Only Available Games");
        if (list.showsOnlyFavourites())
            filters << tr("Show Only Favourites");
        hidden = tr("Every game is hidden by:") + u'\n' + filters.join(u'\n');
    }
    for (MainWindow* main : {m_window.get(), m_window2.get()}) {
        main->setCountText(count);
        main->setFilteredOutText(hidden);
    }
}

void AppDelegate::showAllGames() {
    setSearchText(QString());
    setShowOnlyAvailable(false);
    setShowOnlyFavourites(false);
}

// The search index is built in slices after loading, so the first keystroke is
// quick and the window never waits for it.
void AppDelegate::buildSearchIndexLater(int delayMs) {
    QTimer::singleShot(delayMs, this, [this] {
        if (arrayController_list->buildSearchIndexSlice())
            buildSearchIndexLater(0);
    });
}

void AppDelegate::setSearchText(const QString& text) {
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->setSearchText(text);
    arrayController_list->setSearchText(text);
}

void AppDelegate::setShowOnlyAvailable(bool on) {
    arrayController_list->setShowOnlyAvailable(on);
    m_store.setObject(on, ownKeys::ShowOnlyAvailable);
    m_store.synchronize();
    m_actions->onlyAvailable->setChecked(on);
}

void AppDelegate::addGamesFromRomsFolder() {
    const QString folder = m_paths.romsFolder();
    if (!folder_FoundCheck(folder)) {
        AlertRequest alert;
        alert.message = text(QStringLiteral("Alert_AddNoFolder"));
        alert.informativeText =
            formatText(text(QStringLiteral("Alert_AddNoFolderInfo")), 0, folder);
        alert.buttons = {QStringLiteral("OK")};
        alert.cancelButton = 0;
        runAlert(alert);
        return;
    }
    const RomArchiveNames archives = listRomArchives(folder);
    std::set<std::string> missing(archives.begin(), archives.end());
    for (const plist::Value& record : arrayController_list->content()) {
        if (const std::optional<QString> name = gameName(record))
            missing.erase(QFile::encodeName(*name).toStdString());
    }
    AlertRequest alert;
    if (missing.empty()) {
        alert.style = AlertStyle::Informational;
        alert.message = text(QStringLiteral("Alert_AddNone"));
        alert.informativeText =
            formatText(text(QStringLiteral("Alert_AddNoneInfo")), qint64(archives.size()), folder);
        alert.buttons = {QStringLiteral("OK")};
        alert.cancelButton = 0;
        runAlert(alert);
        return;
    }
    alert.style = AlertStyle::Informational;
    alert.message = formatText(text(QStringLiteral("Alert_Add")), qint64(missing.size()));
    alert.informativeText =
        formatText(text(QStringLiteral("Alert_AddInfo")), qint64(missing.size()), folder);
    alert.buttons = {text(QStringLiteral("Button_Add")), text(QStringLiteral("Button_2"))};
    alert.cancelButton = 1;
    if (runAlert(alert) != 0)
        return;
    std::vector<plist::Value> records;
    records.reserve(missing.size());
    for (const std::string& name : missing)
        records.push_back(newGameRecord(textFromUtf8(name)));
    const std::size_t first = arrayController_list->content().size();
    arrayController_list->addObjects(std::move(records));
    // The first new game is selected, so the user sees where they went.
    arrayController_list->setSelectionIndex(arrayController_list->arrangedIndexOf(first));
}

void AppDelegate::removeSelectedGame() {
    const qint64 stored = arrayController_list->selectedStoredIndex();
    if (stored == NotFound) {
        m_desktop.beep();
        return;
    }
    const plist::Value& record = arrayController_list->content()[std::size_t(stored)];
    QString shown = GameListModel::shownText(record, GameListModel::Title);
    if (shown.isEmpty())
        shown = gameName(record).value_or(QString());
    AlertRequest alert;
    alert.message = formatText(text(QStringLiteral("Alert_Remove")), 0, shown);
    alert.informativeText = text(QStringLiteral("Alert_RemoveInfo"));
    alert.buttons = {text(QStringLiteral("Button_Remove")), text(QStringLiteral("Button_2"))};
    alert.cancelButton = 1;
    alert.defaultButton = 1;
    if (runAlert(alert) != 0)
        return;
    const qint64 row = selectionIndex();
    arrayController_list->removeObject(std::size_t(stored));
    // The game that took its place is selected, or the last one.
    const qint64 count = qint64(arrayController_list->content().size());
    if (count > 0)
        arrayController_list->setSelectionIndex(std::min(row, count - 1));
}

void AppDelegate::revealSelectedRom() {
    const std::optional<QString> name = selectedGameName();
    if (!name) {
        m_desktop.beep();
        return;
    }
    if (!nameStaysInFolder(*name)) {
        reportCannotStart(*name, text(QStringLiteral("Open_NameLeavesFolder")));
        return;
    }
    const QString folder = m_paths.romsFolder();
    const QString archive =
        folder.isEmpty()
            ? QString()
            : path::appendComponent(folder, path::appendExtension(*name, QStringLiteral("zip")));
    handToDesktop(archive, [&] { return m_desktop.revealInFileViewer(archive, folder); });
}

void AppDelegate::loadGameList() {
    const std::optional<QString> path = pathOfDataFile();
    GameListLoad load;
    if (path)
        load = kd::loadGameList(*path, LauncherPaths::listCacheFile());
    const QString file = path.value_or(m_paths.packaged(u"Kaleidrome.xml"));
    m_listFile = file;
    // An empty table says why it is empty and what to do.
    QString why;
    m_listProblem = load.reason;
    switch (load.status) {
    case GameListLoad::Status::NoFile:
        m_listProblem = file + QStringLiteral(" was not found");
        m_desktop.systemLog(QStringLiteral("Kaleidrome.xml not found"));
        why = tr("No game list: %1 was not found.\n\nPut your game list there (an XML property "
                 "list of games, each with a \"name\"), then start the launcher again. Games "
                 "can still be started with Game ▸ Open ROM…")
                  .arg(file);
        break;
    case GameListLoad::Status::NotAList:
        // The file itself is left as it is (see saveGameList).
        why = tr("The game list cannot be read:\n%1\n\nMend or replace the file, then start "
                 "the launcher again, or restore a copy kept at an earlier Quit; until then "
                 "it is left untouched. Games can still be started with Game ▸ Open ROM…")
                  .arg(load.reason);
        break;
    case GameListLoad::Status::Loaded:
        if (load.records.empty())
            why = tr("The game list %1 holds no games.").arg(file);
        arrayController_list->addObjects(std::move(load.records));
        // The next start reads the list from its cache while the file is as it is now.
        if (!load.fromCache)
            arrayController_list->keepCache(LauncherPaths::listCacheFile(), load.digest,
                                            load.fileSize);
        // Once the first window is up: a search meanwhile completes the index itself.
        buildSearchIndexLater(250);
        break;
    }
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->setPlaceholderText(why);
    offerListRestore();
    showListReadState();
}

void AppDelegate::saveGameList() {
    if (!pathOfDataFile())
        return;
    // Only a list read from the file is written back: a file that was missing
    // or broken at start and put there or mended since must not be replaced
    // with the empty list in memory.
    if (!m_listProblem.isNull()) {
        m_desktop.systemLog(QStringLiteral("Kaleidrome.xml left unchanged: the launcher started "
                                           "without a list from it (%1)")
                                .arg(m_listProblem));
        return;
    }
    // A resource folder that cannot be written leaves the list to the user's
    // data folder, compared with the packaged one until it exists there.
    const QString target = m_paths.listSaveFile();
    GameListSaveOptions options;
    if (target != m_listFile)
        options.readFrom = m_listFile;
    options.beforeReplacing = [this](const QString& replaced) {
        QString error;
        if (!keepGameListCopy(replaced, LauncherPaths::listCopiesFolder(), 10, &error)) {
            m_desktop.systemLog(
                QStringLiteral("No copy kept of the game list the save replaces: ") + error);
            appendOutput(formatText(text(QStringLiteral("Log_ListCopyFailed")), 0, error));
        }
    };
    QDir().mkpath(QFileInfo(target).absolutePath());
    const GameListSave save = saveGameListIfChanged(
        target, arrayController_list->content(), arrayController_list->arrangedObjects(), options);
    switch (save.status) {
    case GameListSave::Status::Unchanged:
        return;
    case GameListSave::Status::Written:
        if (target != m_listFile)
            m_desktop.systemLog(QStringLiteral("The game list is kept in %1 from now on: %2 "
                                               "cannot be written")
                                    .arg(target, m_listFile));
        m_listFile = target;
        return;
    case GameListSave::Status::NotAList:
        m_desktop.systemLog(QStringLiteral("Kaleidrome.xml left unchanged: it does not read as a "
                                           "game list (%1), and writing would replace it")
                                .arg(save.reason));
        return;
    case GameListSave::Status::SerialiseFailed:
        m_desktop.systemLog(save.reason);
        break;
    case GameListSave::Status::WriteFailed:
        m_desktop.systemLog(QStringLiteral("Kaleidrome.xml not written: ") + save.reason);
        break;
    }
    // The user changed the list and the change is not kept: say so.
    AlertRequest alert;
    alert.message = text(QStringLiteral("Alert_ListNotSaved"));
    alert.informativeText =
        formatText(text(QStringLiteral("Alert_ListNotSavedInfo")), 0, save.reason);
    alert.buttons = {QStringLiteral("OK")};
    alert.cancelButton = 0;
    runAlert(alert);
}

qint64 AppDelegate::selectionIndex() const {
    return arrayController_list->selectionIndex();
}

void AppDelegate::setSelectionIndex(qint64 index) {
    arrayController_list->setSelectionIndex(index);
}

std::optional<QString> AppDelegate::selectedGameName() const {
    if (selectionIndex() == NotFound)
        return std::nullopt;
    const plist::Value* record = arrayController_list->selection();
    return record ? gameName(*record) : std::nullopt;
}

} // namespace kd
