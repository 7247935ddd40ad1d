// Start-up order, the main windows, the game list's life, launch requests,
// selection artwork and the workspace actions.
#include "app/activityindicator.h"
#include "app/gametableview.h"
#include "app/imageview.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/plistreader.h"
#include "emulator/emulatorprocess.h"
#include "log/logview.h"
#include "settings/settingskeys.h"
#include "support/delegatefixture.h"
#include "support/runhelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QProxyStyle>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <sys/stat.h>
#include <unistd.h>

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
    EXPECT_FALSE(app->visible_prewindow);

    app->applicationDidFinishLaunching();
    EXPECT_TRUE(app->window->isVisible());
    EXPECT_FALSE(app->window2->isVisible());
    EXPECT_EQ(app->selectionIndex(), 0);
    EXPECT_EQ(app->selectedGameName(), "astrovex");
    EXPECT_EQ(app->textfild_exe->text(),
              "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Kaleidrome");
}

TEST_F(Startup, StartWindowChoosesTheMainWindow) {
    const QList<std::optional<qint64>> values{2, 1, 0, 3, std::nullopt};
    for (const std::optional<qint64>& value : values) {
        if (value)
            store->setObject(*value, keys::StartWindow);
        else
            store->removeObjectForKey(keys::StartWindow);
        store->synchronize();
        restart();
        app->applicationDidFinishLaunching();
        const bool second = value == 2;
        EXPECT_EQ(app->window2->isVisible(), second) << value.value_or(-1);
        EXPECT_EQ(app->window->isVisible(), !second) << value.value_or(-1);
    }
}

TEST_F(Startup, SwitchingStoresTheChoiceForTheNextStart) {
    app->applicationDidFinishLaunching();
    app->show_Mainwindow2();
    EXPECT_TRUE(app->window2->isVisible());
    EXPECT_FALSE(app->window->isVisible());
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 2);
    restart();
    app->applicationDidFinishLaunching();
    EXPECT_TRUE(app->window2->isVisible());

    // Both closed: the switch shows the chosen one and stores again.
    app->window2->close();
    app->show_Mainwindow();
    EXPECT_TRUE(app->window->isVisible());
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 1);
    app->show_Mainwindow();
    EXPECT_TRUE(app->window->isVisible());
    EXPECT_FALSE(app->window2->isVisible());
}

// Every window shown by the launcher comes back from the dock as it was left.
TEST_F(Startup, ShowingAWindowRestoresItFromMinimised) {
    app->awakeFromNib();
    const QList<std::pair<QWidget*, std::function<void()>>> shows{
        {app->window,
         [&] {
             app->show_Mainwindow();
         }},
        {app->window2,
         [&] {
             app->show_Mainwindow2();
         }},
        {app->logWindow,
         [&] {
             app->show_Logwindow();
         }},
        {app->preferencesWindow,
         [&] {
             app->action("preferences")->trigger();
         }},
    };
    for (const auto& [window, show] : shows) {
        SCOPED_TRACE(window->objectName().toStdString());
        window->showMaximized();
        window->showMinimized();
        show();
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->isMinimized());
        EXPECT_TRUE(window->isMaximized());
    }
}

