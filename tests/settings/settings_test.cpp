// The typed keys, what the form reads through the defaults controller, and the
// launcher's paths made of them, without any window.
#include "settings/arrangement.h"
#include "settings/defaultscontroller.h"
#include "settings/launcherpaths.h"
#include "settings/settingsstore.h"
#include "support/blockingfifo.h"
#include "support/testbundle.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kd {
namespace {

class SettingsCore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QVariantMap initial;
        for (const SettingKey& key : settingKeys())
            initial.insert(QString::fromLatin1(key.name), key.initialValue);
        defaults.setInitialValues(initial);
    }
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.conf"))};
    DefaultsController defaults{store};
};

// Every key reads as its own type: the stored value when it is of the key's
// kind, else the initial value; a key outside the table reads as its type's
// empty value. A direct read of the store sees only what is stored.
TEST_F(SettingsCore, TypedReadsFallBackToTheInitialValueAndNeverCrossKinds) {
    EXPECT_TRUE(defaults.value(keys::Button_packege1));
    EXPECT_EQ(defaults.value(keys::PowerPCFrequency), QStringLiteral("50"));
    EXPECT_EQ(defaults.value(keys::StartWindow), 1);
    EXPECT_EQ(defaults.value(keys::rowHeight), 20.0f);
    EXPECT_FALSE(defaults.value(keys::Button_videomode)); // no control: only the table sets it
    EXPECT_FALSE(store.value(keys::StartWindow).has_value());
    EXPECT_EQ(store.integerForKey(keys::StartWindow), 0);

    store.setObject(QStringLiteral("no"), keys::Button_packege1);
    store.setObject(QStringLiteral(" 7 "), keys::CrosshairsConfig);
    store.setObject(QStringLiteral("2x"), keys::StartWindow);
    store.setObject(QStringLiteral("99999999999"), keys::Videomode); // beyond an int
    store.setObject(QStringLiteral("a, b"), keys::RomsPath);
    EXPECT_FALSE(defaults.value(keys::Button_packege1));
    EXPECT_EQ(defaults.value(keys::CrosshairsConfig), 7);
    EXPECT_EQ(defaults.value(keys::StartWindow), 1);
    EXPECT_EQ(defaults.value(keys::Videomode), 0);
    EXPECT_EQ(defaults.value(keys::RomsPath), QStringLiteral("a, b"));

    // Keys of the launcher's own have no initial value; garbage reads as unset.
    EXPECT_FALSE(defaults.value(ownKeys::ShowOnlyAvailable));
    store.setObject(QStringLiteral("garbage"), ownKeys::ShowOnlyAvailable);
    EXPECT_FALSE(store.value(ownKeys::ShowOnlyAvailable).has_value());
    defaults.setValue(ownKeys::ShowOnlyAvailable, true);
    EXPECT_EQ(store.value(ownKeys::ShowOnlyAvailable), true);
}

// A user's edit is stored and announced; the reset removes exactly the 33
// keys, so they follow their initial values again and the rest stays.
TEST_F(SettingsCore, EditsAreAnnouncedAndTheResetLeavesOwnKeysAlone) {
    QSignalSpy changed(&defaults, &DefaultsController::valueChanged);
    defaults.setValue(keys::Widescreen, true);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toString(), QStringLiteral("Widescreen"));
    store.setObject(QStringLiteral("/logs"), ownKeys::LogFolder);
    store.setObject(qint64(2), keys::StartWindow);

    changed.clear();
    defaults.revertToInitialValues();
    EXPECT_EQ(changed.size(), int(settingKeys().size()));
    EXPECT_FALSE(defaults.value(keys::Widescreen));
    EXPECT_FALSE(store.value(keys::StartWindow).has_value());
    EXPECT_EQ(store.stringForKey(ownKeys::LogFolder), QStringLiteral("/logs"));
}

