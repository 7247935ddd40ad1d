#include "emulator/commandline.h"
#include "emulator/romarchive.h"
#include "support/runhelpers.h"
#include "support/testbundle.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kd {
namespace {

// The form as a first start shows it, with every check box on or off.
EmulatorForm initialForm(bool boxes = false) {
    EmulatorForm form;
    form.ppcFrequency = QStringLiteral("50");
    form.resolutionX = QStringLiteral("496");
    form.resolutionY = QStringLiteral("384");
    for (bool* box :
         {&form.noThreads, &form.gpuThreads, &form.wideScreen, &form.multiTexture, &form.throttle,
          &form.showFps, &form.soundEffects, &form.mpegMusic, &form.flipStereo})
        *box = boxes;
    return form;
}

QStringList argumentsFor(const QString& romPath, const EmulatorForm& form) {
    return emulatorArguments({romPath}, form);
}

TEST(CommandLine, EveryOptionInItsFixedOrder) {
    const QStringList allOff{"/roms/astrovex.zip", "-ppc-frequency=50", "-no-gpu-thread",
                             "-res=496,384",       "-fullscreen",       "-no-multi-texture",
                             "-crosshairs=0"};
    EXPECT_EQ(argumentsFor(QStringLiteral("/roms/astrovex.zip"), initialForm()), allOff);
    EmulatorForm form = initialForm(true);
    form.videoMode = 1;
    form.crosshairs = 2;
    EXPECT_EQ(
        argumentsFor(QStringLiteral("g.zip"), form),
        (QStringList{"g.zip", "-ppc-frequency=50", "-no-threads", "-gpu-multi-threaded",
                     "-res=496,384", "-window", "-wide-screen", "-multi-texture", "-no-throttle",
                     "-show-fps", "-crosshairs=2", "-no-sound", "-no-dsb", "-flip-stereo"}));
}

// Text reaches the list as typed, blanks and shell syntax included; the list
// reaches the emulator one argument per entry (EmulatorProcess tests).
TEST(CommandLine, NoRomEmptyFieldsAndTextAsTyped) {
    EmulatorForm form;
    form.videoMode = -1;
    form.crosshairs = -1;
    const QStringList expected{"-ppc-frequency=", "-no-gpu-thread",    "-res=,",
                               "-window",         "-no-multi-texture", "-crosshairs=-1"};
    EXPECT_EQ(emulatorArguments({}, form), expected);
    EXPECT_EQ(argumentsFor(QString(), form), expected);
    form.resolutionX = QStringLiteral("640");
    form.ppcFrequency = QStringLiteral(" 66 %d $(x) ");
    EXPECT_EQ(argumentsFor(QStringLiteral("/my roms/a b.zip"), form).mid(0, 4),
              (QStringList{"/my roms/a b.zip", "-ppc-frequency= 66 %d $(x) ", "-no-gpu-thread",
                           "-res=640,"}));
}

// Each check opens the path to look at it; a long session checks thousands.
TEST(RomArchive, CheckingLeavesNoDescriptorOpen) {
    QTemporaryDir dir;
    ASSERT_TRUE(test::writeFile(dir.filePath("astrovex.zip"), "PK") &&
                QDir().mkpath(dir.filePath("folder.zip")));
    const int before = test::openDescriptorCount();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(checkRomArchive(dir.filePath("astrovex.zip")), RomArchiveCheck::Ok);
        EXPECT_EQ(checkRomArchive(dir.filePath("folder.zip")), RomArchiveCheck::NotRegularFile);
    }
    EXPECT_EQ(test::openDescriptorCount(), before);
}

} // namespace
} // namespace kd
