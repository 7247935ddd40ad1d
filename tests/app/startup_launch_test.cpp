// Start-up order, the main windows, the game list's life, launch requests,
// selection artwork and the workspace actions.
#include "app/activityindicator.h"
#include "app/gametableview.h"
#include "app/imageview.h"
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
                    .arg(app->arrayController_list->content().size())
                    .arg(app->window->isVisible() || app->window2->isVisible() ? "shown" : "none");
    };
    app->awakeFromNib();
    EXPECT_EQ(seen, (QStringList{app->text("Install_1") + " list=0 windows=none",
                                 app->text("Alert_2") + " list=0 windows=none"}));
    // Escape and the close box answer with the button that does nothing.
    EXPECT_EQ(desktop.alerts.value(0).buttons.value(desktop.alerts.value(0).cancelButton),
              app->text("Button_2"));
    EXPECT_EQ(app->arrayController_list->content().size(), 12u);

    app->applicationDidFinishLaunching();
    EXPECT_TRUE(app->window->isVisible());
    EXPECT_FALSE(app->window2->isVisible());
    EXPECT_EQ(app->selectedGameName(), "astrovex");
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
        EXPECT_EQ(app->window2->isVisible(), value == 2) << value.value_or(-1);
        EXPECT_EQ(app->window->isVisible(), value != 2) << value.value_or(-1);
    }
    app->show_Mainwindow2();
    EXPECT_FALSE(app->window->isVisible());
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 2);
    restart();
    app->applicationDidFinishLaunching();
    EXPECT_TRUE(app->window2->isVisible());

    app->window2->showMinimized();
    app->applicationShouldHandleReopen({});
    EXPECT_TRUE(app->window2->isVisible());
    EXPECT_FALSE(app->window2->isMinimized());
    EXPECT_FALSE(app->window->isVisible());
    // None shown: main window 1, whatever was chosen.
    app->window2->close();
    app->applicationShouldHandleReopen({});
    EXPECT_TRUE(app->window->isVisible());
    EXPECT_FALSE(app->window2->isVisible());
    EXPECT_EQ(app->task(), nullptr);

    // Both closed: the switch shows the chosen one and stores again.
    app->window->close();
    app->show_Mainwindow();
    EXPECT_TRUE(app->window->isVisible());
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 1);
}

// Every window shown by the launcher comes back from the dock as it was left.
TEST_F(Startup, ShowingAWindowRestoresItFromMinimised) {
    app->awakeFromNib();
    const std::pair<QWidget*, const char*> shows[] = {{app->window, "mainWindow1"},
                                                      {app->window2, "mainWindow2"},
                                                      {app->logWindow, "showLog"},
                                                      {app->preferencesWindow, "preferences"}};
    for (const auto& [window, action] : shows) {
        SCOPED_TRACE(action);
        window->showMaximized();
        window->showMinimized();
        app->action(action)->trigger();
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->isMinimized());
        EXPECT_TRUE(window->isMaximized());
    }
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
    const struct {
        std::optional<QByteArray> content;   // nothing: no file
        QString says;                        // empty: the table shows games
        QStringList logged;                  // the system log's lines, up to their colon
        std::optional<QByteArray> meanwhile; // put in place while the launcher runs
    } cases[] = {
        {std::nullopt, file, {notFound}, std::nullopt},
        {std::nullopt, file, {notFound, leftAlone}, shipped},
        {broken, file + ": line 2: ", {leftAlone}, std::nullopt},
        {broken, file + ": line 2: ", {leftAlone}, mended},
        {fifo, file, {leftAlone}, std::nullopt}, // would block in open() with no writer
        {empty, "holds no games", {}, std::nullopt},
        {shipped, QString(), {}, std::nullopt},
    };
    const QDateTime longAgo = QDateTime::fromSecsSinceEpoch(1'000'000'000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.value_or("(none)").left(20).toStdString());
        QFile::remove(file);
        if (c.content == fifo) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else if (c.content) {
            ASSERT_TRUE(writeFile(file, *c.content));
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                        f.setFileTime(longAgo, QFileDevice::FileModificationTime));
        }
        relaunch();
        EXPECT_EQ(app->arrayController_list->content().size(), c.says.isEmpty() ? 12u : 0u);
        for (QTableView* table : {app->tableView_list, app->tableView_list2}) {
            const auto* view = static_cast<GameTableView*>(table);
            EXPECT_EQ(view->isPlaceholderShown(), !c.says.isEmpty());
            EXPECT_TRUE(view->placeholderText().contains(c.says))
                << view->placeholderText().toStdString();
        }
        if (c.meanwhile) {
            ASSERT_TRUE(writeFile(file, *c.meanwhile));
        }
        app->applicationWillTerminate();
        QStringList logged = desktop.systemLogLines();
        for (QString& line : logged)
            line = line.section(u':', 0, 0);
        EXPECT_EQ(logged, c.logged);
        const QFileInfo now(file);
        EXPECT_EQ(now.exists() ? std::optional(now.isFile() ? readFile(file) : fifo) : std::nullopt,
                  c.meanwhile ? c.meanwhile : c.content);
        if (c.content && c.content != fifo && !c.meanwhile) {
            EXPECT_EQ(now.lastModified(), longAgo) << "written again";
        }
    }
}

