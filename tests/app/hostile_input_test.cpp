// Hostile settings files, paths and pictures: the launcher passes paths on
// exactly, never through a shell, and neither hangs nor overcommits on them.
#include "app/imageview.h"
#include "catalogue/artwork.h"
#include "emulator/emulatorprocess.h"
#include "log/logview.h"
#include "settings/settingskeys.h"
#include "support/delegatefixture.h"
#include "support/runhelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QSettings>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

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
    app->button_exe->click();
    ASSERT_FALSE(app->button_exe->isChecked());
    app->textfild_exe->setText(program);

    const QString roms = QStringLiteral("-roms ") + kShellBait + QStringLiteral("\nünï/");
    app->textfild_roms->setText(roms);
    app->setSelectionIndex(2);
    const QString game = app->selectedGameName().value_or(QString());
    ASSERT_FALSE(game.isEmpty());

    ScopedEnv argv("KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile));
    ScopedEnv script("KD_DEMO_SCRIPT", "pwd\nexit 0");
    app->start_game();
    ASSERT_TRUE(finished());

    const QStringList args = receivedArguments();
    ASSERT_FALSE(args.isEmpty());
    // One separator between folder and archive, the rest byte for byte.
    EXPECT_EQ(args[0], roms + game + QStringLiteral(".zip"));
    // It ran in its own folder, whose name holds a line break.
    EXPECT_TRUE(log().contains(QDir(folder).canonicalPath() + u'\n'));
    EXPECT_TRUE(desktop.systemLogLines().contains("Task terminate: Success"));
    for (const QString& where : {folder, home.path(), QDir::currentPath()})
        EXPECT_FALSE(QFileInfo::exists(where + QStringLiteral("/shell-ran")))
            << where.toStdString();
    EXPECT_EQ(desktop.argsOf("recent").value(0).value(0), args[0]);
}

