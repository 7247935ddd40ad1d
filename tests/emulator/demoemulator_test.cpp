// The demo emulator stands in for the real one in the bundle and in every
// controller test, so its contract is checked here through EmulatorProcess.
#include "processtesting.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kd {
namespace {

using testing::Recorder;

struct Result {
    QByteArray output;
    int status = -1;
};

Result runDemo(const QStringList& arguments, const QByteArray& script = {}) {
    testing::TestProcess process;
    Recorder rec;
    rec.attach(process);
    EXPECT_TRUE(testing::startDemo(process, script, arguments));
    EXPECT_TRUE(testing::spinUntil([&] { return rec.bothEnded(); }));
    return {rec.output, process.exitStatus()};
}

TEST(DemoEmulator, GameRunShowsRomAndOptionsAndWarnsAboutAMissingArchive) {
    const Result r =
        runDemo({QStringLiteral("/no/roms/star lance.zip"), QStringLiteral("-res=800,600"),
                 QStringLiteral("-fullscreen"), QStringLiteral("-made-up")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.output.contains("ROM set   : star lance  (/no/roms/star lance.zip)"));
    EXPECT_TRUE(r.output.contains("warning: ROM archive not found: /no/roms/star lance.zip"));
    EXPECT_TRUE(r.output.contains("display resolution: 800,600"));
    EXPECT_TRUE(r.output.contains("warning: unknown option ignored: -made-up"));
}

TEST(DemoEmulator, GameRunFindsAnExistingArchive) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile rom(dir.filePath(QStringLiteral("reefrunner.zip")));
    ASSERT_TRUE(rom.open(QIODevice::WriteOnly));
    rom.write("PK\x05\x06", 4);
    rom.close();
    const Result r = runDemo({rom.fileName()});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.output.contains("Archive   : found, 4 bytes")) << r.output.constData();
    EXPECT_TRUE(r.output.contains("Options   : none"));
}

TEST(DemoEmulator, CommandOptionsPrintAndUnknownOnesFail) {
    for (const char* command :
         {"-help", "-version", "-list-games", "-show-config", "-print-inputs"}) {
        SCOPED_TRACE(command);
        const Result r = runDemo({QString::fromLatin1(command)});
        EXPECT_EQ(r.status, 0);
        EXPECT_GT(r.output.count('\n'), 0);
    }
    const Result help = runDemo({QStringLiteral("-help")});
    for (const char* option : {"-ppc-frequency=MHZ", "-no-threads", "-res=X,Y", "-crosshairs=N",
                               "-no-dsb", "-flip-stereo"})
        EXPECT_TRUE(help.output.contains(option)) << option;

    const Result unknown = runDemo({QStringLiteral("-frobnicate")});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.output.contains("unknown option '-frobnicate'"));
}

TEST(DemoEmulator, ScriptCanRunTheDefaultAndOverrideTheStatus) {
    const Result r = runDemo({QStringLiteral("-nope")}, "out before\ndefault\nout after");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.output.startsWith("before\n"));
    EXPECT_TRUE(r.output.endsWith("after\n"));

    const Result floods = runDemo({}, "flood 100000\nexit 6");
    EXPECT_EQ(floods.status, 6);
    EXPECT_EQ(floods.output.size(), 100000);
    EXPECT_TRUE(floods.output.startsWith("[frame 0] "));

    const Result bad = runDemo({}, "out ok\nfly away");
    EXPECT_EQ(bad.status, 64);
    EXPECT_TRUE(bad.output.contains("bad script line: fly away"));
}

} // namespace
} // namespace kd