// The packaged emulator and folders while their boxes are on, the user's own
// paths (possibly empty) while they are off; the fields show fixed texts for
// the packaged ones and the stored paths for the user's.
TEST_F(SettingsCore, PathsArePackagedOrTheUsersAsTheBoxesSay) {
    const LauncherPaths paths(defaults, QStringLiteral("/opt/b.app/Contents/Resources"));
    const QString pak = QStringLiteral("/opt/b.app/Contents/Resources/kdromepak");
    EXPECT_EQ(paths.executable(), pak + QStringLiteral("/Kaleidrome"));
    EXPECT_EQ(paths.currentDir(), pak);
    EXPECT_EQ(paths.snapshotFolder(), pak + QStringLiteral("/Snaps"));
    EXPECT_EQ(paths.iconFolder(), pak + QStringLiteral("/Icons"));
    EXPECT_EQ(paths.shownPath(PackagedItem::Icons),
              QStringLiteral("Kaleidrome Launcher.app/Contents/Resources/kdromepak/Icons"));
    EXPECT_FALSE(paths.dataFile().has_value()); // no Kaleidrome.xml there

    for (BoolKey toggle : {keys::Button_packege1, keys::Button_packege2, keys::Button_packege3})
        defaults.setValue(toggle, false);
    EXPECT_EQ(paths.executable(), QString());
    EXPECT_EQ(paths.currentDir(), QString());
    EXPECT_EQ(paths.shownPath(PackagedItem::Emulator), QString()); // not a placeholder
    store.setObject(QStringLiteral("Kaleidrome"), keys::ExecutionPath);
    EXPECT_EQ(paths.currentDir(), QString()); // a bare name has no folder
    store.setObject(QStringLiteral("/emu/bin/Kaleidrome"), keys::ExecutionPath);
    store.setObject(QStringLiteral("/my/snaps"), keys::SnapPath);
    EXPECT_EQ(paths.currentDir(), QStringLiteral("/emu/bin"));
    EXPECT_EQ(paths.snapshotFolder(), QStringLiteral("/my/snaps"));
    EXPECT_EQ(paths.shownPath(PackagedItem::Snapshots), QStringLiteral("/my/snaps"));
    EXPECT_EQ(paths.iconFolder(), QString());

    // A relative ROMs folder lies in the launcher's working folder, not in the
    // emulator's; joined as typed, never cleaned.
    const LauncherPaths from(defaults, QString(), QStringLiteral("/home/ana"));
    const std::pair<const char*, const char*> roms[] = {{"", ""},
                                                        {"/srv/roms/", "/srv/roms/"},
                                                        {"-roms", "/home/ana/-roms"},
                                                        {"../r/./x/", "/home/ana/../r/./x/"}};
    for (const auto& [typed, meant] : roms) {
        store.setObject(QString::fromUtf8(typed), keys::RomsPath);
        EXPECT_EQ(from.romsFolder(), QString::fromUtf8(meant)) << typed;
    }
}

TEST_F(SettingsCore, ChoosersFillTheKeyOfTheirTagAndKindOnly) {
    EXPECT_EQ(chooserKey(ChooserTag::Emulator, false)->name(), QStringLiteral("ExecutionPath"));
    EXPECT_EQ(chooserKey(ChooserTag::FragmentShader, false)->name(),
              QStringLiteral("3DfragmentShader"));
    EXPECT_EQ(chooserKey(ChooserTag::Roms, true)->name(), QStringLiteral("RomsPath"));
    EXPECT_EQ(chooserKey(ChooserTag::Icons, true)->name(), QStringLiteral("IconPath"));
    EXPECT_FALSE(chooserKey(ChooserTag::Emulator, true).has_value());
    EXPECT_FALSE(chooserKey(ChooserTag::Snapshots, false).has_value());
    EXPECT_FALSE(chooserKey(ChooserTag(7), false).has_value());

    // A panel opens in the nearest folder that exists, never at the root.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("a/b"))));
    const QString b = dir.filePath(QStringLiteral("a/b"));
    EXPECT_EQ(LauncherPaths::panelFolder(b + QStringLiteral("/gone/deeper"), false), b);
    EXPECT_EQ(LauncherPaths::panelFolder(b + QStringLiteral("/file.exe"), true), b);
    EXPECT_EQ(LauncherPaths::panelFolder(QStringLiteral("/nowhere-at-all"), false),
              QDir::homePath());
    EXPECT_EQ(LauncherPaths::panelFolder(QStringLiteral("relative"), false), QDir::homePath());
    EXPECT_TRUE(LauncherPaths::folderFound(b));
    EXPECT_FALSE(LauncherPaths::folderFound(QString()));
    EXPECT_TRUE(LauncherPaths::fileFound(b));
}

