// Finding a game, seeing which are playable and growing the list, through the
// real windows' controls; play history with the demo emulator as the child: the
// status lines, the History window, the figure columns, favourites, Open Recent,
// and a database the launcher cannot use.
#include "catalogue/gamelist.h"
#include "catalogue/playhistory.h"
#include "support/delegatefixture.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTableWidget>

namespace kd::test {
namespace {

class GameListView : public LaunchFixture {
protected:
    void SetUp() override {
        LaunchFixture::SetUp();
        roms = home.filePath("roms");
        ASSERT_TRUE(QDir().mkpath(roms));
        type(field("textfild_roms"), roms);
    }
    static QStringList shown(QTableView* table, int column = GameListModel::Name) {
        QStringList cells;
        for (int row = 0; row < table->model()->rowCount(); ++row)
            cells << table->model()->index(row, column).data().toString();
        return cells;
    }
    // What the stored list's record `name` shows in `column`.
    QString cell(const QString& name, int column) const {
        const GameListModel* model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, GameListModel::Name).data().toString() == name)
                return model->index(row, column).data().toString();
        return QStringLiteral("(no such game)");
    }
    // Whether the stored list's record `name` is marked available.
    bool available(const QString& name) const {
        return cell(name, GameListModel::Available) == u"\u2713";
    }
    QStringList savedNames() {
        app->applicationWillTerminate();
        QStringList names;
        for (const plist::Value& record : loadGameList(listFile()).records)
            names << gameName(record).value_or(QStringLiteral("-"));
        return names;
    }
    QStringList historyColumn(int column) const {
        const auto* rows = in<QTableWidget>("historyWindow", "historyTable");
        QStringList cells;
        for (int row = 0; row < rows->rowCount(); ++row)
            cells << rows->item(row, column)->text();
        return cells;
    }
    QString roms;
};

using HistoryView = GameListView;

