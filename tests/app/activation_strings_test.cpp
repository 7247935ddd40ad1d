#include "app/activation.h"
#include "app/launchercommandline.h"
#include "app/stringtable.h"
#include "app/windows/subviewdraw.h"
#include "support/testbundle.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kd {
namespace {

TEST(Activation, FirstExactCaseSensitiveMatchWins) {
    const QList<RunningApplication> apps{{"Kaleidrome Launcher", 10, 0},
                                         {"kaleidrome", 11, 101},
                                         {"Kaleidrome", 12, 102},
                                         {"Kaleidrome", 13, 103},
                                         {QString(), 14, 104}};
    ASSERT_TRUE(findRunningApplication(apps, "Kaleidrome").has_value());
    EXPECT_EQ(findRunningApplication(apps, "Kaleidrome")->pid, 12);
    EXPECT_EQ(findRunningApplication(apps, "Kaleidrome Launcher")->pid, 10);
    EXPECT_FALSE(findRunningApplication(apps, "KALEIDROME").has_value());
    EXPECT_FALSE(findRunningApplication(apps, "Kaleidrome ").has_value());
    EXPECT_FALSE(findRunningApplication(apps, QString()).has_value());
    EXPECT_FALSE(findRunningApplication({}, "Kaleidrome").has_value());
}

TEST(StringTable, FormatsAndMissingKeys) {
    StringTable table;
    table.insert("Alert_3", "Ended with status %d (100%% sure)");
    EXPECT_EQ(formatText(table.text("Alert_3"), 15), "Ended with status 15 (100% sure)");
    EXPECT_EQ(table.text("Unknown_9"), "Unknown_9");
    EXPECT_EQ(formatText("%ld and %@ and %x", -1, "t"), "-1 and t and %x");
    EXPECT_EQ(formatText("trailing %"), "trailing %");
}

// A language's table lays its texts over the English one, key by key.
TEST(StringTable, ALanguageFallsBackToEnglishThenToTheKey) {
    QTemporaryDir dir;
    ASSERT_TRUE(test::writeFile(dir.filePath("Localizable.json"),
                                R"({"Alert_1": "Error.", "Button_2": "Cancel"})"));
    ASSERT_TRUE(test::writeFile(dir.filePath("de/Localizable.json"), R"({"Alert_1": "Fehler."})"));
    QString error;
    const StringTable german = StringTable::load(dir.path(), "de", &error);
    EXPECT_EQ(german.text("Alert_1"), "Fehler.");
    EXPECT_EQ(german.text("Button_2"), "Cancel");
    EXPECT_EQ(german.text("Alert_9"), "Alert_9");
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(StringTable::load(dir.path(), "en", &error).text("Alert_1"), "Error.");
    // A language without a table says so and speaks English.
    EXPECT_EQ(StringTable::load(dir.path(), "fr", &error).text("Alert_1"), "Error.");
    EXPECT_FALSE(error.isEmpty());
}

// Every key the controller asks the table for is in it: a missing key would
// show its own name in an alert.
TEST(StringTable, EveryKeyTheCodeUsesIsInTheTable) {
    QString error;
    const StringTable english = StringTable::load(
        QStringLiteral(KD_SOURCE_DIR "/resources/bundle/strings/Localizable.json"), &error);
    ASSERT_FALSE(english.isEmpty()) << error.toStdString();
    const QRegularExpression used(QStringLiteral(
        R"re(text\((?:QStringLiteral\()?"(\w+)"|"((?:Alert|Open|Outcome|Status|History|Log)_\w+)")re"));
    QSet<QString> keys;
    for (const QFileInfo& file :
         QDir(QStringLiteral(KD_SOURCE_DIR "/src/app")).entryInfoList({"*.cpp", "*.h"})) {
        const QString code = QString::fromUtf8(test::readFile(file.filePath()));
        for (const QRegularExpressionMatch& m : used.globalMatch(code))
            keys << (m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));
    }
    EXPECT_GT(keys.size(), 40);
    for (const QString& key : keys)
        EXPECT_NE(english.text(key), key) << key.toStdString();
}

// Both tables the bundle ships hold the same keys with the same placeholders.
TEST(StringTable, TheGermanTableMatchesTheEnglishOne) {
    const QString strings = QStringLiteral(KD_SOURCE_DIR "/resources/bundle/strings");
    QString error;
    const StringTable english = StringTable::load(strings + "/Localizable.json", &error);
    const StringTable german = StringTable::load(strings + "/de/Localizable.json", &error);
    ASSERT_FALSE(english.isEmpty()) << error.toStdString();
    ASSERT_EQ(german.keys(), english.keys());
    for (const QString& key : english.keys()) {
        for (const char* placeholder : {"%d", "%@", "%%"})
            EXPECT_EQ(german.text(key).count(placeholder), english.text(key).count(placeholder))
                << key.toStdString();
        EXPECT_NE(german.text(key), key);
    }
}

// The fuzz replay checks the plain command lines of its seeds (none, one
// archive, "--", help, version, two archives) against a plain reading of them,
// and the exit status and one-line error of every answer.
TEST(LauncherCommandLine, ArgumentsBecomeOneActionAndAtMostOnePath) {
    using Action = LauncherCommandLine::Action;
    const QString cwd = "/home/ana/ROMs";
    const std::tuple<QStringList, Action, QStringList> cases[] = {
        {{"../My ROMs/b r.zip"}, Action::Start, {"/home/ana/ROMs/../My ROMs/b r.zip"}},
        {{":colon.zip"}, Action::Start, {"/home/ana/ROMs/:colon.zip"}},
        {{"file:relative.zip"}, Action::Start, {"/home/ana/ROMs/file:relative.zip"}},
        {{"file:///srv/roms/caf%C3%A9.zip"}, Action::Start, {"/srv/roms/café.zip"}},
        {{"-v"}, Action::ShowVersion, {}},
        {{"--help", "--bogus"}, Action::Fail, {}},
        {{"--version=2"}, Action::Fail, {}},
        {{""}, Action::Fail, {}},
    };
    for (const auto& [arguments, action, paths] : cases) {
        const LauncherCommandLine result =
            parseLauncherCommandLine(QStringList{"kaleidrome-launcher"} + arguments, cwd);
        SCOPED_TRACE(arguments.join(' ').toStdString());
        EXPECT_EQ(result.action, action);
        EXPECT_EQ(result.romPaths, paths);
    }
}

// The background runs from opaque blue-grey at the top edge to transparent
// light grey at the bottom, the same across every row, at any height.
TEST(SubViewDraw, PaintsOneVerticalGradientOverItsWholeHeight) {
    for (const int height : {40, 300}) {
        SCOPED_TRACE(height);
        SubViewDraw view;
        view.resize(30, height);
        QImage image(view.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren); // no window background

        const QColor top = image.pixelColor(15, 0);
        const int step = 255 / height + 2; // a pixel row of the gradient
        EXPECT_GE(top.alpha(), 255 - step);
        EXPECT_NEAR(top.red(), 160, 3);
        EXPECT_NEAR(top.green(), 165, 3);
        EXPECT_NEAR(top.blue(), 200, 3);
        EXPECT_LE(image.pixelColor(15, height - 1).alpha(), step);
        EXPECT_NEAR(image.pixelColor(15, height / 2).alpha(), 128, 10);
        for (const int y : {0, height / 2, height - 1})
            EXPECT_EQ(image.pixel(0, y), image.pixel(29, y)) << y;
    }
}

} // namespace
} // namespace kd
