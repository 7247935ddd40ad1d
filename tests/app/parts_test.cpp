// The runs and a main window on their own, without the controller.
#include "app/menus/launcheractions.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/gametableview.h"
#include "app/windows/mainwindow.h"
#include "support/delegatefixture.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kd::test {
namespace {

// Reactions wait while any question is up and then come in the order they
// came; one that asks a question of its own holds back those after it.
TEST(RunSupervisor, ReactionsWaitForQuestionsAndKeepTheirOrder) {
    RunSupervisor runs;
    QStringList done;
    runs.react([&] { done << "now"; });
    {
        const RunSupervisor::Question outer(runs);
        runs.react([&] {
            done << "first";
            const RunSupervisor::Question inner(runs);
            runs.react([&] { done << "third"; });
        });
        {
            const RunSupervisor::Question nested(runs);
            runs.react([&] { done << "second"; });
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(done, QStringList{"now"});
    }
    ASSERT_TRUE(waitUntil([&] { return done.size() == 4; }, 2000));
    EXPECT_EQ(done, (QStringList{"now", "first", "second", "third"}));
}

// A run that cannot start is still the current one, counts as not running and
// collects nothing; one that starts hands on its output decoded and announces
// both ends, then is forgotten.
TEST(RunSupervisor, ARunIsCurrentFromItsStartAndForgottenAfterBothEnds) {
    RunSupervisor runs;
    QSignalSpy running(&runs, &RunSupervisor::runningChanged);
    QString error;
    EmulatorProcess* failed =
        runs.start(QStringLiteral("/nowhere/emu"), {}, QDir::homePath(), true, &error);
    EXPECT_EQ(runs.current(), failed);
    EXPECT_FALSE(runs.isRunning());
    EXPECT_FALSE(runs.isCollecting(failed));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(running.size(), 1);

    QByteArray text;
    QStringList ends;
    QObject::connect(&runs, &RunSupervisor::text, [&](QByteArrayView bytes) { text += bytes; });
    QObject::connect(&runs, &RunSupervisor::outputReceived,
                     [&](EmulatorProcess* p, const QByteArray& chunk) { runs.collect(p, chunk); });
    QObject::connect(&runs, &RunSupervisor::outputEnded, [&](EmulatorProcess* p) {
        ends << "output";
        runs.finishOutput(p);
    });
    QObject::connect(&runs, &RunSupervisor::processEnded, [&](EmulatorProcess*, bool supervised) {
        ends << (supervised ? "end" : "?");
    });
    const ScopedEnv script("KD_DEMO_SCRIPT", "hex 63 61 66 c3 0a\nexit 3");
    EmulatorProcess* run = runs.start(QStringLiteral(KD_DEMO_EMULATOR), {QStringLiteral("-x")},
                                      QDir::homePath(), true, &error);
    EXPECT_NE(run, failed);
    EXPECT_EQ(runs.argumentsOf(run), QStringList{"-x"});
    ASSERT_TRUE(waitUntil([&] { return ends.size() == 2; }));
    EXPECT_TRUE(ends.contains("output") && ends.contains("end"));
    EXPECT_EQ(text, "caf\xef\xbf\xbd\n"); // the lone lead byte replaced
    EXPECT_EQ(run->exitStatus(), 3);
    ASSERT_TRUE(waitUntil([&] { return runs.argumentsOf(run).isEmpty(); }, 2000));
    EXPECT_EQ(runs.current(), run); // still `task`, but no longer followed
}

// Main window 2 names its controls with a "2"; Return in the search field asks
// for a start, Escape clears it, and the arrows walk the list below it.
TEST(MainWindow, TheSearchFieldStartsClearsAndWalks) {
    for (const auto layout :
         {MainWindow::Layout::ListBesideArtwork, MainWindow::Layout::ArtworkAboveList}) {
        MainWindow window(layout);
        const QString suffix = layout == MainWindow::Layout::ArtworkAboveList ? "2" : "";
        // (Its other controls are found by these names in every controller test.)
        EXPECT_EQ(window.objectName(), "window" + suffix);
        auto* search = window.findChild<QLineEdit*>("searchField" + suffix);
        ASSERT_NE(search, nullptr);
        QSignalSpy starts(&window, &MainWindow::startRequested);
        QSignalSpy edits(&window, &MainWindow::searchTextEdited);
        QTest::keyClicks(search, "ast");
        QTest::keyClick(search, Qt::Key_Return);
        QTest::keyClick(search, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(starts.size(), 2);
        // So does the artwork panel's button.
        auto* button = window.findChild<QPushButton*>("startGameButton");
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), "Start Game");
        button->click();
        EXPECT_EQ(starts.size(), 3);
        QTest::keyClick(search, Qt::Key_Escape);
        EXPECT_EQ(search->text(), "");
        ASSERT_FALSE(edits.isEmpty());
        EXPECT_EQ(edits.last()[0].toString(), "");
        // The controller's own text is shown without being announced.
        const qsizetype announced = edits.size();
        window.setSearchText("bolt");
        EXPECT_EQ(search->text(), "bolt");
        EXPECT_EQ(edits.size(), announced);
    }
}

// A ROM archive dropped on the window is announced once the drop is over;
// anything else is refused: another kind of file, two archives, a remote one,
// an empty drag.
TEST(MainWindow, OnlyAStartableArchiveIsTakenFromADrop) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("astrovex.zip"), "PK") &&
                writeFile(dir.filePath("notes.txt"), "x"));
    const QUrl rom = QUrl::fromLocalFile(dir.filePath("astrovex.zip"));
    MainWindow window(MainWindow::Layout::ListBesideArtwork);
    QSignalSpy dropped(&window, &MainWindow::romArchiveDropped);
    const QList<QList<QUrl>> drags{{QUrl::fromLocalFile(dir.filePath("notes.txt"))},
                                   {rom, rom},
                                   {QUrl("https://example.org/astrovex.zip")},
                                   {},
                                   {rom}};
    for (const QList<QUrl>& urls : drags) {
        const bool taken = &urls == &drags.last();
        EXPECT_EQ(dropOn(&window, urls), std::pair(taken, taken)) << urls.size();
    }
    EXPECT_TRUE(dropped.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !dropped.isEmpty(); }, 2000));
    EXPECT_EQ(dropped.size(), 1);
    EXPECT_EQ(dropped[0][0].toString(), dir.filePath("astrovex.zip"));
}