// Typing filters both tables; the list as arranged and as saved keeps every game.
TEST_F(GameListView, TheSearchFieldFiltersWhatTheTablesShowOnly) {
    const QStringList stored = savedNames();
    table()->sortByColumn(GameListModel::Year, Qt::DescendingOrder);
    QTest::keyClicks(searchField(), QStringLiteral("CAFE"));
    EXPECT_EQ(searchField(2)->text(), QStringLiteral("CAFE"));
    EXPECT_EQ(shown(table(2)), QStringList{"lumora"});
    // The lone game left is selected; Return in the field starts it.
    EXPECT_EQ(app->selectedGameName(), QStringLiteral("lumora"));
    QTest::keyClick(searchField(), Qt::Key_Return);
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(desktop.argsOf("recent"), QList<QStringList>{{roms + "/lumora.zip"}});

    // Two words must both match; Escape clears the field and shows every game.
    QTest::keyClick(searchField(2), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(searchField(2), QStringLiteral("puzzle octavo"));
    EXPECT_EQ(shown(table()), QStringList{"jadeknot"});
    QTest::keyClick(searchField(2), Qt::Key_Escape);
    EXPECT_EQ(searchField()->text(), QString());
    EXPECT_EQ(shown(table()).size(), 12);

    // Filtered and sorted at exit: the list is written again, every record in
    // stored order. (That the system ending the launcher runs the same exit:
    // RealLauncher.EndsInOrderOnTerminateInterruptAndHangUp.)
    QTest::keyClicks(searchField(), QStringLiteral("racing"));
    const QDateTime longAgo = QDateTime::fromSecsSinceEpoch(1'000'000'000);
    QFile file(listFile());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    EXPECT_EQ(savedNames(), stored);
    EXPECT_NE(QFileInfo(listFile()).lastModified(), longAgo) << "a sorted list is written again";
}

TEST_F(GameListView, TheAvailableColumnFollowsTheFolderAndTheField) {
    ASSERT_TRUE(writeFile(roms + "/astrovex.zip", "zip"));
    ASSERT_TRUE(waitUntil([&] { return available("astrovex"); }));
    EXPECT_EQ(cell("boltrunner", GameListModel::Available), QString());

    // The folder is watched: an archive that appears or goes shows at once.
    ASSERT_TRUE(writeFile(roms + "/boltrunner.zip", "zip"));
    ASSERT_TRUE(waitUntil([&] { return available("boltrunner"); }));
    ASSERT_TRUE(QFile::remove(roms + "/astrovex.zip"));
    ASSERT_TRUE(waitUntil([&] { return cell("astrovex", GameListModel::Available).isEmpty(); }));

    // Only the available games; the switch is remembered. (That the reset leaves
    // it: SettingsCore.EditsAreAnnouncedAndTheResetLeavesOwnKeysAlone.)
    action("onlyAvailable")->trigger();
    EXPECT_EQ(shown(table()), QStringList{"boltrunner"});
    // At start the first game shown is selected once the folder is listed;
    // until then record 0's artwork is shown.
    ASSERT_TRUE(writeFile(roms + "/cometkai.zip", "zip"));
    relaunch();
    app->applicationDidFinishLaunching();
    EXPECT_TRUE(action("onlyAvailable")->isChecked());
    EXPECT_EQ(imageView()->sourcePath(), bundle.path("kdromepak/Snaps/astrovex.png"));
    EXPECT_TRUE(waitUntil([&] { return shown(table()).size() == 2; }));
    EXPECT_EQ(app->selectedGameName(), QStringLiteral("boltrunner"));
    EXPECT_EQ(imageView()->sourcePath(), bundle.path("kdromepak/Snaps/boltrunner.jpg"));

    // Another folder in the field: the column and the filter follow it.
    const QString other = home.filePath("other roms");
    ASSERT_TRUE(QDir().mkpath(other));
    ASSERT_TRUE(writeFile(other + "/mosspath.zip", "zip"));
    type(field("textfild_roms"), other);
    ASSERT_TRUE(waitUntil([&] { return shown(table()) == QStringList{"mosspath"}; }));
    action("onlyAvailable")->trigger();
    EXPECT_EQ(shown(table()).size(), 12);
    // The reset empties the field: no game is marked any more.
    app->DefaultAction();
    EXPECT_TRUE(waitUntil([&] { return !available("mosspath"); }));
}

// With a filter on, the status line counts the games shown; a table the
// filters empty names them, and its button turns them all off.
TEST_F(GameListView, FiltersAreCountedAndAnEmptiedTableSaysWhy) {
    QLabel* count = app->window2()->findChild<QLabel*>("countLine2");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->text(), "");
    QTest::keyClicks(searchField(), "puzzle");
    EXPECT_EQ(count->text(), QString("%1 of 12 games").arg(shown(table()).size()));
    EXPECT_FALSE(table()->isPlaceholderShown());
    action("onlyFavourites")->trigger();
    EXPECT_EQ(count->text(), "0 of 12 games");
    ASSERT_TRUE(table(2)->isPlaceholderShown());
    EXPECT_EQ(table(2)->placeholderText(),
              "Every game is hidden by:\nthe search “puzzle”\nShow Only Favourites");
    table(2)->findChild<QPushButton*>("showAllButton")->click();
    EXPECT_EQ(searchField()->text(), "");
    EXPECT_FALSE(action("onlyFavourites")->isChecked());
    EXPECT_EQ(shown(table()).size(), 12);
    EXPECT_EQ(count->text(), "");
    EXPECT_FALSE(table()->isPlaceholderShown());
}

// A search that hides the selected game leaves none selected: what acts on a
// game is off, its keys are refused with a beep, and the panel says so.
TEST_F(GameListView, NothingSelectedTurnsOffWhatActsOnAGame) {
    app->show_Mainwindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->window()));
    auto* button = app->window()->findChild<QPushButton*>("startGameButton");
    auto enabled = [&] {
        QStringList on;
        for (const char* name : {"startGame", "favourite", "removeGame", "gameHistory"})
            if (action(name)->isEnabled())
                on << name;
        if (button->isEnabled())
            on << "button";
        return on.join(' ');
    };
    app->setSelectionIndex(1);
    EXPECT_EQ(enabled(), "startGame favourite removeGame gameHistory button");
    QTest::keyClicks(searchField(), "zzz");
    EXPECT_EQ(app->selectionIndex(), AppDelegate::NotFound);
    EXPECT_EQ(enabled(), "");
    EXPECT_TRUE(imageView()->image().isNull());
    EXPECT_FALSE(app->window()->findChild<QLabel*>("noGameNote")->isHidden());
    desktop.clear();
    table()->setFocus();
    QTest::keyClick(table(), Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(table(), Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(table(), Qt::Key_Delete);
    EXPECT_EQ(desktop.callNames(), QStringList(3, "beep"));
}

// A game's own menu opens on a right click, the Menu key or Shift+F10, for
// that game; it shows where its archive is and its own runs.
TEST_F(GameListView, AGamesMenuActsOnThatGame) {
    app->show_Mainwindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->window()));
    ASSERT_TRUE(writeFile(roms + "/cometkai.zip", "zip"));
    auto popup = [] { // the open menu's entries (none without one), and closes it
        QStringList entries;
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* entry : menu->actions())
                entries << entry->objectName();
            menu->close();
        }
        return entries.join(' ');
    };
    const QString entries = "startGame favourite gameHistory revealRom  removeGame";
    const QRect cell = table()->visualRect(table()->model()->index(2, GameListModel::Year));
    QContextMenuEvent click(QContextMenuEvent::Mouse, cell.center(),
                            table()->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(table()->viewport(), &click);
    EXPECT_EQ(popup(), entries);
    EXPECT_EQ(app->selectedGameName(), QStringLiteral("cometkai"));
    action("revealRom")->trigger();
    EXPECT_EQ(desktop.argsOf("reveal"), (QList<QStringList>{{roms + "/cometkai.zip", roms}}));

    app->setSelectionIndex(1);
    QTest::keyClick(table(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(popup(), entries);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, {}, table()->mapToGlobal(QPoint()));
    QApplication::sendEvent(table(), &key);
    EXPECT_EQ(popup(), entries);
    EXPECT_EQ(app->selectedGameName(), QStringLiteral("boltrunner"));

    play("exit 0");
    app->setSelectionIndex(0);
    play("exit 0");
    app->setSelectionIndex(1);
    action("gameHistory")->trigger();
    EXPECT_EQ(historyColumn(0), QStringList{"Bolt Runner"});
    EXPECT_EQ(topLevel("historyWindow")->windowTitle(), "History of Bolt Runner");
    app->show_History();
    EXPECT_EQ(historyColumn(0).size(), 2);
}

TEST_F(GameListView, GamesAreAddedFromTheRomsFolderAndRemovedOnRequest) {
    for (const char* archive :
         {"boltrunner.zip", "zephyr_strike-2.zip", "aqua-drift.zip", "notes.txt"})
        ASSERT_TRUE(writeFile(roms + "/" + archive, "x"));
    desktop.alertAnswers = {1}; // Cancel
    action("addGames")->trigger();
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts[0].message, formatText(app->text("Alert_Add"), 2));
    EXPECT_EQ(desktop.alerts[0].buttons,
              (QStringList{app->text("Button_Add"), app->text("Button_2")}));
    EXPECT_EQ(desktop.alerts[0].cancelButton, 1);
    EXPECT_EQ(desktop.alerts[0].style, AlertStyle::Informational);
    EXPECT_EQ(list()->content().size(), 12u);

    desktop.alertAnswers = {0}; // Add
    action("addGames")->trigger();
    ASSERT_EQ(list()->content().size(), 14u);
    // (How a new record is named: Availability.OnlyRegularArchivesCount….)
    EXPECT_EQ(app->selectedGameName(), QStringLiteral("aqua-drift"));
    ASSERT_TRUE(waitUntil([&] { return available("zephyr_strike-2"); }));

    // Nothing more to add: the alert says so.
    desktop.clear();
    action("addGames")->trigger();
    EXPECT_EQ(desktop.alerts.value(0).message, app->text("Alert_AddNone"));

    // Removing asks first, Cancel being the default; the game after it is selected.
    app->setSelectionIndex(1);
    desktop.clear();
    desktop.alertAnswers = {0};
    action("removeGame")->trigger();
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts[0].buttons,
              (QStringList{app->text("Button_Remove"), app->text("Button_2")}));
    EXPECT_EQ(desktop.alerts[0].defaultButton, 1);
    EXPECT_EQ(desktop.alerts[0].style, AlertStyle::Warning);
    EXPECT_EQ(desktop.alerts[0].message, formatText(app->text("Alert_Remove"), 0, "Bolt Runner"));
    EXPECT_EQ(app->selectedGameName(), QStringLiteral("cometkai"));
    EXPECT_TRUE(QFile::exists(roms + "/boltrunner.zip")); // its archive stays

    const QStringList saved = savedNames();
    EXPECT_EQ(saved.size(), 13);
    EXPECT_FALSE(saved.contains("boltrunner"));
    EXPECT_EQ(saved.mid(11), (QStringList{"aqua-drift", "zephyr_strike-2"}));
}

