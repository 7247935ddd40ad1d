#include "emulator/commandline.h"
#include "support/testbundle.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kd {
namespace {

// The form as a first start shows it, with every check box off.
EmulatorForm initialFormAllOff() {
    EmulatorForm form;
    form.ppcFrequency = QStringLiteral("50");
    form.resolutionX = QStringLiteral("496");
    form.resolutionY = QStringLiteral("384");
    return form;
}

QVariantMap rom(const QString& path) {
    return {{QString::fromLatin1(RomNameKey), path}};
}

TEST(CommandLine, InitialValuesWithEveryBoxOff) {
    EXPECT_EQ(emulatorArguments(rom(QStringLiteral("/roms/astrovex.zip")), initialFormAllOff()),
              (QStringList{"/roms/astrovex.zip", "-ppc-frequency=50", "-no-gpu-thread",
                           "-res=496,384", "-fullscreen", "-no-multi-texture", "-crosshairs=0"}));
}

TEST(CommandLine, EveryOptionOnInItsFixedOrder) {
    EmulatorForm form = initialFormAllOff();
    for (Qt::CheckState* box :
         {&form.noThreads, &form.gpuThreads, &form.wideScreen, &form.multiTexture, &form.throttle,
          &form.showFps, &form.soundEffects, &form.mpegMusic, &form.flipStereo})
        *box = Qt::Checked;
    form.videoMode = 1;
    form.crosshairs = 2;
    EXPECT_EQ(
        emulatorArguments(rom(QStringLiteral("g.zip")), form),
        (QStringList{"g.zip", "-ppc-frequency=50", "-no-threads", "-gpu-multi-threaded",
                     "-res=496,384", "-window", "-wide-screen", "-multi-texture", "-no-throttle",
                     "-show-fps", "-crosshairs=2", "-no-sound", "-no-dsb", "-flip-stereo"}));
}

TEST(CommandLine, MixedBoxesCountAsOff) {
    EmulatorForm form = initialFormAllOff();
    for (Qt::CheckState* box :
         {&form.noThreads, &form.gpuThreads, &form.wideScreen, &form.multiTexture, &form.throttle,
          &form.showFps, &form.soundEffects, &form.mpegMusic, &form.flipStereo})
        *box = Qt::PartiallyChecked;
    EXPECT_EQ(emulatorArguments(rom(QStringLiteral("g.zip")), form),
              emulatorArguments(rom(QStringLiteral("g.zip")), initialFormAllOff()));
}

TEST(CommandLine, NoRomEmptyFieldsAndNoSelectedItem) {
    EmulatorForm form;
    form.videoMode = -1;
    form.crosshairs = -1;
    const QStringList expected{"-ppc-frequency=", "-no-gpu-thread",    "-res=,",
                               "-window",         "-no-multi-texture", "-crosshairs=-1"};
    EXPECT_EQ(emulatorArguments({}, form), expected);
    EXPECT_EQ(emulatorArguments(rom(QString()), form), expected);
    form.resolutionX = QStringLiteral("640");
    EXPECT_EQ(emulatorArguments({}, form).at(2), QStringLiteral("-res=640,"));
}

TEST(CommandLine, TextIsPassedVerbatim) {
    EmulatorForm form = initialFormAllOff();
    form.ppcFrequency = QStringLiteral(" 66 %d $(x) ");
    const QStringList args = emulatorArguments(rom(QStringLiteral("/my roms/a b.zip")), form);
    EXPECT_EQ(args.at(0), QStringLiteral("/my roms/a b.zip"));
    EXPECT_EQ(args.at(1), QStringLiteral("-ppc-frequency= 66 %d $(x) "));
}

// The list reaches a real program one argument per entry, with no shell between.
TEST(CommandLine, ArgumentsArriveOneByOne) {
    QTemporaryDir dir;
    const QString argvFile = dir.filePath(QStringLiteral("argv"));
    EmulatorForm form = initialFormAllOff();
    form.ppcFrequency = QStringLiteral("5 0;echo hi");
    const QStringList args =
        emulatorArguments(rom(dir.filePath(QStringLiteral("Game With Blanks.zip"))), form);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KD_DEMO_ARGV_FILE"), argvFile);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KD_DEMO_EMULATOR), args);
    ASSERT_TRUE(process.waitForFinished(10000));
    QList<QByteArray> received = test::readFile(argvFile).split('\0');
    if (!received.isEmpty() && received.last().isEmpty())
        received.removeLast();
    QStringList decoded;
    for (const QByteArray& arg : received)
        decoded << QString::fromUtf8(arg);
    EXPECT_EQ(decoded, args);
}

} // namespace
} // namespace kd
