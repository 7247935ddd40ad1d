// The demo emulator stands in for the real one in the bundle and in every
// controller test, so its contract is checked here through EmulatorProcess.
#include "processtesting.h"
#include "support/testbundle.h"

#include <QTemporaryDir>
#include <tuple>

namespace kd::test {
namespace {

TEST(DemoEmulator, AnswersItsCommandLineAndItsScriptWithTheirOutputAndStatus) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString rom = dir.filePath(QStringLiteral("reefrunner.zip"));
    ASSERT_TRUE(writeFile(rom, QByteArray("PK\x05\x06", 4)));
    // arguments, script, status, what the output says in this order
    const std::tuple<QStringList, QByteArray, int, QList<QByteArray>> cases[] = {
        {{"/no/roms/star lance.zip", "-res=800,600", "-fullscreen", "-made-up"},
         {},
         0,
         {"ROM set   : star lance  (/no/roms/star lance.zip)",
          "warning: ROM archive not found: /no/roms/star lance.zip", "display resolution: 800,600",
          "warning: unknown option ignored: -made-up"}},
        {{rom}, {}, 0, {"Archive   : found, 4 bytes", "Options   : none"}},
        {{"-help"},
         {},
         0,
         {"-ppc-frequency=MHZ", "-no-threads", "-res=X,Y", "-crosshairs=N", "-no-dsb",
          "-flip-stereo"}},
        {{"-version"}, {}, 0, {"\n"}},
        {{"-list-games"}, {}, 0, {"\n"}},
        {{"-show-config"}, {}, 0, {"\n"}},
        {{"-print-inputs"}, {}, 0, {"\n"}},
        // An unknown option fails with 2; a script can run the default behaviour,
        // which then sets the status.
        {{"-nope"},
         "out before\ndefault\nout after",
         2,
         {"before\n", "unknown option '-nope'", "after\n"}},
        {{}, "out ok\nfly away", 64, {"ok\n", "bad script line: fly away"}},
    };
    for (const auto& [arguments, script, status, says] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString() + script.toStdString());
        const Recorder rec = runScript(script, arguments);
        EXPECT_EQ(rec.status(), status);
        qsizetype at = 0;
        for (const QByteArray& text : says) {
            const qsizetype found = rec.output.indexOf(text, at);
            EXPECT_GE(found, at) << text.toStdString() << " in " << rec.output.toStdString();
            at = std::max(found, at);
        }
    }
    const QByteArray flood = runScript("flood 100000").output;
    EXPECT_TRUE(flood.size() == 100000 && flood.startsWith("[frame 0] ")) << flood.size();
}

} // namespace
} // namespace kd::test
