// Start-up order, the main windows, the game list's life, launch requests,
// selection artwork and the workspace actions.
#include "app/search/desktopsearch.h"
#include "app/windows/activityindicator.h"
#include "app/windows/gametableview.h"
#include "app/windows/imageview.h"
#include "catalogue/gamelist.h"
#include "settings/launcherpaths.h"
#include "support/delegatefixture.h"

#include <QFileInfo>
#include <QImage>
#include <QProxyStyle>
#include <sys/stat.h>

namespace kd::test {
namespace {

using Startup = DelegateFixture;
using Launching = LaunchFixture;

TEST_F(Startup, ChecksComeFirstThenTheListThenOneMainWindow) {
    ASSERT_TRUE(QFile::remove(bundle.path("kdromepak/Kaleidrome")));
    QStringList seen;
    desktop.whileModal = [&](const QString&) {
        seen << QStringLiteral("%1 list=%2 windows=%3")
                    .arg(desktop.alerts.last().message)
                    .arg(list()->content().size())
                    .arg(app->window()->isVisible() || app->window2()->isVisible() ? "shown"
                                                                                   : "none");
    };
    app->awakeFromNib();
    EXPECT_EQ(seen, (QStringList{app->text("Install_1") + " list=0 windows=none",
                                 app->text("Alert_2") + " list=0 windows=none"}));
    // Escape and the close box answer with the button that does nothing.
    EXPECT_EQ(desktop.alerts.value(0).buttons.value(desktop.alerts.value(0).cancelButton),
              app->text("Button_2"));
    EXPECT_EQ(list()->content().size(), 12u);

    app->applicationDidFinishLaunching();
    EXPECT_TRUE(app->window()->isVisible() && !app->window2()->isVisible());
    EXPECT_EQ(app->selectedGameName(), "astrovex");

    // The list's cache is kept for the next start, which reads the same list.
    relaunch();
    EXPECT_TRUE(QFileInfo::exists(LauncherPaths::listCacheFile()));
    EXPECT_EQ(list()->content().size(), 12u);
}

// Started by the bus for a search: the list is read for it, nothing is shown or
// asked. Picking a result runs the normal start, its checks first, then the
// game; "more results" shows the words in the search field.
TEST_F(Startup, ASearchStartShowsNothingUntilAResultIsPicked) {
    ASSERT_TRUE(QFile::remove(bundle.path("kdromepak/Kaleidrome")));
    store->setObject(bundle.path("kdromepak"), keys::RomsPath);
    app->startInBackground();
    QTest::qWait(50);
    EXPECT_TRUE(desktop.alerts.isEmpty());
    EXPECT_FALSE(app->window()->isVisible() || app->window2()->isVisible());
    const QList<SearchResult> found = app->searchGames("bolt runner");
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(QStringList({found[0].id, found[0].title, found[0].description}),
              QStringList({"boltrunner", "Bolt Runner", "1991, Kestrel Interactive"}));
    EXPECT_FALSE(app->searchResult("nosuchgame"));

    app->startGameNamed("boltrunner");
    app->showSearch("kestrel");
    EXPECT_EQ(desktop.alerts.size(), 1);
    ASSERT_TRUE(waitUntil([&] { return app->window()->isVisible(); }));
    ASSERT_TRUE(waitUntil([&] { return list()->searchText() == "kestrel"; }));
    // The start-up's check, then the game-run request's own, as a double click gets.
    QStringList messages;
    for (const AlertRequest& alert : desktop.alerts)
        messages << alert.message;
    EXPECT_EQ(messages, QStringList({app->text("Install_1"), app->text("Install_1"),
                                     app->text("Alert_StartFailed")}));
    EXPECT_TRUE(log().contains(bundle.path("kdromepak/Kaleidrome")));
}

// StartWindow 2 opens the second main window, anything else the first; the
// switch stores the choice, and a later start brings forward the one shown.
TEST_F(Startup, TheMainWindowIsTheOneChosenLast) {
    const std::optional<qint64> values[] = {2, 1, 0, 3, std::nullopt};
    for (const std::optional<qint64>& value : values) {
        if (value)
            store->setObject(*value, keys::StartWindow);
        else
            store->removeObjectForKey(keys::StartWindow);
        store->synchronize();
        restart();
        app->applicationDidFinishLaunching();
        EXPECT_EQ(app->window2()->isVisible(), value == 2) << value.value_or(-1);
        EXPECT_EQ(app->window()->isVisible(), value != 2) << value.value_or(-1);
    }
    app->show_Mainwindow2();
    EXPECT_FALSE(app->window()->isVisible());
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 2);

