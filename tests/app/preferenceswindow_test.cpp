// The preferences window on its own: the form as stored and shown, what it
// hands a game run, and what its buttons ask for.
#include "support/delegatefixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace kd::test {
namespace {

class PreferencesForm : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    // A new window on the settings file as it is now, as after a restart.
    void open() {
        window.reset();
        defaults.reset();
        store = std::make_unique<SettingsStore>(file);
        defaults = std::make_unique<DefaultsController>(*store);
        AppDelegate::initialize(*defaults, *store);
        paths = std::make_unique<LauncherPaths>(*defaults, QStringLiteral("/b/Resources"));
        window = std::make_unique<PreferencesWindow>(*defaults, *paths);
    }
    QStringList arguments() const { return emulatorArguments({}, window->emulatorForm()); }

    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("settings.conf"));
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<DefaultsController> defaults;
    std::unique_ptr<LauncherPaths> paths;
    std::unique_ptr<PreferencesWindow> window;
};

// A first start shows the initial values and stores nothing; the user's edits
// are stored at once, in each key's sense, and come back after a restart.
TEST_F(PreferencesForm, FirstStartStoresNothingAndEditsAreStoredAtOnce) {
    const std::pair<const char*, const char*> fields[] = {
        {"textfild_ppcfreq", "50"}, {"textfild_resolution_x", "496"},
        {"textfild_sound", "100"},  {"textfild_balance", "0"},
        {"textfild_roms", ""},      {"textfild_frag", ""}};
    for (const auto& [name, text] : fields)
        EXPECT_EQ(field(name)->text(), text) << name;
    for (const char* name : {"button_exe", "button_snapfolder", "button_Iconfolder"})
        EXPECT_TRUE(box(name)->isChecked()) << name;
    // The four boxes whose option negates their key all start off.
    for (const char* name :
         {"button_nothreads", "button_throttle", "button_SoundEffects", "button_MPEGmusic"})
        EXPECT_FALSE(box(name)->isChecked()) << name;
    for (const char* name : {"popup_videomode", "popup_inputsys", "popup_command"})
        EXPECT_EQ(popup(name)->currentIndex(), 0) << name;
    EXPECT_EQ(settingsLines(file), QStringList());

    field("textfild_ppcfreq")->selectAll();
    QTest::keyClicks(field("textfild_ppcfreq"), "66");
    box("button_widescreen")->click();
    box("button_nothreads")->click(); // shows MultiThreaded inverted
    popup("popup_crosshairs")->setCurrentIndex(2);
    emit popup("popup_crosshairs")->activated(2);
    // In the file before the window closes; keys never touched are not written,
    // so they keep following their initial value.
    EXPECT_EQ(settingsLines(file), (QStringList{"CrosshairsConfig=2", "MultiThreaded=false",
                                                "PowerPCFrequency=66", "Widescreen=true"}));
    open();
    EXPECT_EQ(field("textfild_ppcfreq")->text(), "66");
    EXPECT_TRUE(box("button_widescreen")->isChecked());
    EXPECT_TRUE(box("button_nothreads")->isChecked());
    EXPECT_EQ(popup("popup_crosshairs")->currentIndex(), 2);
}

