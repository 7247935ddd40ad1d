// Start-up checks, choosers, the reset, and the log window's operations.
#include "app/activityindicator.h"
#include "emulator/emulatorprocess.h"
#include "log/logfindbar.h"
#include "log/logview.h"
#include "settings/settingskeys.h"
#include "support/delegatefixture.h"
#include "support/runhelpers.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QWidget>
#include <sys/stat.h>

namespace kd::test {
namespace {

using SetupChecks = DelegateFixture;
using LogWindow = DelegateFixture;

TEST_F(SetupChecks, RomsFolderAlertUnlessAFolderIsStored) {
    const QString plainFile = bundle.path("kdromepak/Docs/README.txt");
    const QList<std::optional<QString>> missing{std::nullopt, QString(), plainFile,
                                                bundle.path("no such folder")};
    for (const std::optional<QString>& value : missing) {
        desktop.clear();
        if (value)
            store->setObject(*value, keys::RomsPath);
        else
            store->removeObjectForKey(keys::RomsPath);
        app->check_romsfolder();
        ASSERT_EQ(desktop.alerts.size(), 1) << value.value_or("(unset)").toStdString();
        EXPECT_EQ(desktop.alerts[0].message, app->text("Alert_2"));
        // A folder that was set and is not there is named.
        if (value.value_or(QString()).isEmpty())
            EXPECT_EQ(desktop.alerts[0].informativeText, app->text("Alert_5"));
        else
            EXPECT_EQ(desktop.alerts[0].informativeText,
                      formatText(app->text("Alert_5_NotFound"), 0, *value));
        EXPECT_EQ(desktop.alerts[0].buttons,
                  (QStringList{app->text("Button_4"), app->text("Button_2")}));
        EXPECT_EQ(desktop.alerts[0].cancelButton, 1); // Escape answers "Cancel"
        EXPECT_EQ(desktop.count("openPanel"), 0);     // declined: nothing more
    }
    desktop.clear();
    store->setObject(bundle.path("kdromepak"), keys::RomsPath);
    app->check_romsfolder();
    EXPECT_TRUE(desktop.calls.isEmpty());
}

TEST_F(SetupChecks, ChoosingTheRomsFolderFromTheAlertStoresWhateverWasChosen) {
    desktop.alertAnswers = {0};
    desktop.openPanelAnswers = {QStringLiteral("/not/even/there")};
    app->check_romsfolder();
    EXPECT_EQ(store->stringForKey(keys::RomsPath).value_or(QString()), "/not/even/there");
    EXPECT_EQ(app->textfild_roms->text(), "/not/even/there");
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
    EXPECT_TRUE(app->button_exe->isChecked());
    EXPECT_FALSE(store->stringForKey(keys::ExecutionPath).has_value());
    EXPECT_EQ(desktop.alerts.value(0).message, app->text("Install_1"));

    desktop.alertAnswers = {0};
    desktop.openPanelAnswers = {QStringLiteral("/opt/emu/Kaleidrome")};
    app->display_Alert_exe();
    EXPECT_FALSE(app->button_exe->isChecked());
    EXPECT_EQ(store->objectForKey(keys::Button_packege1)->toBool(), false);
    EXPECT_EQ(app->textfild_exe->text(), "/opt/emu/Kaleidrome");
    EXPECT_EQ(app->pathOfExecFile(), "/opt/emu/Kaleidrome");

    desktop.alertAnswers = {1};
    desktop.clear();
    app->display_Alert_exe();
    EXPECT_EQ(desktop.callNames(), QStringList{"alert"});
}

TEST_F(SetupChecks, ChooserTagsDecideTheKey) {
    struct Case {
        int tag;
        bool folder;
        const char* key; // null: nothing is stored
    };
    const Case cases[] = {{1, false, keys::ExecutionPath},
                          {5, false, keys::VertexShader},
                          {6, false, keys::FragmentShader},
                          {2, true, keys::RomsPath},
                          {3, true, keys::SnapPath},
                          {4, true, keys::IconPath},
                          {3, false, nullptr},
                          {1, true, nullptr},
                          {7, true, nullptr},
                          {0, false, nullptr}};
    for (const Case& c : cases) {
        app->defaults().revertToInitialValues();
        desktop.clear();
        QPushButton button;
        AppDelegate::setTag(&button, c.tag);
        const QString chosen = QStringLiteral("/chosen/%1").arg(c.tag);
        desktop.openPanelAnswers = {chosen};
        c.folder ? app->Choicethefolder(&button) : app->Choicethefile(&button);
        QStringList stored;
        for (const SettingKey& key : settingKeys())
            if (store->stringForKey(key.name) == chosen)
                stored << key.name;
        EXPECT_EQ(stored, c.key ? QStringList{c.key} : QStringList()) << "tag " << c.tag;
        EXPECT_EQ(desktop.count("openPanel"), 1);
    }
}

// Panels open where the path they replace is, or the nearest folder above it
// that is still there; never in the process's working folder.
TEST_F(SetupChecks, PanelsStartWhereTheUsersFilesAre) {
    const QString emu = home.filePath("emu");
    const QString roms = home.filePath("my %20 roms"); // survives the URL round trip
    ASSERT_TRUE(QDir().mkpath(emu) && QDir().mkpath(roms));
    struct Case {
        const char* key;
        QString stored;
        int tag;
        bool folder;
        QString start;
    };
    const Case cases[] = {
        {keys::ExecutionPath, QString(emu + "/Kaleidrome"), 1, false, emu},
        {keys::RomsPath, roms, 2, true, roms},
        {keys::RomsPath, home.filePath("unplugged/roms"), 2, true, home.path()},
        {keys::VertexShader, QString(), 5, false, QDir::homePath()},
        {keys::SnapPath, "/", 3, true, QDir::homePath()},
    };
    for (const Case& c : cases) {
        desktop.clear();
        store->setObject(c.stored, c.key);
        QPushButton button;
        AppDelegate::setTag(&button, c.tag);
        c.folder ? app->Choicethefolder(&button) : app->Choicethefile(&button);
        EXPECT_EQ(desktop.openPanels.value(0).startDirectory, c.start) << c.key << " " << c.tag;
    }

    desktop.clear();
    app->textfild_roms->setText(roms);
    app->openROMfile();
    app->textfild_roms->setText(QString());
    app->openROMfile();
    EXPECT_EQ(desktop.openPanels.value(0).startDirectory, roms);
    EXPECT_EQ(desktop.openPanels.value(1).startDirectory, QDir::homePath());

    // A log is saved where the last one went.
    app->appendOutput("text\n");
    desktop.savePanelAnswers = {emu + "/run.txt"};
    app->saveLogAction();
    restart();
    app->appendOutput("text\n");
    app->saveLogAction();
    ASSERT_EQ(desktop.savePanels.size(), 1);
    EXPECT_EQ(desktop.savePanels[0].startDirectory, emu);
}

TEST_F(SetupChecks, ResetRestoresEverythingAndReplacesTheLog) {
    app->button_exe->click();
    app->button_snapfolder->click();
    store->setObject(QStringLiteral("/my/snaps"), keys::SnapPath);
    app->PackagePath_ini();
    app->appendOutput("old output\n");
    app->DefaultAction();
    EXPECT_EQ(app->infomationTextView->text(), app->text("preferences_ini"));
    EXPECT_TRUE(app->button_exe->isChecked());
    EXPECT_TRUE(app->button_snapfolder->isChecked());
    EXPECT_EQ(app->textfild_snaps->text(),
              "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Snaps");
    EXPECT_FALSE(app->progressInd->isAnimating());
    EXPECT_EQ(desktop.argsOf("sound"), QList<QStringList>{{"Tink"}});
}

// The reset button and menu item ask first: Cancel, the default and Escape's
// answer, changes nothing; Reset runs the reset.
TEST_F(SetupChecks, TheResetControlsAskFirst) {
    auto* button = app->preferencesWindow->findChild<QPushButton*>("button_reset");
    ASSERT_NE(button, nullptr);
    const std::function<void()> presses[] = {[&] { button->click(); },
                                             [&] {
                                                 app->action("resetPreferences")->trigger();
                                             }};
    for (const auto& press : presses) {
        app->button_showfps->click();
        desktop.clear();
        desktop.alertAnswers = {-1, 0, 1};
        press();
        press();
        EXPECT_TRUE(app->button_showfps->isChecked());
        EXPECT_EQ(desktop.callNames(), (QStringList{"alert", "alert"}));
        const AlertRequest& question = desktop.alerts.value(0);
        EXPECT_EQ(question.buttons,
                  (QStringList{app->text("Button_2"), app->text("Button_Reset")}));
        EXPECT_EQ(question.cancelButton, 0);
        press();
        EXPECT_FALSE(app->button_showfps->isChecked());
        EXPECT_EQ(desktop.argsOf("sound"), QList<QStringList>{{"Tink"}});
    }
}

TEST_F(SetupChecks, ResetWhileTheEmulatorRunsOnlyBeeps) {
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out running\nrun");
        app->LaunchTask({});
    }
    ASSERT_TRUE(waitUntil([&] { return app->infomationTextView->text().contains("running"); }));
    app->button_showfps->click();
    desktop.clear();
    app->DefaultAction();
    app->resetPreferences(); // refused without a question
    EXPECT_EQ(desktop.callNames(), (QStringList{"beep", "beep"}));
    EXPECT_TRUE(app->button_showfps->isChecked());
    EXPECT_EQ(app->infomationTextView->text(), "running\n");
    app->task()->kill();
    ASSERT_TRUE(waitUntil([&] { return app->task()->hasEnded(); }));
}

TEST_F(LogWindow, MarkersAndHeadersStartOnTheirOwnLine) {
    app->appendOutput("unfinished");
    app->LogTimeStamp();
    const QString text = app->infomationTextView->text();
    EXPECT_TRUE(text.startsWith("unfinished\n----- "));
    EXPECT_TRUE(text.endsWith("  [Marker] -----\n"));
    app->timestamp({{"type", 1}, {"poster", "-list-games"}});
    EXPECT_TRUE(app->infomationTextView->text().endsWith(" / Command option [-list-games]\n\n"));
}

TEST_F(LogWindow, SavingAnEmptyLogOnlyBeeps) {
    app->LogTimeStamp();
    app->ClearLogAction();
    app->saveLogAction();
    EXPECT_EQ(desktop.callNames(), QStringList{"beep"});
}

// Ctrl+S saves and Ctrl+F finds in the log window; neither belongs to the main windows.
TEST_F(LogWindow, SaveAndFindHaveTheUsualKeysInTheLogWindowOnly) {
    app->appendOutput("frame 1\n");
    for (QWidget* target : {static_cast<QWidget*>(app->window), app->logWindow}) {
        target->show();
        QApplication::setActiveWindow(target);
        QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_F, Qt::ControlModifier);
    }
    EXPECT_EQ(desktop.callNames(), QStringList{"savePanel"});
    EXPECT_TRUE(app->logFindBar->isVisible());
    EXPECT_TRUE(app->logFindBar->field()->hasFocus());
}

