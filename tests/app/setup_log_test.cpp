// Start-up checks, choosers, the reset, and the log window's operations.
#include "app/windows/activityindicator.h"
#include "log/view/logfindbar.h"
#include "support/delegatefixture.h"

#include <QApplication>
#include <QSignalSpy>

namespace kd::test {
namespace {

using SetupChecks = DelegateFixture;
using LogWindow = DelegateFixture;

TEST_F(SetupChecks, RomsFolderAlertUnlessAFolderIsStored) {
    const QString plainFile = bundle.path("kdromepak/Docs/README.txt");
    const std::optional<QString> missing[] = {std::nullopt, QString(), plainFile,
                                              bundle.path("no such folder")};
    for (const std::optional<QString>& value : missing) {
        SCOPED_TRACE(value.value_or("(unset)").toStdString());
        desktop.clear();
        if (value)
            store->setObject(*value, keys::RomsPath);
        else
            store->removeObjectForKey(keys::RomsPath);
        app->check_romsfolder();
        // A folder that was set and is not there is named, under its own headline.
        const bool unset = value.value_or(QString()).isEmpty();
        const QStringList said =
            unset ? QStringList{app->text("Alert_2"), app->text("Alert_5")}
                  : QStringList{app->text("Alert_2_NotFound"),
                                formatText(app->text("Alert_5_NotFound"), 0, *value)};
        EXPECT_EQ(desktop.argsOf("alert"), QList<QStringList>{said});
        EXPECT_EQ(desktop.alerts.value(0).buttons,
                  (QStringList{app->text("Button_4"), app->text("Button_2")}));
        EXPECT_EQ(desktop.alerts.value(0).cancelButton, 1); // Escape answers "Cancel"
        EXPECT_EQ(desktop.alerts.value(0).style, AlertStyle::Warning);
        EXPECT_EQ(desktop.count("openPanel"), 0); // declined: nothing more
    }
    desktop.clear();
    store->setObject(bundle.path("kdromepak/"), keys::RomsPath);
    app->check_romsfolder();
    EXPECT_TRUE(desktop.calls.isEmpty());

    // Choosing from the alert stores whatever was chosen.
    desktop.alertAnswers = {0};
    desktop.openPanelAnswers = {QStringLiteral("/not/even/there")};
    store->removeObjectForKey(keys::RomsPath);
    app->check_romsfolder();
    EXPECT_EQ(store->stringForKey(keys::RomsPath).value_or(QString()), "/not/even/there");
    EXPECT_EQ(desktop.count("alert"), 1);
    ASSERT_EQ(desktop.openPanels.size(), 1);
    EXPECT_TRUE(desktop.openPanels[0].chooseDirectories);
    EXPECT_FALSE(desktop.openPanels[0].chooseFiles);
    EXPECT_EQ(desktop.openPanels[0].prompt, app->text("Button_4"));
}

TEST_F(SetupChecks, MissingEmulatorAlertOffersTheFileChooser) {
    desktop.alertAnswers = {0};
    desktop.openPanelAnswers = {std::nullopt}; // cancelled: nothing changes
    app->display_Alert_exe();
    EXPECT_TRUE(box("button_exe")->isChecked());
    EXPECT_FALSE(store->stringForKey(keys::ExecutionPath).has_value());
    EXPECT_EQ(desktop.alerts.value(0).message, app->text("Install_1"));
    EXPECT_EQ(desktop.alerts.value(0).buttons,
              (QStringList{app->text("Button_4"), app->text("Button_2")}));
    EXPECT_EQ(desktop.alerts.value(0).style, AlertStyle::Warning);

    desktop.alertAnswers = {0};
    desktop.openPanelAnswers = {QStringLiteral("/opt/emu/Kaleidrome")};
    app->display_Alert_exe(); // (what the field then shows: Windows.PackagedFields…)
    EXPECT_EQ(store->stringForKey(keys::ExecutionPath), "/opt/emu/Kaleidrome");

    desktop.alertAnswers = {1};
    desktop.clear();
    app->display_Alert_exe();
    EXPECT_EQ(desktop.callNames(), QStringList{"alert"});
}

// A chooser's tag decides the key it stores what was chosen in, and where its
// panel opens: where the path it replaces is, or the nearest folder above it
// that is still there; never in the process's working folder.
TEST_F(SetupChecks, ChoosersStoreByTagAndStartWhereTheUsersFilesAre) {
    const QString emu = home.filePath("emu");
    const QString roms = home.filePath("my %20 roms"); // survives the URL round trip
    ASSERT_TRUE(QDir().mkpath(emu) && QDir().mkpath(roms));
    // With `stored` under `key`, the chooser of that tag opens its panel at
    // `start` and stores what was chosen under `key` (null: nowhere).
    auto choose = [&](int tag, bool folder, const QString& key, const QString& stored = {},
                      const QString& start = {}) {
        SCOPED_TRACE(testing::Message() << "tag " << tag << (folder ? " folder" : " file"));
        for (const SettingKey& setting : settingKeys())
            store->removeObjectForKey(QString::fromLatin1(setting.name));
        desktop.clear();
        if (!key.isEmpty())
            store->setObject(stored, key);
        const QString chosen = QStringLiteral("/chosen/%1").arg(tag);
        desktop.openPanelAnswers = {chosen};
        if (!key.isEmpty()) { // through the preferences window's own button
            auto* button =
                in<QPushButton>("preferencesWindow", QStringLiteral("button_choose%1").arg(tag));
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), "Choose…");
            button->click();
        } else {
            folder ? app->Choicethefolder(ChooserTag(tag)) : app->Choicethefile(ChooserTag(tag));
        }
        ASSERT_EQ(desktop.openPanels.size(), 1);
        EXPECT_EQ(desktop.openPanels[0].chooseDirectories, folder);
        if (!key.isEmpty()) {
            EXPECT_EQ(desktop.openPanels[0].startDirectory, start);
        }
        QStringList storedUnder;
        for (const SettingKey& setting : settingKeys())
            if (store->stringForKey(QString::fromLatin1(setting.name)) == chosen)
                storedUnder << QString::fromLatin1(setting.name);
        EXPECT_EQ(storedUnder, key.isEmpty() ? QStringList() : QStringList{key});
    };
    // (Every tag's key and the nearest folder: SettingsCore.ChoosersFill….)
    choose(1, false, keys::ExecutionPath, emu + "/Kaleidrome", emu);
    choose(5, false, keys::VertexShader, "", QDir::homePath());
    choose(2, true, keys::RomsPath, roms, roms);
    choose(3, true, keys::SnapPath, "/", QDir::homePath());
    for (const auto& [tag, folder] : {std::pair{3, false}, {1, true}, {7, true}, {0, false}})
        choose(tag, folder, QString());