const QString kDash = QStringLiteral(" \u2014 ");

// An exit status and a signal of the same number are told apart.
TEST_F(HistoryView, EveryRunIsRecordedAndTheStatusLinesSayHowItEnded) {
    app->setSelectionIndex(1);
    app->show_History(); // it follows each run as it starts and ends
    const std::pair<const char*, QString> runs[] = {
        {"exit 0", "ended normally"},
        {"exit 5", "ended with status 5"},
        {"signal 11", "killed by signal 11 (SIGSEGV)"},
        {"exit 11", "ended with status 11"},
    };
    for (const auto& [script, outcome] : runs) {
        SCOPED_TRACE(script);
        // The first run lasts long enough to see the clock move.
        const bool first = script == runs[0].first;
        ScopedEnv env("KD_DEMO_SCRIPT",
                      QByteArray("out playing\nsleep ") + (first ? "2500\n" : "300\n") + script);
        desktop.clear();
        app->start_game();
        EXPECT_EQ(statusLine()->text(), "Bolt Runner" + kDash + "running for 0:00");
        EXPECT_EQ(historyColumn(3).value(0), "running");
        // The clock ticks each second, a coarse timer up to 5% early.
        EXPECT_TRUE(!first || waitUntil([&] { return !statusLine()->text().endsWith("0:00"); }));
        EXPECT_TRUE(!first || statusLine()->text().contains(QRegularExpression("for 0:0[12]$")));
        ASSERT_TRUE(bothEnds());
        EXPECT_EQ(historyColumn(3).value(0), outcome);
        EXPECT_TRUE(statusLine()->text().startsWith("Bolt Runner" + kDash + outcome + kDash))
            << statusLine()->text().toStdString();
        EXPECT_EQ(statusLine(2)->text(), statusLine()->text());
    }
    EXPECT_EQ(cell("boltrunner", GameListModel::TimesPlayed), "4");
    EXPECT_FALSE(cell("boltrunner", GameListModel::LastPlayed).isEmpty());
    // Four runs of at least 0.3 s each.
    EXPECT_TRUE(QRegularExpression("^0:0[1-9]$")
                    .match(cell("boltrunner", GameListModel::PlayTime))
                    .hasMatch());
    EXPECT_EQ(cell("astrovex", GameListModel::TimesPlayed), "");

    EXPECT_EQ(historyColumn(0), QStringList(4, "Bolt Runner"));
    EXPECT_EQ(historyColumn(3),
              (QStringList{"ended with status 11", "killed by signal 11 (SIGSEGV)",
                           "ended with status 5", "ended normally"}));
    EXPECT_EQ(historyColumn(2).filter(QRegularExpression("^0:0[0-9]$")).size(), 4);
    EXPECT_TRUE(in<QLabel>("historyWindow", "historyNote")->isHidden());

    relaunch();
    EXPECT_EQ(cell("boltrunner", GameListModel::TimesPlayed), "4");
    EXPECT_TRUE(statusLine()->text().startsWith("Bolt Runner" + kDash + "ended with status 11"));
    EXPECT_EQ(desktop.systemLogLines().filter("history"), QStringList());
}

