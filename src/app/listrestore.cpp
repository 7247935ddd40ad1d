// The kept copies of the game list offered back: from the empty table when the
// list could not be read, and from Game ▸ Restore Game List… at any time.
#include "app/appdelegate.h"
#include "app/menus/launcheractions.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/mainwindow.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/gamelistcopies.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace kd {

namespace {

QString shownDate(const QDateTime& taken) {
    return QLocale().toString(taken, QLocale::ShortFormat);
}

} // namespace

// While no list was read, nothing added to the empty one could be saved.
void AppDelegate::showListReadState() {
    const bool read = m_listProblem.isNull();
    const QString why =
        read ? QString()
             : tr("No game list was read at start, so games added now could not be saved. "
                  "Restore a kept copy with Game ▸ Restore Game List…, or mend the list and "
                  "start the launcher again.");
    m_actions->addGames->setEnabled(read);
    for (QAction* action : {m_actions->addGames, m_actions->removeGame})
        action->setToolTip(why);
}

// The newest copy with games in it, offered under an empty table.
void AppDelegate::offerListRestore() {
    m_offeredCopy.clear();
    QString title;
    if (!m_listProblem.isNull() || arrayController_list->content().empty()) {
        for (const GameListCopy& copy : gameListCopies(LauncherPaths::listCopiesFolder())) {
            if (copy.games > 0) {
                m_offeredCopy = copy.path;
                title = tr("Restore the copy of %1 (%2 games)")
                            .arg(shownDate(copy.taken), QLocale().toString(copy.games));
                break;
            }
        }
    }
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->setRestoreOffer(title);
}

void AppDelegate::restoreOfferedCopy() {
    for (const GameListCopy& copy : gameListCopies(LauncherPaths::listCopiesFolder()))
        if (copy.path == m_offeredCopy && copy.games >= 0)
            return restoreListCopy(copy.path, shownDate(copy.taken), copy.games);
    offerListRestore(); // gone meanwhile
}

void AppDelegate::restoreGameList() {
    const QString folder = LauncherPaths::listCopiesFolder();
    const std::vector<GameListCopy> copies = gameListCopies(folder);
    if (copies.empty()) {
        AlertRequest alert;
        alert.style = AlertStyle::Informational;
        alert.message = text(QStringLiteral("Alert_NoListCopies"));
        alert.informativeText =
            formatText(text(QStringLiteral("Alert_NoListCopiesInfo")), 0, folder);
        alert.buttons = {QStringLiteral("OK")};
        alert.cancelButton = 0;
        runAlert(alert);
        return;
    }
    ChoiceRequest choice;
    choice.message = tr("Choose the copy of the game list to restore.");
    choice.informativeText =
        tr("Each save at Quit keeps the list it replaces in %1 (the newest 10).").arg(folder);
    for (const GameListCopy& copy : copies)
        choice.items << (copy.games < 0
                             ? tr("%1 — cannot be read").arg(shownDate(copy.taken))
                             : tr("%1 — %2 games")
                                   .arg(shownDate(copy.taken), QLocale().toString(copy.games)));
    choice.acceptButton = text(QStringLiteral("Button_Restore"));
    std::optional<int> chosen;
    {
        const RunSupervisor::Question asking(*m_runs);
        chosen = m_desktop.runChoice(choice);
    }
    if (!chosen || *chosen < 0 || std::size_t(*chosen) >= copies.size())
        return;
    const GameListCopy& copy = copies[std::size_t(*chosen)];
    if (copy.games < 0) {
        m_desktop.beep();
        return;
    }
    restoreListCopy(copy.path, shownDate(copy.taken), copy.games);
}

void AppDelegate::restoreListCopy(const QString& copyPath, const QString& shownDate, qint64 games) {
    const QString target = m_paths.listSaveFile();
    AlertRequest alert;
    alert.style = AlertStyle::Informational;
    alert.message = formatText(text(QStringLiteral("Alert_RestoreList")), games, shownDate);
    alert.informativeText = formatText(text(QStringLiteral("Alert_RestoreListInfo")), 0, target);
    alert.buttons = {text(QStringLiteral("Button_Restore")), text(QStringLiteral("Button_2"))};
    alert.cancelButton = 1;
    if (runAlert(alert) != 0)
        return;
    const bool wasRead = m_listProblem.isNull();
    QDir().mkpath(QFileInfo(target).absolutePath());
    // A list in use is saved first, so what changed since start is in the file
    // set aside.
    const GameListRestore restore = restoreGameListCopy(
        copyPath, target, wasRead ? QStringLiteral("replaced") : QStringLiteral("damaged"), [&] {
            if (wasRead)
                saveGameList();
        });
    GameListLoad load;
    if (restore.restored)
        load = kd::loadGameList(target);
    if (load.status != GameListLoad::Status::Loaded) {
        const QString why = restore.restored ? load.reason : restore.error;
        m_desktop.systemLog(
            QStringLiteral("Game list not restored from %1: %2").arg(copyPath, why));
        AlertRequest failed;
        failed.message = text(QStringLiteral("Alert_RestoreListFailed"));
        failed.informativeText =
            formatText(text(QStringLiteral("Alert_RestoreListFailedInfo")), 0, why);
        failed.buttons = {QStringLiteral("OK")};
        failed.cancelButton = 0;
        runAlert(failed);
        return;
    }
    m_desktop.systemLog(
        QStringLiteral("Game list %1 restored from %2").arg(target, copyPath) +
        (restore.setAside.isEmpty()
             ? QString()
             : QStringLiteral("; the file that was there is kept as ") + restore.setAside));
    m_listFile = target;
    m_listProblem = QString();
    const bool empty = load.records.empty();
    arrayController_list->removeAllObjects();
    arrayController_list->addObjects(std::move(load.records));
    buildSearchIndexLater(0);
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->setPlaceholderText(empty ? tr("The game list %1 holds no games.").arg(target)
                                       : QString());
    offerListRestore();
    showListReadState();
    // As at start: record 0, unless the filters hide it.
    setSelectionIndex(arrayController_list->firstShownIndex());
    tableViewSelectionDidChange();
}

} // namespace kd