// A saved header state is given back only for the columns it was made for;
// a value that is not a state (written by hand) is none.
TEST_F(SettingsCore, ArrangementStatesComeBackOnlyForTheirColumns) {
    arrangement::saveHeaderState(store, QStringLiteral("table"), "state", QStringLiteral("a,b"));
    EXPECT_EQ(arrangement::savedHeaderState(store, QStringLiteral("table"), QStringLiteral("a,b")),
              "state");
    EXPECT_EQ(arrangement::savedHeaderState(store, QStringLiteral("table"), QStringLiteral("a,c")),
              QByteArray());
    store.setObject(QStringLiteral("text"), QStringLiteral("Arrangement/window"));
    EXPECT_EQ(arrangement::savedState(store, QStringLiteral("window")), QByteArray());
}

// A FIFO in the place of the settings file, which QSettings would wait on
// (past SIGTERM even), is left alone: the store keeps what it is given in
// memory and says why.
TEST(SettingsFile, AFifoInItsPlaceIsLeftAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.conf"));
    test::BlockingFifo fifo(path);
    {
        SettingsStore store(path);
        EXPECT_TRUE(store.problem().contains(QStringLiteral("not a regular file")));
        store.setObject(2, keys::StartWindow);
        store.synchronize();
        EXPECT_EQ(store.integerForKey(keys::StartWindow), 2);
    }
    EXPECT_FALSE(fifo.readerWasHeld());
    EXPECT_TRUE(QFileInfo::exists(path) && !QFileInfo(path).isFile());
}

// What `what` answers in a child that has no rights beyond a user's: root
// leaves its own in a user namespace where it is nobody. Nothing when that fails.
std::optional<QString> answerWithoutRoot(const std::function<QString()>& what) {
    int out[2];
    if (::pipe(out) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        if (::geteuid() == 0 && ::unshare(CLONE_NEWUSER) != 0)
            ::_exit(2);
        const QByteArray answer = what().toUtf8();
        (void)!::write(out[1], answer.constData(), size_t(answer.size()));
        ::_exit(0);
    }
    ::close(out[1]);
    QByteArray answer;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return QString::fromUtf8(answer);
}

// The list is written where it was read while that folder can be written; a
// read-only bundle leaves it to the user's data folder, read from then on.
TEST_F(SettingsCore, AListTheBundleCannotKeepLivesInTheUsersDataFolder) {
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    const QString resources = dir.filePath(QStringLiteral("Resources"));
    const QString packaged = resources + QStringLiteral("/Kaleidrome.xml");
    const QString own =
        dir.filePath(QStringLiteral("data/Kaleidrome/Kaleidrome Launcher/Kaleidrome.xml"));
    ASSERT_TRUE(QDir().mkpath(resources) && test::writeFile(packaged, "<array/>"));
    const LauncherPaths paths(defaults, resources);
    EXPECT_EQ(paths.dataFile(), packaged);
    EXPECT_EQ(paths.listSaveFile(), packaged);
    EXPECT_EQ(
        LauncherPaths::listCopiesFolder(),
        dir.filePath(QStringLiteral("data/Kaleidrome/Kaleidrome Launcher/backups/game-list")));

    // Only the folder's mode keeps a user out (the temporary folder is theirs to pass).
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(resources).constData(), 0555);
    const std::optional<QString> readOnly = answerWithoutRoot([&] { return paths.listSaveFile(); });
    ::chmod(QFile::encodeName(resources).constData(), 0755);
    if (!readOnly)
        GTEST_SKIP() << "no user namespace to drop root's rights in";
    EXPECT_EQ(*readOnly, own);

    ASSERT_TRUE(QDir().mkpath(QFileInfo(own).path()) && test::writeFile(own, "<array/>"));
    EXPECT_EQ(paths.dataFile(), own);
    EXPECT_EQ(paths.listSaveFile(), own);
}

} // namespace
} // namespace kd