// Nothing selected, or a record without a usable name: a beep and nothing else,
// and the artwork falls back to the placeholders.
TEST_F(Launching, NothingToStartOnlyBeeps) {
    ASSERT_TRUE(writeFile(listFile(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                      "<plist version=\"1.0\"><array>"
                                      "<dict><key>title</key><string>No name</string></dict>"
                                      "<dict><key>name</key><integer>7</integer></dict>"
                                      "<string>not a record</string></array></plist>\n"));
    relaunch();
    store->setObject(home.path(), keys::RomsPath);
    ASSERT_EQ(app->arrayController_list->content().size(), 3u);
    for (int row : {0, 1, 2, -1}) {
        desktop.clear();
        app->setSelectionIndex(row);
        app->start_game();
        EXPECT_EQ(desktop.callNames(), QStringList{"beep"}) << row;
        EXPECT_EQ(app->imageView->sourcePath(), bundle.path("no_image.jpg"));
        EXPECT_EQ(app->iconView2->sourcePath(), bundle.path("no_icon.ico"));
    }
    EXPECT_TRUE(log().isEmpty());
}

// The form at a first start turns into exactly this argument list, read back
// from the emulator (the archive in the ROMs folder, one separator between, the
// blank kept); then each control on its own changes its own argument.
TEST_F(Launching, TheFormBecomesTheArgumentListControlByControl) {
    store->setObject(QString(home.path() + "/my roms/"), keys::RomsPath);
    app->setSelectionIndex(0);
    app->start_game();
    ASSERT_TRUE(finished());
    const QString rom = home.path() + "/my roms/astrovex.zip";
    const QStringList first{
        rom,           "-ppc-frequency=50", "-gpu-multi-threaded", "-res=496,384",
        "-fullscreen", "-no-multi-texture", "-crosshairs=0"};
    EXPECT_EQ(receivedArguments(), first);
    EXPECT_TRUE(log().startsWith("\n===== "));
    EXPECT_TRUE(log().contains(" / Kaleidrome [Perform a lunch task] =====\n\n"));
    EXPECT_EQ(desktop.argsOf("recent"), QList<QStringList>{{rom}});

    // Each change puts its argument in at `at` (+) or in place of the one there (=).
    const struct {
        std::function<void()> apply;
        int at;
        char how;
        const char* argument;
    } changes[] = {
        {[&] { app->textfild_ppcfreq->setText("66"); }, 1, '=', "-ppc-frequency=66"},
        {[&] { app->button_nothreads->click(); }, 2, '+', "-no-threads"},
        {[&] { app->button_gputhreads->click(); }, 2, '=', "-no-gpu-thread"},
        {[&] { app->textfild_resolution_x->setText("640"); }, 3, '=', "-res=640,384"},
        {[&] { app->textfild_resolution_y->setText("480"); }, 3, '=', "-res=496,480"},
        {[&] { app->popup_videomode->setCurrentIndex(1); }, 4, '=', "-window"},
        {[&] { app->button_widescreen->click(); }, 5, '+', "-wide-screen"},
        {[&] { app->button_multitexture->click(); }, 5, '=', "-multi-texture"},
        {[&] { app->button_throttle->click(); }, 6, '+', "-no-throttle"},
        {[&] { app->button_showfps->click(); }, 6, '+', "-show-fps"},
        {[&] { app->popup_crosshairs->setCurrentIndex(2); }, 6, '=', "-crosshairs=2"},
        {[&] { app->button_SoundEffects->click(); }, 7, '+', "-no-sound"},
        {[&] { app->button_MPEGmusic->click(); }, 7, '+', "-no-dsb"},
        {[&] { app->button_flipstereo->click(); }, 7, '+', "-flip-stereo"},
        // Fields the command line does not carry leave it alone.
        {[&] { app->textfild_sound->setText("7"); }, 0, '=', nullptr},
        {[&] { app->popup_inputsys->setCurrentIndex(1); }, 0, '=', nullptr},
        {[&] { app->button_feedback->click(); }, 0, '=', nullptr},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.argument ? c.argument : "(none)");
        app->DefaultAction();
        c.apply();
        QStringList expected = first;
        if (c.how == '+')
            expected.insert(c.at, c.argument);
        else if (c.argument)
            expected[c.at] = c.argument;
        EXPECT_EQ(emulatorArguments({{"rom_name", rom}}, app->currentEmulatorForm()), expected);
    }
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
    QTableView* table = app->tableView_list2;
    table->setStyle(&style);
    app->window2->show();
    const QPoint second = table->visualRect(table->model()->index(1, 0)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(app->selectionIndex(), 1);
    EXPECT_EQ(app->task(), nullptr);

    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, second);
    ASSERT_TRUE(finished());
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        const EmulatorProcess* before = app->task();
        QTest::keyClick(table, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_NE(app->task(), before);
        ASSERT_TRUE(finished());
    }
    EXPECT_EQ(desktop.count("recent"), 3);
    table->setStyle(nullptr);
}

