#include "settings/settingskeys.h"
#include "support/delegatefixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace kd::test {
namespace {

using Paths = DelegateFixture;

TEST_F(Paths, PackagedEmulatorWinsWhateverTheFieldSays) {
    app->PackagePath_ini();
    EXPECT_EQ(app->textfild_exe->text(),
              "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Kaleidrome");
    EXPECT_EQ(app->textfild_snaps->text(),
              "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Snaps");
    EXPECT_EQ(app->textfild_icons->text(),
              "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Icons");
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
}

TEST_F(Paths, UserEmulatorPaths) {
    app->button_exe->click();                 // off: the user's own emulator
    EXPECT_EQ(app->textfild_exe->text(), ""); // never set: empty, no placeholder
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

TEST_F(Paths, ToggleRefreshShowsStoredPathOrNothing) {
    store->setObject(QStringLiteral("/art/snaps/"), keys::SnapPath);
    app->PackagePath_ini();
    EXPECT_EQ(app->textfild_snaps->text(),
              "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Snaps");
    app->button_snapfolder->click();
    EXPECT_EQ(app->textfild_snaps->text(), "/art/snaps/");
    app->button_Iconfolder->click();
    EXPECT_EQ(app->textfild_icons->text(), "");
    app->button_snapfolder->click();
    EXPECT_EQ(app->textfild_snaps->text(),
              "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Snaps");
    EXPECT_EQ(store->stringForKey(keys::SnapPath).value_or(QString()), "/art/snaps/");
}

TEST_F(Paths, OtherTagsChangeNothing) {
    app->PackagePath_ini();
    const QString before =
        app->textfild_exe->text() + app->textfild_snaps->text() + app->textfild_icons->text();
    QPushButton stray;
    for (int tag : {-1, 3, 5}) {
        AppDelegate::setTag(&stray, tag);
        app->PackagePathChange(&stray);
    }
    EXPECT_EQ(app->textfild_exe->text() + app->textfild_snaps->text() + app->textfild_icons->text(),
              before);
}

TEST_F(Paths, ExistenceTests) {
    const QString file = bundle.path("kdromepak/Docs/README.txt");
    EXPECT_TRUE(AppDelegate::file_FoundCheck(file));
    EXPECT_TRUE(AppDelegate::file_FoundCheck(bundle.path("kdromepak")));
    EXPECT_FALSE(AppDelegate::file_FoundCheck(bundle.path("nothing here")));
    EXPECT_FALSE(AppDelegate::file_FoundCheck(QString()));
    EXPECT_TRUE(AppDelegate::folder_FoundCheck(bundle.path("kdromepak")));
    EXPECT_TRUE(AppDelegate::folder_FoundCheck(bundle.path("kdromepak/")));
    EXPECT_FALSE(AppDelegate::folder_FoundCheck(file));
    EXPECT_FALSE(AppDelegate::folder_FoundCheck(bundle.path("missing")));
    EXPECT_FALSE(AppDelegate::folder_FoundCheck(QString()));
}

TEST_F(Paths, DataFileOnlyWhenTheBundleHasOne) {
    ASSERT_TRUE(app->pathOfDataFile().has_value());
    EXPECT_EQ(*app->pathOfDataFile(), bundle.path("Kaleidrome.xml"));
    ASSERT_TRUE(QFile::remove(bundle.path("Kaleidrome.xml")));
    EXPECT_FALSE(app->pathOfDataFile().has_value());
}

TEST_F(Paths, RelocatedBundleUsesItsOwnResources) {
    QTemporaryDir elsewhere;
    const QString moved = elsewhere.path() + "/Some Other Name.app/Contents/Resources";
    ASSERT_TRUE(copyTree(bundle.resources(), moved));
    AppDelegate relocated(desktop, *store, moved);
    relocated.PackagePath_ini();
    EXPECT_EQ(relocated.pathOfExecFile(), moved + "/kdromepak/Kaleidrome");
    EXPECT_TRUE(relocated.ExefileCheck());
    EXPECT_EQ(relocated.textfild_exe->text(),
              "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Kaleidrome");
}

} // namespace
} // namespace kd::test
