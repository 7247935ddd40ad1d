// Hostile settings files, paths and pictures: the launcher passes paths on
// exactly, never through a shell, and neither hangs nor overcommits on them.
#include "app/windows/imageview.h"
#include "support/delegatefixture.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <sys/stat.h>

namespace kd::test {
namespace {

using HostileInput = LaunchFixture;

// Shell syntax that would leave a trace if any shell ever saw it.
const QString kShellBait = QStringLiteral("$(touch shell-ran) `touch shell-ran`; touch shell-ran "
                                          "* ~ 'x' \"y\" \\z");

TEST_F(HostileInput, PathsReachTheEmulatorExactlyAndNeverThroughAShell) {
    // The emulator itself in a folder whose name is all of it at once.
    const QString folder =
        home.filePath(QStringLiteral("emu ") + kShellBait + QStringLiteral(" line\nbreak ünï €"));
    const QString program = folder + QStringLiteral("/-Kaleidrome ");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KD_DEMO_EMULATOR), program));
    box("button_exe")->click();
    type(field("textfild_exe"), program);

    const QString roms = QStringLiteral("-roms ") + kShellBait + QStringLiteral("\nünï/");
    type(field("textfild_roms"), roms);
    app->setSelectionIndex(2);
    const QString game = app->selectedGameName().value_or(QString());
    ASSERT_FALSE(game.isEmpty());

    play("pwd\nexit 0");

    const QStringList args = receivedArguments();
    ASSERT_FALSE(args.isEmpty());
    // One separator between folder and archive, the rest byte for byte; the
    // relative folder is the launcher's, so "-roms" cannot pass for an option.
    EXPECT_EQ(args[0], QDir::currentPath() + u'/' + roms + game + QStringLiteral(".zip"));
    // It ran in its own folder, whose name holds a line break.
    EXPECT_TRUE(log().contains(QDir(folder).canonicalPath() + u'\n'));
    EXPECT_TRUE(desktop.systemLogLines().contains("Task terminate: Success"));
    EXPECT_EQ(desktop.argsOf("recent").value(0).value(0), args[0]);

    // A command-option run hands the pop-up's title over as one argument too.
    app->LaunchTask_wait({kShellBait});
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(receivedArguments(), QStringList{kShellBait});
    for (const QString& where : {folder, home.path(), QDir::currentPath()})
        EXPECT_FALSE(QFileInfo::exists(where + QStringLiteral("/shell-ran")))
            << where.toStdString();
}

QByteArray be32(quint32 v) {
    const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type, 4) + data;
    quint32 crc = 0xffffffffu;
    for (const char byte : body) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return be32(quint32(data.size())) + body + be32(~crc);
}

// Artwork that must fall back to the placeholder, quickly and in little
// memory: a FIFO and a folder where a picture should be, 100 MB of garbage,
// and a valid PNG whose header claims 100000 x 100000 RGBA pixels over a small
// stream of zeros (40 GB if allocated).
TEST_F(HostileInput, UnreadableArtworkShowsThePlaceholderQuicklyInLittleMemory) {
    app->setSelectionIndex(0);
    ASSERT_EQ(app->selectedGameName().value_or(QString()), "astrovex");
    box("button_snapfolder")->click();
    // Where the game's picture is looked for in `folder`.
    const auto art = [&](const char* folder, const char* extension = ".png") -> QString {
        return home.filePath(folder) + "/astrovex" + extension;
    };
    ASSERT_TRUE(QDir().mkpath(art("snaps", ".jpg")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(art("snaps")).constData(), 0600), 0);

    // A picture's signature over 1 MB of noise, then zeros up to 100 MB.
    QByteArray noise(1 << 20, '\0');
    QRandomGenerator(99).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    noise.replace(0, 8, "\x89PNG\r\n\x1a\n");
    ASSERT_TRUE(writeFile(art("garbage"), noise) && QFile::resize(art("garbage"), 100 << 20));

    // 8 bits, RGBA, deflate, no filter, no interlace; then the zlib stream.
    const QByteArray header = be32(100000) + be32(100000) + QByteArray("\x08\x06\x00\x00\x00", 5);
    const QByteArray zeros = qCompress(QByteArray(8 << 20, '\0'), 9).mid(4);
    ASSERT_TRUE(writeFile(art("bomb"), QByteArray("\x89PNG\r\n\x1a\n", 8) +
                                           pngChunk("IHDR", header) + pngChunk("IDAT", zeros) +
                                           pngChunk("IEND", {})));

    for (const char* folder : {"snaps", "garbage", "bomb"}) {
        SCOPED_TRACE(folder);
        type(field("textfild_snaps"), home.filePath(folder));
        app->setSelectionIndex(-1);
        const qint64 before = peakResidentKiB(true) / 1024;
        QElapsedTimer clock;
        clock.start();
        app->setSelectionIndex(0);
        const qint64 ms = clock.elapsed(), grown = peakResidentKiB() / 1024 - before;
        EXPECT_LT(ms, 3000);
        EXPECT_LT(grown, 200);
        EXPECT_EQ(imageView()->sourcePath(), bundle.path("no_image.jpg"));
        EXPECT_FALSE(imageView()->image().isNull());
    }
}

// Settings files a person or another program mangled: a 10 MB line of
// garbage, a 10 MB number too large for its kind, a 10 MB text, a 10 MB value
// of a key we do not know; the launcher starts, shows what fits each key's kind
// and keeps the foreign key when it writes.
TEST_F(HostileInput, HugeAndMalformedSettingsLinesAreSurvived) {
    app.reset();
    store.reset();
    const QByteArray huge(10 << 20, '7');
    ASSERT_TRUE(
        writeFile(settingsPath(), "[General]\n" + QByteArray(10 << 20, '#') +
                                      "\nCrosshairsConfig=" + huge + "\nResolutionX=" + huge +
                                      "\nSomebodyElsesKey=" + huge + "\nPowerPCFrequency=66\n"));
    QElapsedTimer clock;
    clock.start();
    start();
    app->awakeFromNib();
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(popup("popup_crosshairs")->currentIndex(), 0);
    // A line field shows at most 32767 characters; what it cut off stays stored.
    EXPECT_TRUE(QString::fromLatin1(huge).startsWith(field("textfild_resolution_x")->text()));
    EXPECT_EQ(field("textfild_ppcfreq")->text(), "66");
    box("button_showfps")->click();
    QSettings file(settingsPath(), QSettings::IniFormat);
    EXPECT_EQ(file.value("SomebodyElsesKey").toByteArray().size(), huge.size());
    EXPECT_EQ(file.value(keys::ResolutionX.name()).toByteArray().size(), huge.size());
    EXPECT_EQ(file.value(keys::ShowFPS.name()).toString(), "true");
}

} // namespace
} // namespace kd::test
