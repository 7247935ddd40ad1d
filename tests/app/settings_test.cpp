// The preferences as stored and shown, and the paths the launcher makes of them.
#include "support/delegatefixture.h"

namespace kd::test {
namespace {

using Settings = DelegateFixture;
using Paths = DelegateFixture;

// A first start shows the initial values and stores nothing (the rest of the
// first form is pinned through its arguments by Launching.TheFormBecomes...);
// the user's edits are stored at once and survive a restart.
TEST_F(Settings, FirstStartStoresNothingAndEditsAreStoredAtOnce) {
    const std::pair<QLineEdit*, const char*> fields[] = {
        {field("textfild_sound"), "100"}, {field("textfild_music"), "100"},
        {field("textfild_balance"), "0"}, {field("textfild_roms"), ""},
        {field("textfild_vert"), ""},     {field("textfild_frag"), ""}};
    for (const auto& [field, text] : fields)
        EXPECT_EQ(field->text(), text) << field->objectName().toStdString();
    for (QCheckBox* toggle :
         {box("button_exe"), box("button_snapfolder"), box("button_Iconfolder")})
        EXPECT_TRUE(toggle->isChecked()) << toggle->objectName().toStdString();
    EXPECT_FALSE(box("button_feedback")->isChecked());
    EXPECT_EQ(popup("popup_inputsys")->currentIndex(), 0);
    EXPECT_EQ(popup("popup_command")->currentIndex(), 0);
    EXPECT_FALSE(store->stringForKey(keys::RomsPath).has_value());
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 0);
    EXPECT_EQ(settingsFileLines(), QStringList());

    // Edits are stored at once and survive a restart.
    field("textfild_ppcfreq")->selectAll();
    QTest::keyClicks(field("textfild_ppcfreq"), "66");
    box("button_widescreen")->click();
    box("button_nothreads")->click(); // shows MultiThreaded inverted
    pick(popup("popup_crosshairs"), 2);

    // In the file before any window is closed; keys never touched are not
    // written, so they keep following their initial value.
    EXPECT_EQ(settingsFileLines(), (QStringList{"CrosshairsConfig=2", "MultiThreaded=false",
                                                "PowerPCFrequency=66", "Widescreen=true"}));

    // A value with a comma comes back whole (HostileInput.HugeAndMalformedSettingsLinesAreSurvived
    // keeps 10 MB values).
    store->setObject(QStringLiteral("/games/roms, old"), keys::RomsPath);
    store->synchronize();
    restart();
    EXPECT_EQ(store->stringForKey(keys::RomsPath).value_or(QString()), "/games/roms, old");
    EXPECT_EQ(field("textfild_ppcfreq")->text(), "66");
    EXPECT_TRUE(box("button_widescreen")->isChecked());
    EXPECT_TRUE(box("button_nothreads")->isChecked());
    EXPECT_EQ(popup("popup_crosshairs")->currentIndex(), 2);
}

// Each box stores its key, in the key's sense; a value stored by an operation
// shows in its control at once.
TEST_F(Settings, ControlsAndTheirKeysFollowEachOther) {
    auto follows = [&](QCheckBox* box, const QString& key, bool storedWhenOn = true) {
        SCOPED_TRACE(key.toStdString());
        if (box->isChecked())
            box->click();
        box->click();
        ASSERT_TRUE(box->isChecked());
        ASSERT_TRUE(store->objectForKey(key).has_value());
        EXPECT_EQ(store->objectForKey(key)->toBool(), storedWhenOn);
        store->setObject(!storedWhenOn, key);
        EXPECT_FALSE(box->isChecked());
    };
    follows(box("button_exe"), keys::Button_packege1);
    follows(box("button_snapfolder"), keys::Button_packege2);
    follows(box("button_Iconfolder"), keys::Button_packege3);
    follows(box("button_nothreads"), keys::MultiThreaded, false);
    follows(box("button_gputhreads"), keys::GPUmultithreaded);
    follows(box("button_widescreen"), keys::Widescreen);
    follows(box("button_multitexture"), keys::Multitexture);
    follows(box("button_throttle"), keys::Nothrottle, false);
    follows(box("button_showfps"), keys::ShowFPS);
    follows(box("button_SoundEffects"), keys::SoundEffects);
    follows(box("button_MPEGmusic"), keys::MPEGmusic);
    follows(box("button_flipstereo"), keys::SwapChannels);
    follows(box("button_feedback"), keys::ForceFeedback);
    store->setObject(QStringLiteral("/games/roms"), keys::RomsPath);
    EXPECT_EQ(field("textfild_roms")->text(), "/games/roms");
    store->setObject(4, keys::CommandOption);
    EXPECT_EQ(popup("popup_command")->currentIndex(), 4);
}

TEST_F(Settings, BrokenOrForeignValuesFallBackToInitialValuesAndUnknownKeysAreKept) {
    app.reset();
    store.reset();
    ASSERT_TRUE(writeFile(settingsPath(), "[General]\n"
                                          "PowerPCFrequency=77\n"
                                          "Widescreen=garbage\n"
                                          "Videomode=not a number\n"
                                          "StartWindow=2x\n"
                                          "CrosshairsConfig=99999999999\n"
                                          "SomebodyElsesKey=keep me\n"
                                          "\x01\x02\xff=\xfe\n"
                                          "[Broken section\n"
                                          "ResolutionY"));
    start();
    EXPECT_EQ(field("textfild_ppcfreq")->text(), "77");
    EXPECT_FALSE(box("button_widescreen")->isChecked());
    EXPECT_EQ(popup("popup_videomode")->currentIndex(), 0);
    EXPECT_EQ(popup("popup_crosshairs")->currentIndex(), 0);
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 0);
    EXPECT_EQ(field("textfild_resolution_y")->text(), "384");