// Each box stores its own key in the key's sense and, while on, puts its
// option on the command line; a value stored by anyone shows in its control at
// once. A pop-up's pick reaches the command line the same way.
TEST_F(PreferencesForm, ControlsAndTheirKeysFollowEachOther) {
    const std::tuple<const char*, BoolKey, bool, const char*> boxes[] = {
        {"button_exe", keys::Button_packege1, true, ""},
        {"button_snapfolder", keys::Button_packege2, true, ""},
        {"button_Iconfolder", keys::Button_packege3, true, ""},
        {"button_nothreads", keys::MultiThreaded, false, "-no-threads"},
        {"button_gputhreads", keys::GPUmultithreaded, true, "-gpu-multi-threaded"},
        {"button_widescreen", keys::Widescreen, true, "-wide-screen"},
        {"button_multitexture", keys::Multitexture, true, "-multi-texture"},
        {"button_throttle", keys::Nothrottle, false, "-no-throttle"},
        {"button_showfps", keys::ShowFPS, true, "-show-fps"},
        {"button_SoundEffects", keys::SoundEffects, true, "-no-sound"},
        {"button_MPEGmusic", keys::MPEGmusic, true, "-no-dsb"},
        {"button_flipstereo", keys::SwapChannels, true, "-flip-stereo"},
        {"button_feedback", keys::ForceFeedback, true, ""}};
    for (const auto& [name, key, storedWhenOn, option] : boxes) {
        SCOPED_TRACE(name);
        QCheckBox* box = test::box(name);
        if (box->isChecked())
            box->click();
        box->click();
        ASSERT_TRUE(box->isChecked());
        EXPECT_EQ(store->value(key), storedWhenOn);
        EXPECT_EQ(arguments().contains(option), *option != '\0');
        store->setObject(!storedWhenOn, key);
        EXPECT_FALSE(box->isChecked());
        EXPECT_FALSE(arguments().contains(option));
    }
    for (const auto& [name, index] : {std::pair{"popup_videomode", 1}, {"popup_crosshairs", 2}}) {
        popup(name)->setCurrentIndex(index);
        emit popup(name)->activated(index);
    }
    EXPECT_TRUE(arguments().contains("-window") && arguments().contains("-crosshairs=2"));
    store->setObject(QStringLiteral("/games/roms"), keys::RomsPath);
    EXPECT_EQ(field("textfild_roms")->text(), "/games/roms");
    store->setObject(4, keys::CommandOption);
    EXPECT_EQ(popup("popup_command")->currentIndex(), 4);
    EXPECT_EQ(window->selectedCommandOption(), QStringLiteral("-print-inputs"));
}

// What a game run passes on is read from the settings: a pop-up index it has no
// item for selects nothing, a value of the wrong kind is the initial one.
TEST_F(PreferencesForm, TheFormOfARunIsReadFromTheSettings) {
    EXPECT_EQ(arguments(), (QStringList{"-ppc-frequency=50", "-gpu-multi-threaded", "-res=496,384",
                                        "-fullscreen", "-no-multi-texture", "-crosshairs=0"}));
    store->setObject(false, keys::MultiThreaded);
    store->setObject(false, keys::Nothrottle);
    store->setObject(true, keys::SoundEffects);
    store->setObject(QStringLiteral("garbage"), keys::GPUmultithreaded);
    store->setObject(7, keys::CrosshairsConfig);
    store->setObject(-2, keys::Videomode);
    store->setObject(9, keys::CommandOption);
    EXPECT_EQ(arguments(), (QStringList{"-ppc-frequency=50", "-no-threads", "-gpu-multi-threaded",
                                        "-res=496,384", "-window", "-no-multi-texture",
                                        "-no-throttle", "-crosshairs=-1", "-no-sound"}));
    EXPECT_EQ(popup("popup_crosshairs")->currentIndex(), -1);
    EXPECT_FALSE(window->selectedCommandOption().has_value());
}