    app->window2()->showMinimized();
    app->applicationShouldHandleReopen({});
    EXPECT_TRUE(app->window2()->isVisible());
    EXPECT_FALSE(app->window2()->isMinimized());
    EXPECT_FALSE(app->window()->isVisible());
    // None shown: main window 1, whatever was chosen.
    app->window2()->close();
    app->applicationShouldHandleReopen({});
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_FALSE(app->window2()->isVisible());
    EXPECT_EQ(app->task(), nullptr);

    // Both closed: the switch shows the chosen one and stores again.
    app->window()->close();
    app->show_Mainwindow();
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 1);
}

// Whatever is in the list's place, the launcher neither blocks on it nor
// replaces it: only a list it read is written back, and only when changed. A
// table that is empty because of the file says why, in both main windows.
TEST_F(Startup, TheListFileIsExplainedAndNeverReplacedUnlessRead) {
    const QString file = listFile();
    const QByteArray shipped = readFile(file);
    const QByteArray broken = "<?xml version=\"1.0\"?>\n<plist><array><dict><key>name";
    const QByteArray mended = "<plist version=\"1.0\"><array><dict><key>name</key>"
                              "<string>kitefall</string></dict></array></plist>";
    const QByteArray empty = "<plist version=\"1.0\"><array/></plist>";
    const QByteArray fifo = "(fifo)";
    const QString notFound = "Kaleidrome.xml not found";
    const QString leftAlone = "Kaleidrome.xml left unchanged";
    const QDateTime longAgo = QDateTime::fromSecsSinceEpoch(1'000'000'000);
    // Puts `content` in the list's place (nothing: no file), starts, and puts
    // `meanwhile` there while the launcher runs: the tables say `says` (empty:
    // they show the games), the system log's lines up to their colon are
    // `logged`, and the file is left as it was put there.
    auto check = [&](const std::optional<QByteArray>& content, const QString& says,
                     const QStringList& logged, const std::optional<QByteArray>& meanwhile = {}) {
        SCOPED_TRACE(content.value_or("(none)").left(20).toStdString());
        QFile::remove(file);
        if (content == fifo) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else if (content) {
            ASSERT_TRUE(writeFile(file, *content));
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                        f.setFileTime(longAgo, QFileDevice::FileModificationTime));
        }
        relaunch();
        EXPECT_EQ(list()->content().size(), says.isEmpty() ? 12u : 0u);
        for (QTableView* table : {table(), table(2)}) {
            const auto* view = static_cast<GameTableView*>(table);
            EXPECT_EQ(view->isPlaceholderShown(), !says.isEmpty());
            EXPECT_TRUE(view->placeholderText().contains(says))
                << view->placeholderText().toStdString();
        }
        if (meanwhile) {
            ASSERT_TRUE(writeFile(file, *meanwhile));
        }
        app->applicationWillTerminate();
        QStringList lines = desktop.systemLogLines();
        for (QString& line : lines)
            line = line.section(u':', 0, 0);
        EXPECT_EQ(lines, logged);
        const QFileInfo now(file);
        EXPECT_EQ(now.exists() ? std::optional(now.isFile() ? readFile(file) : fifo) : std::nullopt,
                  meanwhile ? meanwhile : content);
        if (content && content != fifo && !meanwhile) {
            EXPECT_EQ(now.lastModified(), longAgo) << "written again";
        }
    };
    check(std::nullopt, file, {notFound});
    check(std::nullopt, file, {notFound, leftAlone}, shipped);
    check(broken, file + ": line 2: ", {leftAlone});
    check(broken, file + ": line 2: ", {leftAlone}, mended);
    check(fifo, file, {leftAlone}); // would block in open() with no writer
    check(empty, "holds no games", {});
    check(shipped, QString(), {});
}