TEST_F(LogWindow, SavedFileHoldsTheTextAsItIsWhenThePanelCloses) {
    const QString target = home.filePath("saved log.txt");
    ASSERT_TRUE(writeFile(target, "an older file"));
    app->appendOutput(QString::fromUtf8("Spiel gestartet: Sch\u00f6ne Gr\u00fc\u00dfe \u2603\n"));
    desktop.savePanelAnswers = {target};
    desktop.whileModal = [this](const QString&) {
        app->appendOutput("arrived meanwhile\n");
    };
    app->saveLogAction();
    ASSERT_EQ(desktop.savePanels.size(), 1);
    EXPECT_EQ(desktop.savePanels[0].suggestedName, "Log info");
    EXPECT_EQ(desktop.savePanels[0].allowedTypes, QStringList{"txt"});
    const QByteArray saved = readFile(target);
    EXPECT_EQ(saved, app->infomationTextView->text().toUtf8());
    EXPECT_TRUE(saved.endsWith("arrived meanwhile\n"));
    EXPECT_FALSE(saved.startsWith("\xEF\xBB\xBF"));
}

TEST_F(LogWindow, AFailedSaveIsReportedAndKeepsTheOldFile) {
    app->appendOutput("text\n");
    desktop.savePanelAnswers = {home.filePath("missing folder/log.txt")};
    app->saveLogAction();
    EXPECT_EQ(desktop.count("alert"), 1);
    EXPECT_FALSE(QFile::exists(home.filePath("missing folder/log.txt")));
    desktop.clear();
    app->saveLogAction(); // cancelled: nothing
    EXPECT_EQ(desktop.callNames(), QStringList{"savePanel"});
}

TEST_F(LogWindow, ManyAppendsEndScrolledToTheEnd) {
    app->logWindow->show();
    for (int i = 0; i < 5000; ++i)
        app->appendOutput(QStringLiteral("line %1 of a long emulator log\n").arg(i));
    EXPECT_FALSE(app->infomationTextView->isEndVisible()); // the scroll is deferred
    QCoreApplication::processEvents();
    EXPECT_TRUE(app->infomationTextView->isEndVisible());
}

} // namespace
} // namespace kd::test