// Found by the fuzzer: a record named U+FEFF + "./b" lost its first character
// on the way to text, so the launcher started and showed the files of the
// record named "b". The name reaches every path whole.
TEST_F(HostileInput, ANameStartingWithAByteOrderMarkNamesItsOwnFiles) {
    ASSERT_TRUE(
        writeFile(bundle.path("Kaleidrome.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>"
                  "<dict><key>name</key><string>b</string></dict>"
                  "<dict><key>name</key><string>\xEF\xBB\xBF./b</string></dict>"
                  "</array></plist>\n"));
    restart();
    desktop.applications = {{AppDelegate::LauncherName, qint64(::getpid()), 0}};
    app->awakeFromNib();
    const QString bom(QChar(0xFEFF));
    const QString roms = home.filePath("roms");
    const QString snaps = home.filePath("snaps");
    // Both records' snapshots exist, so a lost character shows the other one.
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(QDir().mkpath(snaps + u'/' + bom + u'.'));
    ASSERT_TRUE(picture.save(snaps + QStringLiteral("/b.png")));
    ASSERT_TRUE(picture.save(snaps + u'/' + bom + QStringLiteral("./b.png")));
    app->textfild_roms->setText(roms);
    app->button_snapfolder->click();
    ASSERT_FALSE(app->button_snapfolder->isChecked());
    app->textfild_snaps->setText(snaps);

    app->setSelectionIndex(1);
    EXPECT_EQ(app->selectedGameName(), bom + QStringLiteral("./b"));
    EXPECT_EQ(app->imageView->sourcePath(), snaps + u'/' + bom + QStringLiteral("./b.png"));
    ScopedEnv argv("KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile));
    ScopedEnv script("KD_DEMO_SCRIPT", "exit 0");
    app->start_game();
    ASSERT_TRUE(finished());
    const QByteArray romPath = QFile::encodeName(roms) + "/\xEF\xBB\xBF./b.zip";
    EXPECT_EQ(readFile(argvFile).split('\0').value(0), romPath);
    EXPECT_EQ(QFile::encodeName(desktop.argsOf("recent").value(0).value(0)), romPath);
}

// A command-option run hands the pop-up's title over as one argument too.
TEST_F(HostileInput, ACommandOptionArrivesAsOneLiteralArgument) {
    ScopedEnv argv("KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile));
    ScopedEnv script("KD_DEMO_SCRIPT", "exit 0");
    app->LaunchTask_wait({kShellBait});
    ASSERT_TRUE(finished());
    EXPECT_EQ(receivedArguments(), QStringList{kShellBait});
    EXPECT_FALSE(QFileInfo::exists(QDir::currentPath() + QStringLiteral("/shell-ran")));
}

TEST_F(HostileInput, ARomsFolderThatIsNotAFolderIsCaughtWithoutHanging) {
    const QString fifo = home.filePath("roms-fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString dangling = home.filePath("roms-link");
    ASSERT_TRUE(QFile::link(home.filePath("nowhere"), dangling));
    const QString plain = home.filePath("roms-file");
    ASSERT_TRUE(writeFile(plain, "not a folder"));
    for (const QString& path : {fifo, dangling, plain}) {
        SCOPED_TRACE(path.toStdString());
        desktop.clear();
        store->setObject(path, keys::RomsPath);
        QElapsedTimer clock;
        clock.start();
        app->check_romsfolder();
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_EQ(desktop.count("alert"), 1);
    }
}

// Artwork that must fall back to the placeholder, quickly: folders that are not
// folders, a FIFO and a folder where a picture should be, 100 MB of garbage.
TEST_F(HostileInput, UnreadableArtworkShowsThePlaceholderQuickly) {
    const QString snaps = home.filePath("snaps");
    ASSERT_TRUE(QDir().mkpath(snaps));
    const QString game = QStringLiteral("astrovex");
    app->setSelectionIndex(0);
    ASSERT_EQ(app->selectedGameName().value_or(QString()), game);
    app->button_snapfolder->click();
    ASSERT_FALSE(app->button_snapfolder->isChecked());

    const QString fifo = snaps + u'/' + game + QStringLiteral(".png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(snaps + u'/' + game + QStringLiteral(".jpg")));
    const QString plainFile = home.filePath("snaps-file");
    ASSERT_TRUE(writeFile(plainFile, "not a folder"));
    const QString dangling = home.filePath("snaps-link");
    ASSERT_TRUE(QFile::link(home.filePath("nowhere"), dangling));

    const QString garbageFolder = home.filePath("garbage");
    {
        QFile garbage(garbageFolder + u'/' + game + QStringLiteral(".png"));
        ASSERT_TRUE(QDir().mkpath(garbageFolder));
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        QByteArray noise(1 << 20, '\0');
        quint32 x = 99;
        for (char& c : noise) {
            x = x * 1664525u + 1013904223u;
            c = char(x >> 24);
        }
        noise.replace(0, 8, "\x89PNG\r\n\x1a\n"); // a picture's signature over the noise
        ASSERT_EQ(garbage.write(noise), noise.size());
        ASSERT_TRUE(garbage.resize(100 << 20));
    }

    for (const QString& folder : {snaps, plainFile, dangling, garbageFolder}) {
        SCOPED_TRACE(folder.toStdString());
        app->textfild_snaps->setText(folder);
        app->setSelectionIndex(-1);
        QElapsedTimer clock;
        clock.start();
        app->setSelectionIndex(0);
        const qint64 ms = clock.elapsed();
        std::printf("[ figure   ] artwork from %s: %lld ms\n",
                    qPrintable(QFileInfo(folder).fileName()), static_cast<long long>(ms));
        EXPECT_LT(ms, 3000);
        EXPECT_EQ(app->imageView->sourcePath(), bundle.path("no_image.jpg"));
        EXPECT_FALSE(app->imageView->image().isNull());
    }
}

quint32 crc32(QByteArrayView bytes) {
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray be32(quint32 v) {
    const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type, 4) + data;
    return be32(quint32(data.size())) + body + be32(crc32(body));
}

// Peak resident memory since the last reset, in MiB.
qint64 peakResidentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    return -1;
}

bool resetPeakResident() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// A valid PNG whose header claims 100000 x 100000 RGBA pixels over a small
// stream of zeros: the placeholder shows, and nothing near 40 GB is allocated.
TEST_F(HostileInput, APictureClaimingAHugeSizeIsRefusedWithoutAllocatingIt) {
    const QString folder = home.filePath("bomb");
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray header;
    for (const quint32 v : {100000u, 100000u})
        header += be32(v);
    header +=
        QByteArray("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, no filter, no interlace
    const QByteArray zeros = qCompress(QByteArray(8 << 20, '\0'), 9).mid(4); // the zlib stream
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
                           pngChunk("IDAT", zeros) + pngChunk("IEND", {});
    ASSERT_TRUE(writeFile(folder + QStringLiteral("/astrovex.png"), png));

    app->button_snapfolder->click();
    app->textfild_snaps->setText(folder);
    app->setSelectionIndex(-1);
    const bool canMeasure = resetPeakResident();
    const qint64 before = peakResidentMiB();
    QElapsedTimer clock;
    clock.start();
    app->setSelectionIndex(0);
    const qint64 ms = clock.elapsed();
    const qint64 grown = peakResidentMiB() - before;
    std::printf("[ figure   ] %lld-byte picture claiming 100000x100000: %lld ms, peak memory +%lld "
                "MiB\n",
                static_cast<long long>(png.size()), static_cast<long long>(ms),
                static_cast<long long>(grown));
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(app->imageView->sourcePath(), bundle.path("no_image.jpg"));
    if (canMeasure) {
        EXPECT_LT(grown, 200);
    }
    // The reader refuses it on its own, whoever calls it.
    EXPECT_FALSE(loadArtwork(folder + QStringLiteral("/astrovex.png")).has_value());
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
    EXPECT_EQ(app->popup_crosshairs->currentIndex(), 0);
    // A line field shows at most 32767 characters; what it cut off stays stored.
    EXPECT_TRUE(QString::fromLatin1(huge).startsWith(app->textfild_resolution_x->text()));
    EXPECT_EQ(app->textfild_ppcfreq->text(), "66");
    app->button_showfps->click();
    QSettings file(settingsPath(), QSettings::IniFormat);
    EXPECT_EQ(file.value("SomebodyElsesKey").toByteArray().size(), huge.size());
    EXPECT_EQ(file.value(keys::ResolutionX).toByteArray().size(), huge.size());
    EXPECT_EQ(file.value(keys::ShowFPS).toString(), "true");
}

} // namespace
} // namespace kd::test