TEST_F(Launching, AnEmptyRomsFieldOffersTheOpenPanel) {
    app->setSelectionIndex(0);
    desktop.openPanelAnswers = {std::nullopt};
    app->start_game();
    EXPECT_EQ(desktop.callNames(), (QStringList{"listApps", "raise", "openPanel"}));
    EXPECT_EQ(desktop.openPanels[0].allowedTypes, QStringList{"zip"});
    EXPECT_EQ(desktop.openPanels[0].prompt, app->text("Opanel_Prompt"));
    EXPECT_TRUE(log().isEmpty());

    desktop.openPanelAnswers = {QStringLiteral("/picked/Some Game.zip")};
    app->start_game();
    ASSERT_TRUE(finished());
    EXPECT_EQ(receivedArguments().value(0), "/picked/Some Game.zip");
}

TEST_F(Launching, StartingWhileAGameRunsStopsItFirst) {
    store->setObject(home.path(), keys::RomsPath);
    app->setSelectionIndex(0);
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out old game\nrun");
        app->start_game();
    }
    ASSERT_TRUE(waitUntil([&] { return log().contains("old game"); }));
    EmulatorProcess* old = app->task();
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out new game\nexit 0");
        app->start_game();
    }
    ASSERT_TRUE(finished());
    ASSERT_TRUE(
        waitUntil([&] { return desktop.systemLogLines().contains("Task terminate: Error 15"); }));
    const QString text = log();
    const qsizetype oldAt = text.indexOf("old game");
    const qsizetype secondHeader =
        text.indexOf("[Perform a lunch task]", text.indexOf("[Perform a lunch task]") + 1);
    EXPECT_LT(oldAt, secondHeader);
    EXPECT_LT(secondHeader, text.indexOf("new game"));
    EXPECT_NE(old, app->task());
}