// Each save that replaces the list keeps the old file as a copy. A list that
// cannot be read offers the newest copy under the empty table, and Add Games
// waits for it; the restore keeps the damaged file and selects record 0. Game ▸
// Restore Game List… restores any copy, after saving the list in use.
TEST_F(Startup, AListThatCannotBeReadOffersTheLastGoodCopyBack) {
    const QByteArray shipped = readFile(listFile());
    relaunch();
    list()->removeObject(0);
    app->applicationWillTerminate();
    const QByteArray damaged = "<plist><array><dict>";
    ASSERT_TRUE(writeFile(listFile(), damaged));
    relaunch();
    auto* offer = table(2)->findChild<QPushButton*>(QStringLiteral("restoreButton"));
    ASSERT_NE(offer, nullptr);
    EXPECT_TRUE(offer->isVisibleTo(table(2)));
    EXPECT_TRUE(offer->text().contains(u"(12 games)")) << offer->text().toStdString();
    EXPECT_FALSE(action("addGames")->isEnabled());
    EXPECT_FALSE(action("removeGame")->toolTip().isEmpty());
    desktop.alertAnswers = {1};
    offer->click();
    EXPECT_EQ(readFile(listFile()), damaged);
    desktop.alertAnswers = {0};
    offer->click();
    EXPECT_EQ(list()->content().size(), 12u);
    EXPECT_EQ(app->selectionIndex(), 0);
    EXPECT_TRUE(action("addGames")->isEnabled());
    EXPECT_FALSE(offer->isVisibleTo(table(2)));
    EXPECT_FALSE(table(2)->isPlaceholderShown());
    EXPECT_EQ(readFile(listFile()), shipped);
    const QDir resources(bundle.resources());
    const QStringList aside = resources.entryList({QStringLiteral("Kaleidrome.damaged-*.xml")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(resources.filePath(aside[0])), damaged);

    list()->removeObject(0);
    list()->removeObject(0);
    desktop.clear();
    desktop.choiceAnswers = {0};
    desktop.alertAnswers = {0};
    action("restoreGameList")->trigger();
    ASSERT_EQ(desktop.choices.size(), 1);
    EXPECT_EQ(desktop.choices[0].items.size(), 1);
    EXPECT_EQ(list()->content().size(), 12u);
    const QStringList replaced = resources.entryList({QStringLiteral("Kaleidrome.replaced-*.xml")});
    ASSERT_EQ(replaced.size(), 1);
    EXPECT_EQ(countGameList(resources.filePath(replaced[0])), 10);
}

// A copy that cannot be made never stops the save: the log window and the
// system log say why, and no alert interrupts the Quit.
TEST_F(Startup, ACopyThatCannotBeMadeNeverStopsTheSave) {
    ASSERT_TRUE(QDir().mkpath(LauncherPaths::userDataFolder()));
    ASSERT_TRUE(writeFile(LauncherPaths::userDataFolder() + "/backups", "in the way"));
    relaunch();
    list()->removeObject(0);
    desktop.clear();
    app->applicationWillTerminate();
    EXPECT_EQ(countGameList(listFile()), 11);
    EXPECT_TRUE(log().contains(u"No copy was kept")) << log().toStdString();
    EXPECT_EQ(desktop.systemLogLines().filter(u"No copy kept").size(), 1);
    EXPECT_EQ(desktop.count("alert"), 0);
}

// Nothing selected, or a record without a usable name: a beep and nothing else,
// and the artwork falls back to the placeholders (or goes, with no selection).
TEST_F(Launching, NothingToStartOnlyBeeps) {
    ASSERT_TRUE(writeFile(listFile(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                      "<plist version=\"1.0\"><array>"
                                      "<dict><key>title</key><string>No name</string></dict>"
                                      "<dict><key>name</key><integer>7</integer></dict>"
                                      "<string>not a record</string></array></plist>\n"));
    relaunch();
    store->setObject(home.path(), keys::RomsPath);
    ASSERT_EQ(list()->content().size(), 3u);
    for (int row : {0, 1, 2, -1}) {
        desktop.clear();
        app->setSelectionIndex(row);
        app->start_game();
        EXPECT_EQ(desktop.callNames(), QStringList{"beep"}) << row;
        EXPECT_EQ(imageView()->sourcePath(), row < 0 ? "" : bundle.path("no_image.jpg"));
        EXPECT_EQ(iconView(2)->sourcePath(), row < 0 ? "" : bundle.path("no_icon.ico"));
    }
    EXPECT_TRUE(log().isEmpty());
}

// A name that climbs out of its folders is listed, but shows the placeholders
// and is refused, saying why, though a picture and an archive wait where it leads.
TEST_F(Launching, ANameThatLeavesItsFoldersIsShownButNeverUsed) {
    const QString name = "../Snaps/astrovex";
    ASSERT_TRUE(writeFile(listFile(), QByteArray("<?xml version=\"1.0\"?>\n<plist version=\"1.0\">"
                                                 "<array><dict><key>name</key><string>") +
                                          name.toUtf8() + "</string></dict></array></plist>\n"));
    ASSERT_TRUE(QFileInfo::exists(bundle.path("kdromepak/Snaps/astrovex.png")));
    ASSERT_TRUE(QDir().mkpath(home.filePath("roms")) &&
                writeFile(home.filePath("Snaps/astrovex.zip"), "zip"));
    relaunch();
    store->setObject(home.filePath("roms"), keys::RomsPath);
    app->setSelectionIndex(0);
    EXPECT_EQ(imageView()->sourcePath(), bundle.path("no_image.jpg"));
    desktop.clear();
    app->start_game();
    EXPECT_EQ(desktop.argsOf("alert"), (QList<QStringList>{{name + " cannot be started.",
                                                            app->text("Open_NameLeavesFolder")}}));
    EXPECT_EQ(desktop.count("beep"), 0);
    QTest::qWait(50);
    EXPECT_EQ(app->task(), nullptr);
}

// The form at a first start turns into exactly this argument list, read back
// from the emulator (the archive in the ROMs folder, one separator between, the
// blank kept). What each control adds: PreferencesForm.
TEST_F(Launching, TheFormAtAFirstStartBecomesTheArgumentList) {
    store->setObject(QString(home.path() + "/my roms/"), keys::RomsPath);
    app->setSelectionIndex(0);
    app->start_game();
    ASSERT_TRUE(bothEnds());
    const QString rom = home.path() + "/my roms/astrovex.zip";
    EXPECT_EQ(receivedArguments(),
              (QStringList{rom, "-ppc-frequency=50", "-gpu-multi-threaded", "-res=496,384",
                           "-fullscreen", "-no-multi-texture", "-crosshairs=0"}));
    EXPECT_TRUE(log().startsWith("\n===== "));
    EXPECT_TRUE(log().contains(" / Kaleidrome [Perform a lunch task] =====\n\n"));
    EXPECT_EQ(desktop.argsOf("recent"), QList<QStringList>{{rom}});
}

// One click selects, even where the style activates items on a single click;
// a double click, Return or Enter starts the game.
TEST_F(Launching, OnlyADoubleClickReturnOrEnterStartsAGame) {
    class ActivateOnSingleClick : public QProxyStyle {
    public:
        int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                      QStyleHintReturn* data) const override {
            return hint == SH_ItemView_ActivateItemOnSingleClick
                       ? 1
                       : QProxyStyle::styleHint(hint, option, widget, data);
        }
    } style;
    store->setObject(home.path(), keys::RomsPath);
    QTableView* games = table(2);
    games->setStyle(&style);
    app->window2()->show();
    const QPoint second = games->visualRect(games->model()->index(1, 0)).center();
    QTest::mouseClick(games->viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(app->selectionIndex(), 1);
    EXPECT_EQ(app->task(), nullptr);

    QTest::mouseDClick(games->viewport(), Qt::LeftButton, {}, second);
    ASSERT_TRUE(bothEnds());
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        const EmulatorProcess* before = app->task();
        QTest::keyClick(games, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_NE(app->task(), before);
        ASSERT_TRUE(bothEnds());
    }
    games->setStyle(nullptr);
}

TEST_F(Launching, AnEmptyRomsFieldOffersTheOpenPanel) {
    app->setSelectionIndex(0);
    desktop.openPanelAnswers = {std::nullopt};
    app->start_game();
    EXPECT_EQ(desktop.callNames(), (QStringList{"listApps", "raise", "openPanel"}));
    EXPECT_EQ(desktop.openPanels[0].allowedTypes, QStringList{"zip"});
    EXPECT_EQ(desktop.openPanels[0].prompt, app->text("Opanel_Prompt"));
    EXPECT_EQ(desktop.openPanels[0].startDirectory, QDir::homePath());
    EXPECT_TRUE(log().isEmpty());

    desktop.openPanelAnswers = {QStringLiteral("/picked/Some Game.zip")};
    app->start_game();
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(receivedArguments().value(0), "/picked/Some Game.zip");
}

// Starting a game while another runs asks first (Cancel the default and
// Escape's answer); confirmed, the running one is stopped. A stop asked for is
// no error: no alert, no beep; the log and the status line say so, the system
// log keeps the status.
// A game that fails while the user is elsewhere is told by the desktop, whose
// action brings the log forward; while a launcher window is active, the alert alone.
TEST_F(Launching, AGameFailingUnseenIsNotifiedAndItsActionShowsTheLog) {
    store->setObject(home.path(), keys::RomsPath);
    app->setSelectionIndex(0);
    for (const bool active : {false, true}) {
        SCOPED_TRACE(active);
        desktop.clear();
        if (active) {
            app->window()->activateWindow();
            ASSERT_TRUE(waitUntil([] { return QApplication::activeWindow() != nullptr; }));
        }
        ASSERT_EQ(QApplication::activeWindow() != nullptr, active);
        {
            ScopedEnv env("KD_DEMO_SCRIPT", "exit 3");
            app->start_game();
        }
        ASSERT_TRUE(bothEnds());
        EXPECT_EQ(alertsWithMessage("Alert_1"), 2);
        if (active) {
            EXPECT_EQ(desktop.count("notify"), 0);
            continue;
        }
        EXPECT_EQ(desktop.argsOf("notify"),
                  QList<QStringList>({{"Astrovex: Orbit Breaker ended with a failure",
                                       "Kaleidrome ended with status 3.", "Show Log"}}));
        ASSERT_FALSE(logWindow()->isVisible());
        desktop.notificationAction();
        EXPECT_TRUE(logWindow()->isVisible());
    }
}

TEST_F(Launching, StartingWhileAGameRunsAsksThenStopsItWithoutAnError) {
    store->setObject(home.path(), keys::RomsPath);
    app->setSelectionIndex(0);
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out old game\nrun");
        app->start_game();
    }
    ASSERT_TRUE(waitUntil([&] { return log().contains("old game"); }));
    EmulatorProcess* old = app->task();
    app->setSelectionIndex(1);
    app->start_game(); // unanswered: closed with Escape
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts[0].message,
              "Stop \u201cAstrovex: Orbit Breaker\u201d and start \u201cBolt Runner\u201d?");
    EXPECT_EQ(desktop.alerts[0].buttons, (QStringList{"Cancel", "Stop and Start"}));
    EXPECT_EQ(desktop.alerts[0].cancelButton, 0);
    EXPECT_EQ(desktop.alerts[0].defaultButton, 0);
    QTest::qWait(100);
    EXPECT_EQ(app->task(), old);
    EXPECT_TRUE(old->isRunning());

    desktop.alertAnswers = {1};
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out new game\nrun");
        app->start_game();
    }
    ASSERT_TRUE(waitUntil([&] { return log().contains("new game"); }));
    action("stopEmulator")->trigger();
    ASSERT_TRUE(bothEnds());
    ASSERT_TRUE(
        waitUntil([&] { return desktop.systemLogLines().count("Task terminate: Error 15") == 2; }));
    EXPECT_EQ(desktop.count("alert"), 2); // the two questions
    EXPECT_EQ(desktop.count("beep"), 0);
    const QString stopped =
        "\n*** Kaleidrome was stopped on request: killed by signal 15 (SIGTERM) ***\n";
    // The old run's end may come after the new run's first words.
    const QString text = log();
    const qsizetype secondHeader =
        text.indexOf("[Perform a lunch task]", text.indexOf("[Perform a lunch task]") + 1);
    EXPECT_LT(text.indexOf("old game"), secondHeader);
    EXPECT_LT(secondHeader, text.indexOf("new game"));
    EXPECT_EQ(text.count(stopped), 2);
    EXPECT_TRUE(text.endsWith(stopped)) << text.toStdString();
    EXPECT_FALSE(text.contains("exit status"));
    EXPECT_TRUE(statusLine()->text().startsWith(
        "Bolt Runner \u2014 stopped on request, killed by signal 15 (SIGTERM) \u2014 "));
}