// A number field keeps what is typed, stores it and passes it as it stands;
// what the emulator would not accept is said under the field, with the range.
TEST_F(PreferencesForm, NumberFieldsKeepWhatIsTypedAndSayWhatIsWrong) {
    const std::tuple<const char*, const char*, const char*, const char*> typing[] = {
        {"textfild_ppcfreq", "66.5", "PowerPCFrequency", "Not a whole number"},
        {"textfild_resolution_x", "9000", "ResolutionX", "Out of range"},
        {"textfild_resolution_y", "4 80", "ResolutionY", "from 1 to 8192"},
        {"textfild_sound", "200", "VolumeSoundeffects", ""},
        {"textfild_music", "-1", "VolumeMPEGmusic", "from 0 to 200"},
        {"textfild_balance", "-100", "RelativeBalance", ""},
        {"textfild_balance", "", "RelativeBalance", "Empty"}};
    for (const auto& [name, typed, key, problem] : typing) {
        SCOPED_TRACE(name);
        field(name)->clear();
        QTest::keyClicks(field(name), typed);
        if (!*typed) { // emptied by the user
            QTest::keyClick(field(name), Qt::Key_5);
            QTest::keyClick(field(name), Qt::Key_Backspace);
        }
        EXPECT_EQ(field(name)->text(), typed);
        EXPECT_EQ(store->stringForKey(QString::fromLatin1(key)), typed);
        auto* said = in<QLabel>("preferencesWindow", QStringLiteral("problem_") + name);
        EXPECT_EQ(!said->isHidden(), *problem != '\0');
        EXPECT_TRUE(said->text().contains(problem)) << said->text().toStdString();
    }
    EXPECT_TRUE(arguments().contains("-ppc-frequency=66.5"));
    EXPECT_TRUE(arguments().contains("-res=9000,4 80"));
    // A value stored elsewhere is judged the same way, and its units are named.
    store->setObject(QStringLiteral("640"), keys::ResolutionX);
    EXPECT_TRUE(in<QLabel>("preferencesWindow", "problem_textfild_resolution_x")->isHidden());
    QStringList labels;
    for (const QLabel* label : window->findChildren<QLabel*>())
        labels << label->text();
    for (const char* unit : {"(MHz)", "(px)", "volume (%)", "Music volume (%)"})
        EXPECT_TRUE(labels.join(' ').contains(unit)) << unit;
}

// A folder where the settings file should be stops nothing: the form shows
// the initial values and takes the user's edits.
TEST_F(PreferencesForm, AFolderInPlaceOfTheFileStopsNothing) {
    ASSERT_TRUE(QDir().mkpath(file));
    open();
    EXPECT_EQ(field("textfild_ppcfreq")->text(), "50");
    box("button_showfps")->click();
    EXPECT_TRUE(box("button_showfps")->isChecked());
}

// The pages that hold fields the command line does not pass say so; the
// buttons beside the fields ask for their tags.
TEST_F(PreferencesForm, PagesSayWhatIsNotPassedAndButtonsAskByTag) {
    auto* tabs = window->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    const QList<QWidget*> unpassed{field("textfild_vert"),    field("textfild_frag"),
                                   field("textfild_sound"),   field("textfild_music"),
                                   field("textfild_balance"), popup("popup_inputsys"),
                                   box("button_feedback")};
    for (int i = 0; i < tabs->count(); ++i) {
        QWidget* page = tabs->widget(i);
        const bool holds = std::any_of(unpassed.begin(), unpassed.end(), [&](QWidget* control) {
            return page->isAncestorOf(control);
        });
        EXPECT_EQ(page->findChildren<QLabel*>("notPassedNote").size(), holds ? 1 : 0) << i;
    }

    QSignalSpy files(window.get(), &PreferencesWindow::chooseFileClicked);
    QSignalSpy folders(window.get(), &PreferencesWindow::chooseFolderClicked);
    QSignalSpy reveals(window.get(), &PreferencesWindow::revealClicked);
    QSignalSpy toggles(window.get(), &PreferencesWindow::packagedToggleClicked);
    for (int tag = 1; tag <= 6; ++tag)
        in<QPushButton>("preferencesWindow", QStringLiteral("button_choose%1").arg(tag))->click();
    for (int tag = 1; tag <= 4; ++tag)
        in<QPushButton>("preferencesWindow", QStringLiteral("button_show%1").arg(tag))->click();
    box("button_snapfolder")->click();
    auto tags = [](const QSignalSpy& spy) {
        QList<int> seen;
        for (const QList<QVariant>& call : spy)
            seen << call[0].toInt();
        return seen;
    };
    EXPECT_EQ(tags(files), (QList<int>{1, 5, 6}));
    EXPECT_EQ(tags(folders), (QList<int>{2, 3, 4}));
    EXPECT_EQ(tags(reveals), (QList<int>{1, 2, 3, 4}));
    EXPECT_EQ(tags(toggles), QList<int>{int(PackagedItem::Snapshots)});
    // Clicked after its key was stored: the field already shows the user's path.
    EXPECT_FALSE(field("textfild_snaps")->isReadOnly());
}

} // namespace
} // namespace kd::test