// A title is shown as the text it is, markup and all (a picture it names is never
// loaded, a link never made), and a 10 MB one by its first 1,000 characters: in
// the status line filled from the history at start, History and the Remove
// question (in its cell: GameListController.ShowsStringsAndIntegersOnly). The
// list file keeps every byte of it.
TEST_F(HistoryView, AHostileHugeTitleIsShownAsTextCutShortAndKeptWhole) {
    const QString picture = home.filePath("tall.png");
    ASSERT_TRUE(QImage(8, 600, QImage::Format_RGB32).save(picture));
    const QString title = "<img src=\"file:" + picture +
                          "\"><a href=\"file:/etc/passwd\">Hexaball</a>" + QString(10 << 20, u'z');
    ASSERT_TRUE(writeFile(listFile(), QStringLiteral("<plist version=\"1.0\"><array><dict><key>name"
                                                     "</key><string>hexaball</string><key>title</"
                                                     "key><string>%1</string></dict><dict><key>"
                                                     "name</key><string>mosspath</string></dict>"
                                                     "</array></plist>")
                                          .arg(title.toHtmlEscaped())
                                          .toUtf8()));
    relaunch();
    app->setSelectionIndex(0);
    play("exit 0");
    relaunch();
    const QString shown = title.left(1000) + u'\u2026';
    EXPECT_TRUE(statusLine()->text().startsWith(shown + kDash + "ended normally" + kDash));
    EXPECT_LT(statusLine()->sizeHint().height(), 100);
    app->show_History();
    EXPECT_EQ(historyColumn(0), QStringList{shown});

    app->setSelectionIndex(0);
    desktop.alertAnswers = {1, 0}; // Cancel, then Remove the other game
    action("removeGame")->trigger();
    EXPECT_EQ(desktop.alerts.value(0).message, "Remove “" + shown + "” from the game list?");
    app->setSelectionIndex(1);
    action("removeGame")->trigger();
    app->applicationWillTerminate();
    const GameListLoad saved = loadGameList(listFile());
    ASSERT_EQ(saved.records.size(), 1u);
    EXPECT_EQ(GameListModel::displayText(saved.records[0], GameListModel::Title), title);
}