// Each menu holds its items in order, the recent archives in the Game menu.
TEST(LauncherActions, TheMenuBarHoldsEveryItemInItsMenu) {
    LauncherActions actions;
    QWidget window;
    auto* recent = new QMenu("Open Recent");
    std::unique_ptr<QMenuBar> bar(actions.makeMenuBar(&window, recent));
    QStringList menus;
    for (QAction* menu : bar->actions()) {
        QStringList items;
        for (QAction* item : menu->menu()->actions())
            items << (item->isSeparator() ? "-" : item->menu() ? "[recent]" : item->objectName());
        menus << menu->text() + ": " + items.join(' ');
    }
    EXPECT_EQ(menus,
              (QStringList{"&Launcher: preferences resetPreferences - quit",
                           "&Game: startGame openRom [recent] stopEmulator - favourite history - "
                           "showEmulator - findGame addGames removeGame - restoreGameList "
                           "exportPlayData importPlayData",
                           "&View: onlyAvailable onlyFavourites",
                           "L&og: showLog findInLog marker - saveLog clearLog",
                           "&Window: mainWindow1 mainWindow2",
                           "&Help: emulatorFolder readme - homePage projectPage - about"}));
    EXPECT_EQ(recent->parent(), bar->actions()[1]->menu());

    // Every window answers the shortcuts; those acting on the list only a main window.
    QWidget other;
    actions.addTo(&window, true);
    actions.addTo(&other, false);
    EXPECT_TRUE(other.actions().contains(actions.startGame));
    EXPECT_EQ(window.actions().size() - other.actions().size(), 3);
    EXPECT_FALSE(other.actions().contains(actions.findGame));
}

} // namespace
} // namespace kd::test
