// The game list's place in the controller: loading at start-up, saving at exit,
// and the selection the other operations read.
#include "app/appdelegate.h"
#include "app/gametableview.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "platform/desktop.h"
#include "settings/settingskeys.h"

#include <QHeaderView>
#include <QTableView>

namespace kd {

void AppDelegate::attachGameList() {
    arrayController_list = new GameListController(this);
    // The table's row height and font size have keys of their own but no control.
    const int rowHeight =
        qBound(12, m_defaults.value(QString::fromLatin1(keys::rowHeight)).toInt(), 200);
    const int fontSize =
        qBound(6, m_defaults.value(QString::fromLatin1(keys::fontSize)).toInt(), 72);
    for (QTableView* table : {tableView_list, tableView_list2}) {
        arrayController_list->attachView(table);
        QFont font = table->font();
        font.setPixelSize(fontSize);
        table->setFont(font);
        table->verticalHeader()->setMinimumSectionSize(rowHeight);
        table->verticalHeader()->setDefaultSectionSize(rowHeight);
    }
    // Name, Year and Players take the width of their contents; the long texts
    // give way when not all fit, titles least. The second layout is the
    // compact one.
    for (QTableView* table : {tableView_list, tableView_list2}) {
        auto* view = static_cast<GameTableView*>(table);
        view->setKeyColumn(GameListModel::Name);
        view->setShrinkingColumns(
            {{GameListModel::Title, 2}, {GameListModel::Maker, 1}, {GameListModel::Genre, 1}});
    }
    for (int column : {GameListModel::Maker, GameListModel::Players})
        tableView_list2->hideColumn(column);
    connect(arrayController_list, &GameListController::selectionChanged, this,
            &AppDelegate::tableViewSelectionDidChange);
}

void AppDelegate::loadGameList() {
    const std::optional<QString> path = pathOfDataFile();
    GameListLoad load;
    if (path)
        load = kd::loadGameList(*path);
    const QString file = path.value_or(packagedPath("Kaleidrome.xml"));
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
                 "the launcher again; until then it is left untouched. Games can still be "
                 "started with Game ▸ Open ROM…")
                  .arg(load.reason);
        break;
    case GameListLoad::Status::Loaded:
        if (load.records.empty())
            why = tr("The game list %1 holds no games.").arg(file);
        arrayController_list->addObjects(std::move(load.records));
        break;
    }
    for (QTableView* table : {tableView_list, tableView_list2})
        static_cast<GameTableView*>(table)->setPlaceholderText(why);
}

void AppDelegate::saveGameList() {
    const std::optional<QString> path = pathOfDataFile();
    if (!path)
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
    const GameListSave save = saveGameListIfChanged(*path, arrayController_list->content(),
                                                    arrayController_list->arrangedObjects());
    switch (save.status) {
    case GameListSave::Status::Unchanged:
    case GameListSave::Status::Written:
        break;
    case GameListSave::Status::NotAList:
        m_desktop.systemLog(QStringLiteral("Kaleidrome.xml left unchanged: it does not read as a "
                                           "game list (%1), and writing would replace it")
                                .arg(save.reason));
        break;
    case GameListSave::Status::SerialiseFailed:
        m_desktop.systemLog(save.reason);
        break;
    case GameListSave::Status::WriteFailed:
        m_desktop.systemLog(QStringLiteral("Kaleidrome.xml not written: ") + save.reason);
        break;
    }
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
