#include "settings/settingskeys.h"
#include "support/delegatefixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

namespace kd::test {
namespace {

using Settings = DelegateFixture;

QStringList keysInFile(const QString& path) {
    QSettings file(path, QSettings::IniFormat);
    return file.allKeys();
}

TEST_F(Settings, FirstStartShowsInitialValuesAndStoresNothing) {
    EXPECT_EQ(app->textfild_ppcfreq->text(), "50");
    EXPECT_EQ(app->textfild_resolution_x->text(), "496");
    EXPECT_EQ(app->textfild_resolution_y->text(), "384");
    EXPECT_EQ(app->textfild_sound->text(), "100");
    EXPECT_EQ(app->textfild_music->text(), "100");
    EXPECT_EQ(app->textfild_balance->text(), "0");
    for (QCheckBox* toggle : {app->button_exe, app->button_snapfolder, app->button_Iconfolder})
        EXPECT_TRUE(toggle->isChecked()) << toggle->objectName().toStdString();
    // Every other box is off at a first start, the four negating ones included.
    for (QCheckBox* box : {app->button_nothreads, app->button_gputhreads, app->button_widescreen,
                           app->button_multitexture, app->button_throttle, app->button_showfps,
                           app->button_SoundEffects, app->button_MPEGmusic, app->button_flipstereo,
                           app->button_feedback})
        EXPECT_EQ(box->isChecked(), box == app->button_gputhreads)
            << box->objectName().toStdString();
    for (QLineEdit* field : {app->textfild_roms, app->textfild_vert, app->textfild_frag})
        EXPECT_TRUE(field->text().isEmpty());
    for (QComboBox* popUp :
         {app->popup_videomode, app->popup_crosshairs, app->popup_inputsys, app->popup_command})
        EXPECT_EQ(popUp->currentIndex(), 0);

    EXPECT_FALSE(store->stringForKey(keys::RomsPath).has_value());
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 0);
    EXPECT_TRUE(keysInFile(settingsPath()).isEmpty());
}

TEST_F(Settings, UserEditsAreStoredAtOnceAndSurviveARestart) {
    app->textfild_ppcfreq->selectAll();
    QTest::keyClicks(app->textfild_ppcfreq, "66");
    app->button_widescreen->click();
    app->button_nothreads->click(); // shows MultiThreaded inverted
    app->popup_crosshairs->setCurrentIndex(2);
    emit app->popup_crosshairs->activated(2);

    // In the file before any window is closed.
    QSettings file(settingsPath(), QSettings::IniFormat);
    EXPECT_EQ(file.value(keys::PowerPCFrequency).toString(), "66");
    EXPECT_EQ(file.value(keys::Widescreen).toString(), "true");
    EXPECT_EQ(file.value(keys::MultiThreaded).toString(), "false");
    EXPECT_EQ(file.value(keys::CrosshairsConfig).toString(), "2");
    // Keys never touched keep following their initial value.
    EXPECT_FALSE(file.contains(keys::ResolutionX));

    restart();
    EXPECT_EQ(app->textfild_ppcfreq->text(), "66");
    EXPECT_TRUE(app->button_widescreen->isChecked());
    EXPECT_TRUE(app->button_nothreads->isChecked());
    EXPECT_EQ(app->popup_crosshairs->currentIndex(), 2);
}

TEST_F(Settings, CheckBoxSensesMatchTheirKeys) {
    struct Row {
        QCheckBox* box;
        const char* key;
        bool storedWhenOn;
    };
    const Row rows[] = {
        {app->button_exe, keys::Button_packege1, true},
        {app->button_snapfolder, keys::Button_packege2, true},
        {app->button_Iconfolder, keys::Button_packege3, true},
        {app->button_nothreads, keys::MultiThreaded, false},
        {app->button_gputhreads, keys::GPUmultithreaded, true},
        {app->button_widescreen, keys::Widescreen, true},
        {app->button_multitexture, keys::Multitexture, true},
        {app->button_throttle, keys::Nothrottle, false},
        {app->button_showfps, keys::ShowFPS, true},
        {app->button_SoundEffects, keys::SoundEffects, true},
        {app->button_MPEGmusic, keys::MPEGmusic, true},
        {app->button_flipstereo, keys::SwapChannels, true},
        {app->button_feedback, keys::ForceFeedback, true},
    };
    for (const Row& row : rows) {
        if (row.box->isChecked())
            row.box->click();
        row.box->click();
        ASSERT_TRUE(row.box->isChecked());
        ASSERT_TRUE(store->objectForKey(row.key).has_value()) << row.key;
        EXPECT_EQ(store->objectForKey(row.key)->toBool(), row.storedWhenOn) << row.key;
        // A value an operation stores shows at once.
        store->setObject(!row.storedWhenOn, row.key);
        EXPECT_FALSE(row.box->isChecked()) << row.key;
    }
}

TEST_F(Settings, DirectWritesShowInTheirControlsAtOnce) {
    store->setObject(QStringLiteral("/games/roms"), keys::RomsPath);
    EXPECT_EQ(app->textfild_roms->text(), "/games/roms");
    store->setObject(4, keys::CommandOption);
    EXPECT_EQ(app->popup_command->currentIndex(), 4);
    EXPECT_EQ(store->stringForKey(keys::RomsPath).value_or(QString()), "/games/roms");
}

TEST_F(Settings, RevertBringsEveryControlBackAndEmptiesTheStore) {
    QTest::keyClicks(app->textfild_resolution_x, "0");
    app->button_exe->click();
    app->button_showfps->click();
    store->setObject(QStringLiteral("/somewhere"), keys::SnapPath);
    store->setObject(2, keys::StartWindow);
    store->synchronize();

    app->defaults().revertToInitialValues();
    EXPECT_EQ(app->textfild_resolution_x->text(), "496");
    EXPECT_TRUE(app->button_exe->isChecked());
    EXPECT_FALSE(app->button_showfps->isChecked());
    // Its box is on: the packaged folder's text, not the stored path.
    EXPECT_EQ(app->textfild_snaps->text(),
              "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Snaps");
    EXPECT_EQ(store->integerForKey(keys::StartWindow), 0);
    EXPECT_TRUE(keysInFile(settingsPath()).isEmpty());
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
    QSettings file(settingsPath(), QSettings::IniFormat);
    EXPECT_EQ(file.value("SomebodyElsesKey").toString(), "keep me");
    EXPECT_EQ(file.value(keys::ShowFPS).toString(), "true");
}

TEST_F(Settings, UnreadableSettingsFileDoesNotStopTheLauncher) {
    app.reset();
    store.reset();
    ASSERT_TRUE(QDir().mkpath(settingsPath())); // a folder where the file should be
    start();
    EXPECT_EQ(app->textfild_ppcfreq->text(), "50");
    app->button_showfps->click();
    EXPECT_TRUE(app->button_showfps->isChecked());
}

TEST_F(Settings, ValuesWithCommasAndLargeTextRoundTrip) {
    const QString withComma = QStringLiteral("/games/roms, old");
    const QString large(10 * 1024 * 1024, u'x');
    store->setObject(withComma, keys::RomsPath);
    store->setObject(large, keys::IconPath);
    store->synchronize();
    restart();
    EXPECT_EQ(store->stringForKey(keys::RomsPath).value_or(QString()), withComma);
    EXPECT_EQ(store->stringForKey(keys::IconPath).value_or(QString()).size(), large.size());
}

} // namespace
} // namespace kd::test