    // Open ROM starts in the ROMs folder (or at home when there is none:
    // Launching.AnEmptyRomsFieldOffersTheOpenPanel).
    desktop.clear();
    type(field("textfild_roms"), roms);
    app->openROMfile();
    EXPECT_EQ(desktop.openPanels.value(0).startDirectory, roms);
}

// The reset button and menu item ask first: Cancel, the default and Escape's
// answer, changes nothing; Reset brings every control and key back to its
// initial value, empties the settings file and replaces the log.
TEST_F(SetupChecks, TheResetAsksFirstThenRestoresEverything) {
    auto* button = preferencesWindow()->findChild<QPushButton*>("button_reset");
    ASSERT_NE(button, nullptr);
    const std::function<void()> presses[] = {[&] { button->click(); },
                                             [&] {
                                                 action("resetPreferences")->trigger();
                                             }};
    for (const auto& press : presses) {
        QTest::keyClicks(field("textfild_resolution_x"), "0");
        box("button_exe")->click();
        box("button_showfps")->click();
        box("button_snapfolder")->click();
        box("button_Iconfolder")->click();
        app->appendOutput("old output\n");
        desktop.clear();
        desktop.alertAnswers = {-1, 0, 1};
        press();
        press();
        EXPECT_TRUE(box("button_showfps")->isChecked());
        EXPECT_EQ(desktop.callNames(), (QStringList{"alert", "alert"}));
        const AlertRequest& question = desktop.alerts.value(0);
        EXPECT_EQ(question.buttons,
                  (QStringList{app->text("Button_2"), app->text("Button_Reset")}));
        EXPECT_EQ(question.cancelButton, 0);

        // Made visible, whether or not its window is shown.
        EventCounter indicatorShown(in<ActivityIndicator>("preferencesWindow", "progressInd"),
                                    QEvent::ShowToParent);
        press();
        EXPECT_EQ(indicatorShown.count, 1); // it turned while the reset ran
        EXPECT_EQ(log(), app->text("preferences_ini"));
        EXPECT_EQ(field("textfild_resolution_x")->text(), "496");
        EXPECT_FALSE(box("button_showfps")->isChecked());
        // (The packaged places' boxes are on again, their fields read-only:
        // Windows.PackagedFieldsAreReadOnlyWhileTheirBoxIsOn.)
        EXPECT_EQ(settingsLines(settingsPath()), QStringList());
        EXPECT_FALSE(in<ActivityIndicator>("preferencesWindow", "progressInd")->isAnimating());
        EXPECT_EQ(desktop.argsOf("sound"), QList<QStringList>{{"Tink"}});
    }
}