// A command option runs and is waited for. While an emulator runs, Stop and
// Bring to Front are on, and a command option or a reset only beeps.
TEST_F(Launching, ACommandOptionRunsAndWaitsAndNothingElseStartsMeanwhile) {
    QAction* stop = app->action("stopEmulator");
    QAction* raise = app->action("showEmulator");
    app->popup_command->setCurrentIndex(app->popup_command->findText("-version"));
    app->returnButtonAction();
    EXPECT_TRUE(log().contains(" / Command option [-version]\n\n"));
    EXPECT_TRUE(log().contains("Kaleidrome"));
    EXPECT_FALSE(app->progressInd->isAnimating());
    EXPECT_EQ(desktop.argsOf("sound"), QList<QStringList>{{"Pop"}});
    EXPECT_TRUE(app->logWindow->isVisible());
    EXPECT_EQ(desktop.count("recent"), 0);
    EXPECT_FALSE(stop->isEnabled() || raise->isEnabled());

    app->ClearLogAction();
    app->button_showfps->click();
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out busy\nrun");
        app->LaunchTask({});
    }
    EXPECT_TRUE(stop->isEnabled() && raise->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return log().contains("busy"); }));
    desktop.clear();
    app->returnButtonAction();
    app->DefaultAction();
    app->resetPreferences(); // refused without a question
    EXPECT_EQ(desktop.callNames(), (QStringList{"beep", "beep", "beep"}));
    EXPECT_TRUE(app->button_showfps->isChecked());
    EXPECT_EQ(log(), "busy\n");
    app->task()->kill();
    ASSERT_TRUE(waitUntil([&] { return app->task()->hasEnded(); }));
    EXPECT_FALSE(stop->isEnabled() || raise->isEnabled());
    // One that never started leaves them off.
    app->button_exe->click();
    app->textfild_exe->setText("/nowhere/Kaleidrome");
    app->LaunchTask({});
    EXPECT_FALSE(stop->isEnabled());
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
    auto select = [&](int row) {
        app->setSelectionIndex(-1);
        app->setSelectionIndex(row);
    };
    app->textfild_snaps->setText(snaps);
    select(0);
    EXPECT_EQ(app->imageView->sourcePath(), bundle.path("kdromepak/Snaps/astrovex.png"));
    EXPECT_EQ(app->iconView->sourcePath(), bundle.path("kdromepak/Icons/astrovex.ico"));

    app->button_snapfolder->click();
    app->button_Iconfolder->click();
    app->textfild_snaps->setText(snaps);
    app->textfild_icons->setText(icons + "/"); // a trailing separator finds the same files
    const struct {
        int row;
        QString snapshot;
        QString icon;
    } cases[] = {
        {0, snaps + "/astrovex.png", icons + "/astrovex.ico"},
        {1, snaps + "/boltrunner.jpg", icons + "/boltrunner.ico"},
        {2, snaps + "/cometkai.jpg", bundle.path("no_icon.ico")},
        {3, bundle.path("no_image.jpg"), bundle.path("no_icon.ico")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        select(c.row);
        EXPECT_EQ(app->imageView->sourcePath(), c.snapshot);
        EXPECT_EQ(app->imageView2->sourcePath(), c.snapshot);
        EXPECT_EQ(app->iconView->sourcePath(), c.icon);
        EXPECT_EQ(app->iconView2->sourcePath(), c.icon);
        EXPECT_FALSE(app->imageView->image().isNull());
        EXPECT_FALSE(app->iconView->image().isNull());
    }
    select(0);
    app->textfild_snaps->setText(QString());
    select(1);
    EXPECT_EQ(app->imageView->sourcePath(), snaps + "/astrovex.png");
    EXPECT_EQ(app->iconView->sourcePath(), icons + "/boltrunner.ico");
    // Clearing the selection changes nothing.
    app->setSelectionIndex(-1);
    EXPECT_EQ(app->iconView2->sourcePath(), icons + "/boltrunner.ico");
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
    const QString snaps = home.filePath("snaps");
    const QString unplugged = home.filePath("unplugged/icons");
    ASSERT_TRUE(writeFile(emu + "/Kaleidrome", "") && QDir().mkpath(roms) && QDir().mkpath(snaps));
    store->setObject(QString(emu + "/Kaleidrome"), keys::ExecutionPath);
    store->setObject(roms, keys::RomsPath);
    store->setObject(snaps, keys::SnapPath);
    store->setObject(unplugged, keys::IconPath);
    auto trigger = [&](const char* name) {
        return [this, name] {
            app->action(name)->trigger();
        };
    };
    auto reveal = [&](int tag) {
        return [this, tag] {
            app->openFileSystemfolder(tagged(tag));
        };
    };
    const char* noOpener = "Alert_NoOpenerInfo";
    struct Case {
        std::function<void()> act;
        bool desktopOpens;
        QString call;       // what the desktop was asked; empty: nothing
        QString named;      // what the alert names
        const char* reason; // null: no alert
    };
    const Case cases[] = {
        {reveal(1), true, "reveal " + pak + "/Kaleidrome|" + pak, "", nullptr},
        {reveal(3), true, "reveal |" + pak + "/Snaps", "", nullptr},
        {reveal(4), true, "reveal |" + pak + "/Icons", "", nullptr},
        {reveal(2), true, "reveal |" + roms, "", nullptr},
        {trigger("emulatorFolder"), true, "openPath " + pak, "", nullptr},
        {trigger("readme"), true, "openPath " + readme, "", nullptr},
        {trigger("emulatorFolder"), false, "openPath " + pak, pak, noOpener},
        {trigger("homePage"), false, "openUrl " + AppDelegate::HomePage, AppDelegate::HomePage,
         noOpener},
        {trigger("projectPage"), false, "openUrl " + AppDelegate::ProjectPage,
         AppDelegate::ProjectPage, noOpener},
        {[&] {
             for (QCheckBox* box :
                  {app->button_exe, app->button_snapfolder, app->button_Iconfolder})
                 box->click();
             QFile::remove(readme);
             app->openFileSystemfolder(tagged(1));
         },
         true, "reveal Kaleidrome|" + emu, "", nullptr},
        {reveal(3), true, "reveal |" + snaps, "", nullptr},
        {reveal(4), true, "", unplugged, "Alert_NotThereInfo"},
        {trigger("readme"), true, "", readme, "Alert_NotThereInfo"},
        {reveal(5), true, "", "", "Alert_NoPathInfo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString(c.call + " " + c.named).toStdString());
        desktop.clear();
        desktop.opens = c.desktopOpens;
        c.act();
        QStringList calls;
        for (const FakeDesktop::Call& call : desktop.calls)
            if (call.name != "alert")
                calls << call.name + ' ' + call.args.join('|');
        EXPECT_EQ(calls, c.call.isEmpty() ? QStringList() : QStringList{c.call});
        ASSERT_EQ(desktop.alerts.size(), c.reason ? 1 : 0);
        if (c.reason) {
            EXPECT_EQ(desktop.alerts[0].message,
                      c.named.isEmpty() ? app->text("Alert_NoPath")
                                        : formatText(app->text("Alert_OpenFailed"), 0, c.named));
            EXPECT_EQ(desktop.alerts[0].informativeText, app->text(c.reason));
        }
    }
}

} // namespace
} // namespace kd::test