TEST_F(HistoryView, FavouritesByStarOrKeySurviveARestartAndAResort) {
    const QByteArray list = readFile(listFile());
    app->show_Mainwindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->window()));
    QTableView* games = table();
    auto clickStar = [&](int row) {
        const QModelIndex star = games->model()->index(row, GameListModel::Favourite);
        QTest::mouseClick(games->viewport(), Qt::LeftButton, {}, games->visualRect(star).center());
    };
    clickStar(2);
    clickStar(0);
    clickStar(0);
    app->setSelectionIndex(4);
    QTest::keyClick(games, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(action("favourite")->isChecked());
    EXPECT_EQ(shown(table(), GameListModel::Favourite).count(u"\u2605"), 2);
    games->sortByColumn(GameListModel::Favourite, Qt::DescendingOrder);
    EXPECT_EQ(shown(table()).mid(0, 2), (QStringList{"cometkai", "fenlight"}));

    action("onlyFavourites")->trigger();
    EXPECT_EQ(shown(table()), (QStringList{"cometkai", "fenlight"}));
    app->setSelectionIndex(1);
    action("favourite")->trigger(); // fenlight is no favourite now, so not shown
    EXPECT_EQ(shown(table()), QStringList{"cometkai"});

    app->applicationWillTerminate();
    EXPECT_EQ(readFile(listFile()), list) << "favourites are not in the list";
    relaunch();
    EXPECT_TRUE(action("onlyFavourites")->isChecked());
    EXPECT_EQ(shown(table()), QStringList{"cometkai"});
}