    box("button_showfps")->click();
    EXPECT_TRUE(settingsFileLines().contains("SomebodyElsesKey=keep me"));

    // A folder where the file should be does not stop the launcher either.
    app.reset();
    store.reset();
    ASSERT_TRUE(QFile::remove(settingsPath()) && QDir().mkpath(settingsPath()));
    start();
    EXPECT_EQ(field("textfild_ppcfreq")->text(), "50");
    box("button_showfps")->click();
    EXPECT_TRUE(box("button_showfps")->isChecked());
}

// Windows.PackagedFieldsAreReadOnlyWhileTheirBoxIsOn checks what the fields show.
TEST_F(Paths, ThePackagedEmulatorWinsWhateverTheFieldSaysElseTheUsers) {
    { // A relocated bundle uses its own resources.
        QTemporaryDir elsewhere;
        const QString moved = elsewhere.path() + "/Some Other Name.app/Contents/Resources";
        ASSERT_TRUE(copyTree(bundle.resources(), moved));
        const AppDelegate relocated(desktop, *store, moved);
        EXPECT_EQ(relocated.pathOfExecFile(), moved + "/kdromepak/Kaleidrome");
        EXPECT_TRUE(relocated.ExefileCheck());
    }

    app->PackagePath_ini();
    EXPECT_EQ(app->pathOfExecFile(), bundle.path("kdromepak/Kaleidrome"));
    EXPECT_EQ(app->pathOfCurrentDir(), bundle.path("kdromepak"));
    EXPECT_TRUE(app->ExefileCheck());
    // The display text is not stored.
    EXPECT_FALSE(store->stringForKey(keys::ExecutionPath).has_value());
    // While the box is on, the field cannot be typed into.
    type(field("textfild_exe"), "/elsewhere/emu");
    EXPECT_EQ(field("textfild_exe")->text(), packaged("Kaleidrome"));
    EXPECT_EQ(app->pathOfExecFile(), bundle.path("kdromepak/Kaleidrome"));
    // Tags other than the three boxes' change nothing.
    const QString before = field("textfild_exe")->text() + field("textfild_snaps")->text() +
                           field("textfild_icons")->text();
    for (int tag : {-1, 3, 5})
        app->PackagePathChange(PackagedItem(tag));
    EXPECT_EQ(field("textfild_exe")->text() + field("textfild_snaps")->text() +
                  field("textfild_icons")->text(),
              before);

    box("button_exe")->click(); // off: the user's own emulator
    EXPECT_EQ(app->pathOfExecFile(), "");
    EXPECT_EQ(app->pathOfCurrentDir(), "");
    EXPECT_FALSE(app->ExefileCheck());

    store->setObject(QStringLiteral("/opt/my emu/Kaleidrome"), keys::ExecutionPath);
    EXPECT_EQ(app->pathOfExecFile(), "/opt/my emu/Kaleidrome");
    EXPECT_EQ(app->pathOfCurrentDir(), "/opt/my emu");
    EXPECT_FALSE(app->ExefileCheck());

    type(field("textfild_exe"), "Kaleidrome");
    EXPECT_EQ(app->pathOfCurrentDir(), "");

    type(field("textfild_exe"), bundle.path("kdromepak/Kaleidrome"));
    EXPECT_TRUE(app->ExefileCheck());
}

} // namespace
} // namespace kd::test