// The two tables share one sort, and both headers show it.
TEST_F(Startup, BothTablesShowTheSharedSort) {
    app->awakeFromNib();
    QHeaderView* first = app->tableView_list->horizontalHeader();
    QHeaderView* second = app->tableView_list2->horizontalHeader();
    app->tableView_list->sortByColumn(1, Qt::DescendingOrder);
    EXPECT_EQ(second->sortIndicatorSection(), 1);
    EXPECT_EQ(second->sortIndicatorOrder(), Qt::DescendingOrder);
    app->tableView_list2->sortByColumn(2, Qt::AscendingOrder);
    EXPECT_EQ(first->sortIndicatorSection(), 2);
    EXPECT_EQ(first->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(app->arrayController_list->arrangedObjects().size(), 12u);
}

TEST_F(Startup, MissingGameListIsLoggedOnceAndNeverCreated) {
    const QByteArray shipped = readFile(bundle.path("Kaleidrome.xml"));
    ASSERT_TRUE(QFile::remove(bundle.path("Kaleidrome.xml")));
    app->awakeFromNib();
    EXPECT_EQ(desktop.systemLogLines().count("Kaleidrome.xml not found"), 1);
    app->applicationDidFinishLaunching();
    EXPECT_EQ(app->selectionIndex(), AppDelegate::NotFound);
    app->applicationWillTerminate();
    EXPECT_FALSE(QFile::exists(bundle.path("Kaleidrome.xml")));

    // A list put in place while the launcher runs (as the empty table asks)
    // is not replaced with the empty one in memory.
    restart();
    QFile::remove(bundle.path("Kaleidrome.xml"));
    app->awakeFromNib();
    ASSERT_TRUE(writeFile(bundle.path("Kaleidrome.xml"), shipped));
    app->applicationWillTerminate();
    EXPECT_EQ(readFile(bundle.path("Kaleidrome.xml")), shipped);
}

TEST_F(Startup, UnchangedListIsNotRewrittenAndASortedOneIsRewrittenInStoredOrder) {
    const QString file = bundle.path("Kaleidrome.xml");
    QFile::setPermissions(file, QFile::permissions(file) | QFile::WriteOwner);
    const QByteArray original = readFile(file);
    const QDateTime modified = QFileInfo(file).lastModified();
    app->awakeFromNib();
    app->applicationWillTerminate();
    EXPECT_EQ(readFile(file), original);
    EXPECT_EQ(QFileInfo(file).lastModified(), modified);

    restart();
    app->awakeFromNib();
    app->tableView_list->sortByColumn(0, Qt::DescendingOrder);
    app->applicationWillTerminate();
    const QByteArray rewritten = readFile(file);
    const plist::ReadResult reread = plist::read({rewritten.constData(), size_t(rewritten.size())});
    const plist::ReadResult first = plist::read({original.constData(), size_t(original.size())});
    ASSERT_TRUE(reread.value.has_value()) << reread.error.toStdString();
    ASSERT_TRUE(first.value.has_value());
    EXPECT_TRUE(*reread.value == *first.value); // same records, stored order
}

TEST_F(Startup, AFileThatIsNotAListIsLeftAlone) {
    const QByteArray broken = "<?xml version=\"1.0\"?><plist><array><dict><key>name";
    ASSERT_TRUE(writeFile(bundle.path("Kaleidrome.xml"), broken));
    app->awakeFromNib();
    EXPECT_TRUE(app->arrayController_list->content().empty());
    EXPECT_TRUE(desktop.systemLogLines().isEmpty());
    app->applicationWillTerminate();
    EXPECT_EQ(readFile(bundle.path("Kaleidrome.xml")), broken);
    EXPECT_EQ(desktop.systemLogLines().filter("left unchanged").size(), 1);

    // Mended while the launcher runs: still the user's, not the empty list's.
    restart();
    app->awakeFromNib();
    const QByteArray mended = "<plist version=\"1.0\"><array><dict><key>name</key>"
                              "<string>kitefall</string></dict></array></plist>";
    ASSERT_TRUE(writeFile(bundle.path("Kaleidrome.xml"), mended));
    app->applicationWillTerminate();
    EXPECT_EQ(readFile(bundle.path("Kaleidrome.xml")), mended);
}

TEST_F(Startup, AFifoInPlaceOfTheListDoesNotHoldTheLauncher) {
    const QString file = bundle.path("Kaleidrome.xml");
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    app->awakeFromNib(); // would block in open() on a FIFO with no writer
    EXPECT_TRUE(app->arrayController_list->content().empty());
    app->applicationWillTerminate();
    EXPECT_EQ(desktop.systemLogLines().filter("left unchanged").size(), 1);
    EXPECT_TRUE(QFileInfo(file).isFile() == false && QFileInfo::exists(file));
}

// A table that is empty because of its file says why, in both main windows.
TEST_F(Startup, AnEmptyTableSaysWhy) {
    const QString file = bundle.path("Kaleidrome.xml");
    const QByteArray shipped = readFile(file);
    const struct {
        std::optional<QByteArray> content; // nothing: no file
        QString says;                      // empty: no explanation shown
    } cases[] = {
        {std::nullopt, file},
        {"<?xml version=\"1.0\"?>\n<plist><array><dict><key>name", file + ": line 2: "},
        {"<plist version=\"1.0\"><array/></plist>", "holds no games"},
        {shipped, QString()},
    };
    for (const auto& c : cases) {
        QFile::remove(file);
        if (c.content) {
            ASSERT_TRUE(writeFile(file, *c.content));
        }
        restart();
        app->awakeFromNib();
        for (QTableView* table : {app->tableView_list, app->tableView_list2}) {
            const auto* view = static_cast<GameTableView*>(table);
            EXPECT_EQ(view->isPlaceholderShown(), !c.says.isEmpty()) << c.says.toStdString();
            EXPECT_TRUE(view->placeholderText().contains(c.says))
                << view->placeholderText().toStdString();
        }
    }
}

TEST_F(Launching, NothingSelectedBeepsAndWritesNothing) {
    app->setSelectionIndex(-1);
    app->start_game();
    EXPECT_EQ(desktop.callNames(), QStringList{"beep"});
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(Launching, TheSelectedGameRunsWithOneSeparatorAndBlanksIntact) {
    ScopedEnv argv("KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile));
    store->setObject(QStringLiteral("/my roms/"), keys::RomsPath);
    app->setSelectionIndex(2);
    app->start_game();
    ASSERT_TRUE(finished());
    const QStringList args = receivedArguments();
    ASSERT_FALSE(args.isEmpty());
    EXPECT_EQ(args[0], "/my roms/cometkai.zip");
    EXPECT_TRUE(log().startsWith("\n===== "));
    EXPECT_TRUE(log().contains(" / Kaleidrome [Perform a lunch task] =====\n\n"));
    EXPECT_EQ(desktop.argsOf("recent"), QList<QStringList>{{"/my roms/cometkai.zip"}});
}

// The form at a first start turns into exactly this argument list, read back
// from the emulator; then each control on its own changes its own argument.
TEST_F(Launching, TheFormBecomesTheArgumentListControlByControl) {
    ScopedEnv argv("KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile));
    store->setObject(home.path(), keys::RomsPath);
    app->setSelectionIndex(0);
    app->start_game();
    ASSERT_TRUE(finished());
    const QString rom = home.path() + "/astrovex.zip";
    const QStringList first{
        rom,           "-ppc-frequency=50", "-gpu-multi-threaded", "-res=496,384",
        "-fullscreen", "-no-multi-texture", "-crosshairs=0"};
    EXPECT_EQ(receivedArguments(), first);

    struct Change {
        std::function<void()> apply;
        QStringList expected;
    };
    auto with = [&](int at, const QString& argument) {
        QStringList list = first;
        list.insert(at, argument);
        return list;
    };
    auto replaced = [&](int at, const QString& argument) {
        QStringList list = first;
        list[at] = argument;
        return list;
    };
    const Change changes[] = {
        {[&] { app->textfild_ppcfreq->setText("66"); }, replaced(1, "-ppc-frequency=66")},
        {[&] { app->button_nothreads->click(); }, with(2, "-no-threads")},
        {[&] { app->button_gputhreads->click(); }, replaced(2, "-no-gpu-thread")},
        {[&] { app->textfild_resolution_x->setText("640"); }, replaced(3, "-res=640,384")},
        {[&] { app->textfild_resolution_y->setText("480"); }, replaced(3, "-res=496,480")},
        {[&] { app->popup_videomode->setCurrentIndex(1); }, replaced(4, "-window")},
        {[&] { app->button_widescreen->click(); }, with(5, "-wide-screen")},
        {[&] { app->button_multitexture->click(); }, replaced(5, "-multi-texture")},
        {[&] { app->button_throttle->click(); }, with(6, "-no-throttle")},
        {[&] { app->button_showfps->click(); }, with(6, "-show-fps")},
        {[&] { app->popup_crosshairs->setCurrentIndex(2); }, replaced(6, "-crosshairs=2")},
        {[&] { app->button_SoundEffects->click(); }, with(7, "-no-sound")},
        {[&] { app->button_MPEGmusic->click(); }, with(7, "-no-dsb")},
        {[&] { app->button_flipstereo->click(); }, with(7, "-flip-stereo")},
        // Fields the command line does not carry leave it alone.
        {[&] { app->textfild_sound->setText("7"); }, first},
        {[&] { app->popup_inputsys->setCurrentIndex(1); }, first},
        {[&] { app->button_feedback->click(); }, first},
    };
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        SCOPED_TRACE(i);
        app->DefaultAction();
        changes[i].apply();
        EXPECT_EQ(emulatorArguments({{"rom_name", rom}}, app->currentEmulatorForm()),
                  changes[i].expected);
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

    ScopedEnv argv("KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile));
    desktop.openPanelAnswers = {QStringLiteral("/picked/Some Game.zip")};
    app->start_game();
    ASSERT_TRUE(finished());
    EXPECT_EQ(receivedArguments().value(0), "/picked/Some Game.zip");
}

TEST_F(Launching, RecordsWithoutAUsableNameBeep) {
    const QByteArray list =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>"
        "<dict><key>title</key><string>No name</string></dict>"
        "<dict><key>name</key><integer>7</integer></dict>"
        "<string>not a record</string>"
        "</array></plist>\n";
    ASSERT_TRUE(writeFile(bundle.path("Kaleidrome.xml"), list));
    restart();
    app->awakeFromNib();
    store->setObject(home.path(), keys::RomsPath);
    ASSERT_EQ(app->arrayController_list->content().size(), 3u);
    for (int row = 0; row < 3; ++row) {
        desktop.clear();
        app->setSelectionIndex(row);
        app->start_game();
        EXPECT_EQ(desktop.callNames(), QStringList{"beep"}) << row;
        // Artwork falls back to the placeholders.
        EXPECT_EQ(app->imageView->sourcePath(), bundle.path("no_image.jpg"));
        EXPECT_EQ(app->iconView2->sourcePath(), bundle.path("no_icon.ico"));
    }
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

TEST_F(Launching, CommandOptionRunsAndWaits) {
    app->popup_command->setCurrentIndex(app->popup_command->findText("-version"));
    app->returnButtonAction();
    EXPECT_TRUE(log().contains(" / Command option [-version]\n\n"));
    EXPECT_TRUE(log().contains("Kaleidrome"));
    EXPECT_FALSE(app->progressInd->isAnimating());
    EXPECT_EQ(desktop.argsOf("sound"), QList<QStringList>{{"Pop"}});
    EXPECT_TRUE(app->logWindow->isVisible());
    EXPECT_EQ(desktop.count("recent"), 0);
}

TEST_F(Launching, CommandOptionWhileRunningOnlyBeeps) {
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out busy\nrun");
        app->LaunchTask({});
    }
    ASSERT_TRUE(waitUntil([&] { return log().contains("busy"); }));
    desktop.clear();
    app->returnButtonAction();
    EXPECT_EQ(desktop.callNames(), QStringList{"beep"});
    EXPECT_EQ(log(), "busy\n");
    app->task()->kill();
    ASSERT_TRUE(waitUntil([&] { return app->task()->hasEnded(); }));
}

class Artwork : public DelegateFixture {
protected:
    void SetUp() override {
        DelegateFixture::SetUp();
        app->awakeFromNib();
        snaps = home.filePath("snaps");
        icons = home.filePath("icons");
        QDir().mkpath(snaps);
        QDir().mkpath(icons);
    }
    static void writeImage(const QString& path, QColor color, const char* format) {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(path, format));
    }
    void useOwnFolders(const QString& snapText, const QString& iconText) {
        app->button_snapfolder->click();
        app->button_Iconfolder->click();
        app->textfild_snaps->setText(snapText);
        app->textfild_icons->setText(iconText);
    }
    void select(int row) {
        app->setSelectionIndex(-1);
        app->setSelectionIndex(row);
    }
    QString snaps;
    QString icons;
};

TEST_F(Artwork, CandidatesInOrderThenPlaceholdersInBothWindows) {
    writeImage(snaps + "/astrovex.png", Qt::red, "PNG");
    writeImage(snaps + "/astrovex.jpg", Qt::blue, "JPG");
    writeImage(snaps + "/boltrunner.jpg", Qt::green, "JPG");
    ASSERT_TRUE(writeFile(snaps + "/cometkai.png", "not a picture at all"));
    writeImage(snaps + "/cometkai.jpg", Qt::yellow, "JPG");
    writeImage(icons + "/astrovex.ico", Qt::cyan, "ICO");
    useOwnFolders(snaps, icons + "/"); // a trailing separator finds the same files

    const struct {
        int row;
        QString snapshot;
        QString icon;
    } cases[] = {
        {0, snaps + "/astrovex.png", icons + "/astrovex.ico"},
        {1, snaps + "/boltrunner.jpg", bundle.path("no_icon.ico")},
        {2, snaps + "/cometkai.jpg", bundle.path("no_icon.ico")},
        {3, bundle.path("no_image.jpg"), bundle.path("no_icon.ico")},
    };
    for (const auto& c : cases) {
        select(c.row);
        EXPECT_EQ(app->imageView->sourcePath(), c.snapshot) << c.row;
        EXPECT_EQ(app->imageView2->sourcePath(), c.snapshot) << c.row;
        EXPECT_EQ(app->iconView->sourcePath(), c.icon) << c.row;
        EXPECT_EQ(app->iconView2->sourcePath(), c.icon) << c.row;
        EXPECT_FALSE(app->imageView->image().isNull()) << c.row;
        EXPECT_FALSE(app->iconView->image().isNull()) << c.row;
    }
}

TEST_F(Artwork, AnEmptyFolderFieldKeepsThatPairsPictures) {
    writeImage(snaps + "/astrovex.png", Qt::red, "PNG");
    writeImage(icons + "/boltrunner.ico", Qt::cyan, "ICO");
    useOwnFolders(snaps, icons);
    select(0);
    app->textfild_snaps->setText(QString());
    select(1);
    EXPECT_EQ(app->imageView->sourcePath(), snaps + "/astrovex.png");
    EXPECT_EQ(app->iconView->sourcePath(), icons + "/boltrunner.ico");
    // Clearing the selection changes nothing.
    app->setSelectionIndex(-1);
    EXPECT_EQ(app->iconView2->sourcePath(), icons + "/boltrunner.ico");
}

TEST_F(Artwork, PackagedFoldersIgnoreTheFields) {
    app->textfild_snaps->setText(snaps);
    select(0);
    EXPECT_TRUE(app->imageView->sourcePath().startsWith(bundle.path("kdromepak/Snaps/")) ||
                app->imageView->sourcePath() == bundle.path("no_image.jpg"));
}

class WorkspaceActions : public DelegateFixture {};

TEST_F(WorkspaceActions, RevealsByTag) {
    QPushButton button;
    auto reveal = [&](int tag) {
        desktop.clear();
        AppDelegate::setTag(&button, tag);
        app->openFileSystemfolder(&button);
        EXPECT_EQ(desktop.count("alert"), 0) << tag;
        return desktop.argsOf("reveal").value(0);
    };
    const QString exe = bundle.path("kdromepak/Kaleidrome");
    EXPECT_EQ(reveal(1), (QStringList{exe, bundle.path("kdromepak")}));
    EXPECT_EQ(reveal(3), (QStringList{"", bundle.path("kdromepak/Snaps")}));
    EXPECT_EQ(reveal(4), (QStringList{"", bundle.path("kdromepak/Icons")}));

    const QString emu = home.filePath("emu");
    const QString roms = home.filePath("roms");
    const QString snaps = home.filePath("snaps");
    ASSERT_TRUE(writeFile(emu + "/Kaleidrome", "") && QDir().mkpath(roms) && QDir().mkpath(snaps));
    store->setObject(QString(emu + "/Kaleidrome"), keys::ExecutionPath);
    store->setObject(roms, keys::RomsPath);
    store->setObject(snaps, keys::SnapPath);
    app->button_exe->click();
    app->button_snapfolder->click();
    EXPECT_EQ(reveal(1), (QStringList{"Kaleidrome", emu}));
    EXPECT_EQ(reveal(2), (QStringList{"", roms}));
    EXPECT_EQ(reveal(3), (QStringList{"", snaps}));
}

TEST_F(WorkspaceActions, OpensFoldersDocumentsAndPages) {
    app->openCurrent();
    app->openDoc();
    app->openURL();
    app->openURL2();
    EXPECT_EQ(desktop.argsOf("openPath"),
              (QList<QStringList>{{bundle.path("kdromepak")},
                                  {bundle.path("kdromepak/Docs/README.txt")}}));
    const QList<QStringList> urls = desktop.argsOf("openUrl");
    ASSERT_EQ(urls.size(), 2);
    for (const QStringList& url : urls)
        EXPECT_TRUE(url[0].contains(".example.")) << url[0].toStdString();
    EXPECT_NE(urls[0], urls[1]);
    EXPECT_EQ(desktop.count("alert"), 0);
}

// What could not be opened is said, naming it: a place that is not set or not
// there is not handed on, and one the desktop refuses gets the same alert.
TEST_F(WorkspaceActions, FailuresAreAlertsThatNameWhatFailed) {
    QPushButton romsButton;
    AppDelegate::setTag(&romsButton, 2);
    QPushButton noPathButton;
    AppDelegate::setTag(&noPathButton, 5);
    const QString unplugged = home.filePath("unplugged/roms");
    store->setObject(unplugged, keys::RomsPath);
    const QString readme = bundle.path("kdromepak/Docs/README.txt");
    struct Case {
        std::function<void()> act;
        bool desktopOpens;
        QString named;
        const char* reason;
    };
    const Case cases[] = {
        {[&] { app->openFileSystemfolder(&romsButton); }, true, unplugged, "Alert_NotThereInfo"},
        {[&] { app->openFileSystemfolder(&noPathButton); }, true, "", "Alert_NoPathInfo"},
        {[&] {
             QFile::remove(readme);
             app->openDoc();
         },
         true, readme, "Alert_NotThereInfo"},
        {[&] { app->openCurrent(); }, false, bundle.path("kdromepak"), "Alert_NoOpenerInfo"},
        {[&] { app->openURL(); }, false, AppDelegate::HomePage, "Alert_NoOpenerInfo"},
        {[&] { app->openURL2(); }, false, AppDelegate::ProjectPage, "Alert_NoOpenerInfo"},
    };
    for (const Case& c : cases) {
        desktop.clear();
        desktop.opens = c.desktopOpens;
        c.act();
        SCOPED_TRACE(c.named.toStdString());
        ASSERT_EQ(desktop.alerts.size(), 1);
        EXPECT_EQ(desktop.alerts[0].message,
                  c.named.isEmpty() ? app->text("Alert_NoPath")
                                    : formatText(app->text("Alert_OpenFailed"), 0, c.named));
        EXPECT_EQ(desktop.alerts[0].informativeText, app->text(c.reason));
        // Only a place that is there is handed to the desktop.
        EXPECT_EQ(desktop.calls.size(), c.desktopOpens ? 1 : 2);
    }
}

} // namespace
} // namespace kd::test