// The log window's buttons do what its menu items do.
TEST_F(LogWindow, ItsButtonsTriggerTheirMenuItems) {
    const QList<QPushButton*> buttons = logWindow()->findChildren<QPushButton*>();
    for (const auto& [title, name] : {std::pair{"&Marker", "marker"},
                                      {"&Clear", "clearLog"},
                                      {"&Find…", "findInLog"},
                                      {"&Save…", "saveLog"}}) {
        QSignalSpy triggered(action(name), &QAction::triggered);
        for (QPushButton* button : buttons)
            if (button->text() == title)
                button->click();
        EXPECT_EQ(triggered.size(), 1) << title;
    }
}

// Ctrl+S saves and Ctrl+F finds in the log window; neither belongs to the main windows.
TEST_F(LogWindow, SaveAndFindHaveTheUsualKeysInTheLogWindowOnly) {
    app->appendOutput("frame 1\n");
    for (QWidget* target : {static_cast<QWidget*>(app->window()), logWindow()}) {
        target->show();
        QApplication::setActiveWindow(target);
        QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_F, Qt::ControlModifier);
    }
    EXPECT_EQ(desktop.callNames(), QStringList{"savePanel"});
    EXPECT_TRUE(in<LogFindBar>("logWindow", "logFindBar")->isVisible());
    EXPECT_TRUE(in<LogFindBar>("logWindow", "logFindBar")->field()->hasFocus());
}

// An empty log only beeps; a failed save is reported and writes nothing; a
// saved file holds the text as it is when the panel closes, and the next
// launcher's panel opens where it went.
TEST_F(LogWindow, SavingTheLog) {
    app->LogTimeStamp();
    app->ClearLogAction();
    app->saveLogAction();
    EXPECT_EQ(desktop.callNames(), QStringList{"beep"});

    app->appendOutput(QString::fromUtf8("Spiel gestartet: Sch\u00f6ne Gr\u00fc\u00dfe \u2603\n"));
    desktop.clear();
    desktop.savePanelAnswers = {home.filePath("missing folder/log.txt"), std::nullopt};
    app->saveLogAction();
    EXPECT_EQ(desktop.count("alert"), 1);
    EXPECT_FALSE(QFile::exists(home.filePath("missing folder/log.txt")));
    desktop.clear();
    app->saveLogAction(); // cancelled: nothing
    EXPECT_EQ(desktop.callNames(), QStringList{"savePanel"});

    const QString target = home.filePath("logs/saved log.txt");
    ASSERT_TRUE(writeFile(target, "an older file"));
    desktop.savePanelAnswers = {target};
    desktop.whileModal = [this](const QString&) {
        app->appendOutput("arrived meanwhile\n");
    };
    app->saveLogAction();
    ASSERT_EQ(desktop.savePanels.size(), 2);
    EXPECT_EQ(desktop.savePanels[1].suggestedName, "Log info");
    EXPECT_EQ(desktop.savePanels[1].allowedTypes, QStringList{"txt"});
    const QByteArray saved = readFile(target);
    EXPECT_EQ(saved, log().toUtf8()); // what arrived meanwhile too, and no byte-order mark

    desktop.whileModal = nullptr;
    restart();
    app->appendOutput("text\n");
    app->saveLogAction();
    ASSERT_EQ(desktop.savePanels.size(), 1);
    EXPECT_EQ(desktop.savePanels[0].startDirectory, home.filePath("logs"));
}

// A marker starts on its own line; many appends end scrolled to the end.
TEST_F(LogWindow, AMarkerStartsOnItsOwnLineAndAppendsEndScrolledToTheEnd) {
    app->appendOutput("unfinished");
    app->LogTimeStamp();
    EXPECT_TRUE(log().startsWith("unfinished\n----- "));
    EXPECT_TRUE(log().endsWith("  [Marker] -----\n"));
    logWindow()->show();
    for (int i = 0; i < 5000; ++i)
        app->appendOutput(QStringLiteral("line %1 of a long emulator log\n").arg(i));
    EXPECT_FALSE(logView()->isEndVisible()); // the scroll is deferred
    QCoreApplication::processEvents();
    EXPECT_TRUE(logView()->isEndVisible());
}

} // namespace
} // namespace kd::test