// Open Recent lists the archives last run, newest first (how many the history
// keeps: History.RunsFavouritesAndRecentArchivesSurviveAReopen).
TEST_F(HistoryView, OpenRecentListsTheArchivesLastRunAndStartsThem) {
    QStringList archives; // newest first
    for (const char* game : {"game0", "rock&roll", "game2"}) {
        archives.prepend(roms + "/" + game + ".zip");
        ASSERT_TRUE(writeFile(archives.first(), "zip"));
        desktop.clear();
        app->task_cocking(archives.first());
        ASSERT_TRUE(bothEnds());
    }
    auto entries = [&](QMainWindow* window) {
        QMenu* menu = window->menuBar()->findChild<QMenu*>("openRecentMenu");
        emit menu->aboutToShow();
        QStringList texts;
        for (QAction* entry : menu->actions())
            if (!entry->isSeparator())
                texts << (entry->isEnabled() ? "" : "(off) ") + entry->text();
        return texts;
    };
    // A "&" is shown, not taken as the mark of a shortcut key.
    EXPECT_EQ(entries(app->window()),
              QStringList(archives).replaceInStrings("&", "&&") + QStringList{"Clear Menu"});

    // An archive that is gone cannot be chosen; another starts a game run.
    ASSERT_TRUE(QFile::remove(archives[1]));
    EXPECT_TRUE(entries(app->window2()).contains("(off) " + roms + "/rock&&roll.zip"));
    QMenu* menu = app->window2()->menuBar()->findChild<QMenu*>("openRecentMenu");
    desktop.clear();
    menu->actions().at(2)->trigger();
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(desktop.argsOf("recent"), QList<QStringList>{{archives[2]}});
    EXPECT_EQ(entries(app->window()).value(0), archives[2]);

    menu->actions().last()->trigger();
    EXPECT_EQ(entries(app->window()), QStringList{"(off) Clear Menu"});
    relaunch();
    EXPECT_EQ(entries(app->window()), QStringList{"(off) Clear Menu"});
}

// A relative ROMs folder lies in the launcher's working folder for the ROM
// column, the run and Open Recent alike: the emulator, in a folder of its own,
// is handed the absolute path, and an archive the history kept relative is
// that same place.
TEST_F(HistoryView, ARelativeRomsFolderIsTheLaunchersOwnEverywhere) {
    const QString relative = QDir::current().relativeFilePath(roms);
    const QString rom = QDir::currentPath() + u'/' + relative + "/astrovex.zip";
    ASSERT_TRUE(writeFile(roms + "/astrovex.zip", "zip"));
    type(field("textfild_roms"), relative);
    ASSERT_TRUE(waitUntil([&] { return available("astrovex"); }));
    app->setSelectionIndex(0);
    play("exit 0");
    EXPECT_EQ(receivedArguments().value(0), rom);
    desktop.clear();
    app->task_cocking(relative + "/astrovex.zip");
    ASSERT_TRUE(bothEnds());

    QMenu* menu = app->window()->menuBar()->findChild<QMenu*>("openRecentMenu");
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 3); // the one archive, a separator, Clear Menu
    EXPECT_EQ(menu->actions()[0]->text(), rom);
    desktop.clear();
    menu->actions()[0]->trigger();
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(receivedArguments().value(0), rom);

    // So is a row of History, which Return or a double click starts again
    // through the same request: an archive gone since is said so.
    app->show_History();
    QTableWidget* rows = in<QTableWidget>("historyWindow", "historyTable");
    ASSERT_EQ(rows->rowCount(), 3);
    rows->setCurrentCell(1, 2); // the run of the relative path
    desktop.clear();
    QTest::keyClick(rows, Qt::Key_Return);
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(receivedArguments().value(0), rom);
    ASSERT_EQ(rows->rowCount(), 4);
    ASSERT_TRUE(QFile::remove(roms + "/astrovex.zip"));
    desktop.clear();
    const QPoint newest = rows->visualRect(rows->model()->index(0, 0)).center();
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, newest);
    QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, newest);
    EXPECT_EQ(desktop.argsOf("alert"),
              (QList<QStringList>{{rom + " cannot be started.", app->text("Open_Missing")}}));
}