// A command option runs and is waited for. While an emulator runs, Stop and
// Bring to Front are on, and a command option or a reset only beeps.
TEST_F(Launching, ACommandOptionRunsAndWaitsAndNothingElseStartsMeanwhile) {
    QAction* stop = action("stopEmulator");
    QAction* raise = action("showEmulator");
    QComboBox* command = popup("popup_command");
    command->setCurrentIndex(command->findText("-version"));
    emit command->activated(command->currentIndex());
    app->returnButtonAction();
    EXPECT_TRUE(log().contains(" / Command option [-version]\n\n"));
    EXPECT_TRUE(log().contains("Kaleidrome"));
    EXPECT_FALSE(in<ActivityIndicator>("preferencesWindow", "progressInd")->isAnimating());
    EXPECT_EQ(desktop.argsOf("sound"), QList<QStringList>{{"Pop"}});
    EXPECT_TRUE(logWindow()->isVisible());
    EXPECT_EQ(desktop.count("recent"), 0);
    EXPECT_FALSE(stop->isEnabled() || raise->isEnabled());

    app->ClearLogAction();
    box("button_showfps")->click();
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out busy\nrun");
        app->LaunchTask({});
    }
    EXPECT_TRUE(stop->isEnabled() && raise->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return log().contains("busy"); }));
    desktop.applications = {{"Kaleidrome Launcher", 1, 0}, {"Kaleidrome", 2, 0}};
    desktop.clear();
    raise->trigger();
    EXPECT_EQ(desktop.argsOf("raise"), (QList<QStringList>{{"Kaleidrome", "2"}}));
    desktop.clear();
    app->returnButtonAction();
    app->DefaultAction();
    app->resetPreferences(); // refused without a question
    EXPECT_EQ(desktop.callNames(), (QStringList{"beep", "beep", "beep"}));
    EXPECT_TRUE(box("button_showfps")->isChecked());
    EXPECT_EQ(log(), "busy\n");
    app->task()->kill();
    ASSERT_TRUE(waitUntil([&] { return app->task()->hasEnded(); }));
    EXPECT_FALSE(stop->isEnabled() || raise->isEnabled());
    // One that never started leaves them off.
    box("button_exe")->click();
    type(field("textfild_exe"), "/nowhere/Kaleidrome");
    app->LaunchTask({});
    EXPECT_FALSE(stop->isEnabled());
    // "Pop" confirms an option that ran, never one that could not start.
    desktop.clear();
    app->returnButtonAction();
    EXPECT_EQ(alertsWithMessage("Alert_StartFailed"), 1);
    EXPECT_EQ(desktop.count("sound"), 0);
}

