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
        {app->textfild_sound, "100"}, {app->textfild_music, "100"}, {app->textfild_balance, "0"},
        {app->textfild_roms, ""},     {app->textfild_vert, ""},     {app->textfild_frag, ""}};
    for (const auto& [field, text] : fields)
        EXPECT_EQ(field->text(), text) << field->objectName().toStdString();
    for (QCheckBox* toggle : {app->button_exe, app->button_snapfolder, app->button_Iconfolder})
        EXPECT_TRUE(toggle->isChecked()) << toggle->objectName().toStdString();
    EXPECT_FALSE(app->button_feedback->isChecked());
    EXPECT_EQ(app->popup_inputsys->currentIndex(), 0);
    EXPECT_EQ(app->popup_command->currentIndex(), 0);
    EXPECT_FALSE(store->stringForKey(keys::RomsPath).has_value());
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 0);
    EXPECT_EQ(settingsFileLines(), QStringList());

    // Edits are stored at once and survive a restart.
    app->textfild_ppcfreq->selectAll();
    QTest::keyClicks(app->textfild_ppcfreq, "66");
    app->button_widescreen->click();
    app->button_nothreads->click(); // shows MultiThreaded inverted
    app->popup_crosshairs->setCurrentIndex(2);
    emit app->popup_crosshairs->activated(2);

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
    EXPECT_EQ(app->textfild_ppcfreq->text(), "66");
    EXPECT_TRUE(app->button_widescreen->isChecked());
    EXPECT_TRUE(app->button_nothreads->isChecked());
    EXPECT_EQ(app->popup_crosshairs->currentIndex(), 2);
}

// Each box stores its key, in the key's sense; a value stored by an operation
// shows in its control at once.
TEST_F(Settings, ControlsAndTheirKeysFollowEachOther) {
    auto follows = [&](QCheckBox* box, const char* key, bool storedWhenOn = true) {
        SCOPED_TRACE(key);
        if (box->isChecked())
            box->click();
        box->click();
        ASSERT_TRUE(box->isChecked());
        ASSERT_TRUE(store->objectForKey(key).has_value());
        EXPECT_EQ(store->objectForKey(key)->toBool(), storedWhenOn);
        store->setObject(!storedWhenOn, key);
        EXPECT_FALSE(box->isChecked());
    };
    follows(app->button_exe, keys::Button_packege1);
    follows(app->button_snapfolder, keys::Button_packege2);
    follows(app->button_Iconfolder, keys::Button_packege3);
    follows(app->button_nothreads, keys::MultiThreaded, false);
    follows(app->button_gputhreads, keys::GPUmultithreaded);
    follows(app->button_widescreen, keys::Widescreen);
    follows(app->button_multitexture, keys::Multitexture);
    follows(app->button_throttle, keys::Nothrottle, false);
    follows(app->button_showfps, keys::ShowFPS);
    follows(app->button_SoundEffects, keys::SoundEffects);
    follows(app->button_MPEGmusic, keys::MPEGmusic);
    follows(app->button_flipstereo, keys::SwapChannels);
    follows(app->button_feedback, keys::ForceFeedback);
    store->setObject(QStringLiteral("/games/roms"), keys::RomsPath);
    EXPECT_EQ(app->textfild_roms->text(), "/games/roms");
    store->setObject(4, keys::CommandOption);
    EXPECT_EQ(app->popup_command->currentIndex(), 4);
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
    EXPECT_EQ(app->textfild_ppcfreq->text(), "77");
    EXPECT_FALSE(app->button_widescreen->isChecked());
    EXPECT_EQ(app->popup_videomode->currentIndex(), 0);
    EXPECT_EQ(app->popup_crosshairs->currentIndex(), 0);
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 0);
    EXPECT_EQ(app->textfild_resolution_y->text(), "384");

    app->button_showfps->click();
    EXPECT_TRUE(settingsFileLines().contains("SomebodyElsesKey=keep me"));

    // A folder where the file should be does not stop the launcher either.
    app.reset();
    store.reset();
    ASSERT_TRUE(QFile::remove(settingsPath()) && QDir().mkpath(settingsPath()));
    start();
    EXPECT_EQ(app->textfild_ppcfreq->text(), "50");
    app->button_showfps->click();
    EXPECT_TRUE(app->button_showfps->isChecked());
}

// Windows.PackagedFieldsAreReadOnlyWhileTheirBoxIsOn checks what the fields show.
TEST_F(Paths, ThePackagedEmulatorWinsWhateverTheFieldSaysElseTheUsers) {
    // A relocated bundle uses its own resources.
    QTemporaryDir elsewhere;
    const QString moved = elsewhere.path() + "/Some Other Name.app/Contents/Resources";
    ASSERT_TRUE(copyTree(bundle.resources(), moved));
    AppDelegate relocated(desktop, *store, moved);
    relocated.PackagePath_ini();
    EXPECT_EQ(relocated.pathOfExecFile(), moved + "/kdromepak/Kaleidrome");
    EXPECT_TRUE(relocated.ExefileCheck());
    EXPECT_EQ(relocated.textfild_exe->text(), packaged("Kaleidrome"));

    app->PackagePath_ini();
    EXPECT_EQ(app->pathOfExecFile(), bundle.path("kdromepak/Kaleidrome"));
    EXPECT_EQ(app->pathOfCurrentDir(), bundle.path("kdromepak"));
    EXPECT_TRUE(app->ExefileCheck());
    // The display text is not stored.
    EXPECT_FALSE(store->stringForKey(keys::ExecutionPath).has_value());
    // A mixed toggle counts as on.
    app->button_exe->setTristate(true);
    app->button_exe->setCheckState(Qt::PartiallyChecked);
    app->textfild_exe->setText("/elsewhere/emu");
    EXPECT_EQ(app->pathOfExecFile(), bundle.path("kdromepak/Kaleidrome"));
    app->button_exe->setTristate(false);
    // Tags other than the three boxes' change nothing.
    const QString before =
        app->textfild_exe->text() + app->textfild_snaps->text() + app->textfild_icons->text();
    for (int tag : {-1, 3, 5})
        app->PackagePathChange(tagged(tag));
    EXPECT_EQ(app->textfild_exe->text() + app->textfild_snaps->text() + app->textfild_icons->text(),
              before);

    app->button_exe->click(); // off: the user's own emulator
    EXPECT_EQ(app->pathOfExecFile(), "");
    EXPECT_EQ(app->pathOfCurrentDir(), "");
    EXPECT_FALSE(app->ExefileCheck());

    store->setObject(QStringLiteral("/opt/my emu/Kaleidrome"), keys::ExecutionPath);
    EXPECT_EQ(app->pathOfExecFile(), "/opt/my emu/Kaleidrome");
    EXPECT_EQ(app->pathOfCurrentDir(), "/opt/my emu");
    EXPECT_FALSE(app->ExefileCheck());

    app->textfild_exe->setText("Kaleidrome");
    EXPECT_EQ(app->pathOfCurrentDir(), "");

    app->textfild_exe->setText(bundle.path("kdromepak/Kaleidrome"));
    EXPECT_TRUE(app->ExefileCheck());
}

} // namespace
} // namespace kd::test