// The launcher says once why it runs without history, keeps favourites and
// counts for the session, and never writes the file. Which files it refuses:
// History.FilesItDoesNotUnderstandAreLeftAsTheyAre.
TEST_F(HistoryView, ADatabaseItCannotUseIsSaidOnceAndLeftAlone) {
    const QString file = PlayHistory::defaultFilePath();
    const QByteArray damaged = QByteArray("SQLite format 3\0", 16) + QByteArray(9000, '\x5a');
    app.reset();
    ASSERT_TRUE(writeFile(file, damaged));
    relaunch();
    type(field("textfild_roms"), roms);
    EXPECT_EQ(desktop.systemLogLines().filter("Play history is off: " + file).size(), 1);
    EXPECT_EQ(log().count("*** Play history is off: " + file), 1);

    app->setSelectionIndex(0);
    play("exit 0");
    app->toggleFavourite();
    EXPECT_EQ(cell("astrovex", GameListModel::TimesPlayed), "1");
    EXPECT_EQ(cell("astrovex", GameListModel::Favourite), u"\u2605");
    EXPECT_TRUE(statusLine()->text().startsWith("Astrovex: Orbit Breaker"));
    app->show_History();
    EXPECT_TRUE(
        in<QLabel>("historyWindow", "historyNote")->text().startsWith("Play history is off: "));
    EXPECT_EQ(in<QTableWidget>("historyWindow", "historyTable")->rowCount(), 0);
    app->applicationWillTerminate();
    app.reset();
    EXPECT_EQ(desktop.systemLogLines().filter("Play history is off"), QStringList());
    EXPECT_EQ(readFile(file), damaged);
}

// With a sound copy in the backups, the copy is offered, never forced: declined,
// the file stays as it is; accepted, it is kept aside under another name and
// the copy's favourites and figures come back. Play data exported and imported
// again through the menus changes nothing.
TEST_F(HistoryView, AnUnusableDatabaseIsReplacedByItsCopyWhenTheUserAgrees) {
    const QString file = PlayHistory::defaultFilePath();
    app.reset();
    {
        PlayHistory h(file);
        h.setFavourite("astrovex", true);
        h.recordEnd(h.recordStart("astrovex", "/roms/astrovex.zip", {}, 1000), {61'000, 0, false});
        ASSERT_TRUE(h.startCopy(QDateTime::currentMSecsSinceEpoch()));
    }
    const QByteArray damaged = QByteArray("SQLite format 3\0", 16) + QByteArray(9000, '\x5a');
    ASSERT_TRUE(writeFile(file, damaged));
    for (int answer : {1, 0}) {
        restart();
        desktop.alertAnswers = {answer};
        app->awakeFromNib();
        EXPECT_EQ(desktop.alerts.size(), 0); // asked once the windows are up
        app->applicationDidFinishLaunching();
        ASSERT_EQ(desktop.alerts.size(), 1);
        EXPECT_TRUE(desktop.alerts[0].message.startsWith("Restore the play history from its copy"));
        EXPECT_TRUE(desktop.alerts[0].message.endsWith("(game runs in it: 1)?"));
        EXPECT_TRUE(desktop.alerts[0].informativeText.contains(file));
    }
    const QStringList aside =
        QFileInfo(file).dir().entryList({"history-unusable-*.sqlite"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(QFileInfo(file).dir().filePath(aside[0])), damaged);
    EXPECT_EQ(log().count("Play history restored from its copy"), 1);
    EXPECT_EQ(cell("astrovex", GameListModel::Favourite), u"\u2605");
    EXPECT_EQ(cell("astrovex", GameListModel::PlayTime), "1:00");

    const QString data = home.filePath("Play Data.json");
    desktop.clear();
    desktop.savePanelAnswers = {data};
    desktop.openPanelAnswers = {data, data};
    action("exportPlayData")->trigger();
    action("importPlayData")->trigger();
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts[0].informativeText, "Runs added: 0. Favourites added: 0.");
    ASSERT_TRUE(writeFile(data, "{"));
    action("importPlayData")->trigger();
    EXPECT_TRUE(
        desktop.alerts.back().informativeText.startsWith("Nothing was changed: it is not JSON"));
    EXPECT_EQ(cell("astrovex", GameListModel::Favourite), u"\u2605");
}

} // namespace
} // namespace kd::test