// Snapshot and icon of the selected game, in both windows: the packaged folders
// while their boxes are on, else the fields' folders, candidates in order, then
// the placeholders. An empty folder field keeps that pair's pictures.
TEST_F(Startup, ArtworkFollowsTheSelection) {
    app->awakeFromNib();
    const QString snaps = home.filePath("snaps");
    const QString icons = home.filePath("icons");
    ASSERT_TRUE(QDir().mkpath(snaps) && QDir().mkpath(icons));
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (const char* file : {"snaps/astrovex.png", "snaps/astrovex.jpg", "snaps/boltrunner.jpg",
                             "snaps/cometkai.jpg", "icons/astrovex.ico", "icons/boltrunner.ico"})
        ASSERT_TRUE(picture.save(home.filePath(file))) << file;
    ASSERT_TRUE(writeFile(snaps + "/cometkai.png", "not a picture at all"));
    const QString noImage = bundle.path("no_image.jpg");
    const QString noIcon = bundle.path("no_icon.ico");
    // Selects `row` afresh: both windows show `snapshot` and `icon`.
    auto shows = [&](int row, const QString& snapshot, const QString& icon) {
        SCOPED_TRACE(row);
        app->setSelectionIndex(-1);
        app->setSelectionIndex(row);
        EXPECT_EQ(imageView()->sourcePath(), snapshot);
        EXPECT_EQ(imageView(2)->sourcePath(), snapshot);
        EXPECT_EQ(iconView()->sourcePath(), icon);
        EXPECT_EQ(iconView(2)->sourcePath(), icon);
        EXPECT_FALSE(imageView()->image().isNull());
        EXPECT_FALSE(iconView()->image().isNull());
    };
    shows(0, bundle.path("kdromepak/Snaps/astrovex.png"),
          bundle.path("kdromepak/Icons/astrovex.ico"));

    box("button_snapfolder")->click();
    box("button_Iconfolder")->click();
    type(field("textfild_snaps"), snaps);
    type(field("textfild_icons"), icons + "/"); // a trailing separator finds the same files
    shows(0, snaps + "/astrovex.png", icons + "/astrovex.ico");
    shows(1, snaps + "/boltrunner.jpg", icons + "/boltrunner.ico");
    shows(2, snaps + "/cometkai.jpg", noIcon);
    shows(3, noImage, noIcon);
    shows(0, snaps + "/astrovex.png", icons + "/astrovex.ico");
    type(field("textfild_snaps"), QString());
    app->setSelectionIndex(1);
    EXPECT_EQ(imageView()->sourcePath(), snaps + "/astrovex.png");
    EXPECT_EQ(iconView(2)->sourcePath(), icons + "/boltrunner.ico");
    // No game selected: no game's pictures, and the panel says why.
    auto* note = app->window2()->findChild<QLabel*>("noGameNote2");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isHidden());
    app->setSelectionIndex(-1);
    EXPECT_EQ(iconView(2)->sourcePath(), QString());
    EXPECT_TRUE(imageView()->image().isNull());
    EXPECT_FALSE(note->isHidden());
    EXPECT_EQ(note->text(), "No game selected");
}

using WorkspaceActions = DelegateFixture;

// What is there is handed to the desktop: the packaged places while their boxes
// are on, else the user's. What could not be opened is said, naming it: a place
// that is not set or not there is not handed on, and one the desktop refuses
// gets the same alert.
TEST_F(WorkspaceActions, OpenOrRevealOrSayWhatFailed) {
    const QString pak = bundle.path("kdromepak");
    const QString readme = pak + "/Docs/README.txt";
    const QString emu = home.filePath("emu");
    const QString roms = home.filePath("roms");
    const QString unplugged = home.filePath("unplugged/snaps");
    ASSERT_TRUE(writeFile(emu + "/Kaleidrome", "") && QDir().mkpath(roms));
    store->setObject(QString(emu + "/Kaleidrome"), keys::ExecutionPath);
    store->setObject(roms, keys::RomsPath);
    store->setObject(unplugged, keys::SnapPath);
    // Reveals the folder of tag `what`, or triggers the action of that name: the
    // desktop is asked for `call` (empty: nothing), and an alert for `reason`
    // names `named` (no reason: no alert).
    auto check = [&](auto what, const QString& call, const QString& named = {},
                     const char* reason = nullptr) {
        SCOPED_TRACE(QString(call + " " + named).toStdString());
        desktop.clear();
        if constexpr (std::is_same_v<decltype(what), int>)
            app->openFileSystemfolder(RevealTag(what));
        else
            action(what)->trigger();
        QStringList calls;
        for (const FakeDesktop::Call& made : desktop.calls)
            if (made.name != "alert")
                calls << made.name + ' ' + made.args.join('|');
        EXPECT_EQ(calls, call.isEmpty() ? QStringList() : QStringList{call});
        ASSERT_EQ(desktop.alerts.size(), reason ? 1 : 0);
        if (reason) {
            EXPECT_EQ(desktop.alerts[0].message,
                      named.isEmpty() ? app->text("Alert_NoPath")
                                      : formatText(app->text("Alert_OpenFailed"), 0, named));
            EXPECT_EQ(desktop.alerts[0].informativeText, app->text(reason));
        }
    };
    check(1, "reveal " + pak + "/Kaleidrome|" + pak);
    check(3, "reveal |" + pak + "/Snaps");
    check(4, "reveal |" + pak + "/Icons");
    check(2, "reveal |" + roms);
    check("emulatorFolder", "openPath " + pak);
    check("readme", "openPath " + readme);
    desktop.opens = false;
    const char* noOpener = "Alert_NoOpenerInfo";
    check("emulatorFolder", "openPath " + pak, pak, noOpener);
    check("homePage", "openUrl " + AppDelegate::HomePage, AppDelegate::HomePage, noOpener);
    check("projectPage", "openUrl " + AppDelegate::ProjectPage, AppDelegate::ProjectPage, noOpener);

    desktop.opens = true;
    box("button_exe")->click();
    box("button_snapfolder")->click();
    QFile::remove(readme);
    check(1, "reveal Kaleidrome|" + emu);
    ASSERT_TRUE(QFile::remove(emu + "/Kaleidrome")); // its folder stays
    check(1, "", emu + "/Kaleidrome", "Alert_NotThereInfo");
    check(3, "", unplugged, "Alert_NotThereInfo");
    check(4, "reveal |" + pak + "/Icons"); // its box is still on
    check("readme", "", readme, "Alert_NotThereInfo");
    check(5, "", "", "Alert_NoPathInfo");
}

} // namespace
} // namespace kd::test
