#include "app/activation.h"
#include "app/launchercommandline.h"
#include "app/stringtable.h"
#include "app/windows/subviewdraw.h"
#include "support/testbundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>
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

const QString EnglishTable =
    QStringLiteral(KD_SOURCE_DIR "/resources/bundle/strings/Localizable.json");
const QString GermanSource =
    QStringLiteral(KD_SOURCE_DIR "/resources/translations/kaleidrome-launcher_de.ts");

// Every key the controller asks the table for is in it: a missing key would
// show its own name in an alert.
TEST(StringTable, EveryKeyTheCodeUsesIsInTheTable) {
    QString error;
    const StringTable english = StringTable::load(EnglishTable, &error);
    ASSERT_FALSE(english.isEmpty()) << error.toStdString();
    const QRegularExpression used(QStringLiteral(
        R"re(text\((?:QStringLiteral\()?"(\w+)"|"((?:Alert|Open|Outcome|Status|History|Log)_\w+)")re"));
    QSet<QString> keys;
    QDirIterator files(QStringLiteral(KD_SOURCE_DIR "/src/app"), {"*.cpp", "*.h"}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString code = QString::fromUtf8(test::readFile(files.next()));
        for (const QRegularExpressionMatch& m : used.globalMatch(code))
            keys << (m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));
    }
    // Those of the play tracker, in a subfolder, are among them.
    EXPECT_TRUE(keys.contains("Outcome_Signal"));
    EXPECT_GT(keys.size(), 40);
    for (const QString& key : keys)
        EXPECT_NE(english.text(key), key) << key.toStdString();
}

struct TranslatedText {
    QString english;
    QString german;
    bool finished = false;
};

// The messages of context StringTable in a Linguist source, by key (a file
// that cannot be read is an error of the XML reader too).
QHash<QString, TranslatedText> stringTableMessages(const QString& path, QString* error) {
    QHash<QString, TranslatedText> messages;
    QXmlStreamReader xml(test::readFile(path));
    QString context;
    QString key;
    TranslatedText message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == u"message" && context == u"StringTable")
            messages.insert(key, message);
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            key.clear();
            message = TranslatedText();
        } else if (xml.name() == u"source") {
            message.english = xml.readElementText();
        } else if (xml.name() == u"comment") {
            key = xml.readElementText();
        } else if (xml.name() == u"translation") {
            message.finished = xml.attributes().value(QStringLiteral("type")).isEmpty();
            message.german = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return messages;
}

// Every text of the English table has a finished German translation in the
// Linguist source under its key, with the same placeholders, and the bundle's
// compiled translation gives it.
TEST(StringTable, EveryTextHasAFinishedGermanTranslation) {
    QString error;
    const StringTable english = StringTable::load(EnglishTable, &error);
    ASSERT_FALSE(english.isEmpty()) << error.toStdString();
    const QHash<QString, TranslatedText> german = stringTableMessages(GermanSource, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    QStringList translatedKeys = german.keys();
    translatedKeys.sort();
    EXPECT_EQ(translatedKeys.join(u' ').toStdString(), english.keys().join(u' ').toStdString());
    for (const QString& key : english.keys()) {
        SCOPED_TRACE(key.toStdString());
        const TranslatedText message = german.value(key);
        EXPECT_EQ(message.english.toStdString(), english.text(key).toStdString());
        EXPECT_TRUE(message.finished);
        EXPECT_FALSE(message.german.isEmpty());
        for (const char* placeholder : {"%d", "%i", "%ld", "%@", "%%"})
            EXPECT_EQ(message.german.count(placeholder), message.english.count(placeholder))
                << placeholder;
    }
    // The bundle's compiled translation, installed while it lives.
    QTranslator installed;
    ASSERT_TRUE(installed.load(QStringLiteral("kaleidrome-launcher_de"),
                               QStringLiteral(KD_BUNDLE_RESOURCES "/translations")) &&
                QCoreApplication::installTranslator(&installed));
    for (const QString& key : english.keys())
        EXPECT_EQ(english.text(key).toStdString(), german.value(key).german.toStdString());
}

// The fuzz replay checks the plain command lines of its seeds (none, one
// archive, "--", help, version, two archives, an empty one, a colon, "file:"
// without slashes) against a plain reading of them, and the exit status and
// one-line error of every answer.
TEST(LauncherCommandLine, ArgumentsBecomeOneActionAndAtMostOnePath) {
    using Action = LauncherCommandLine::Action;
    const QString cwd = "/home/ana/ROMs";
    const std::tuple<QStringList, Action, QStringList> cases[] = {
        {{"../My ROMs/b r.zip"}, Action::Start, {"/home/ana/ROMs/../My ROMs/b r.zip"}},
        {{"file:///srv/roms/caf%C3%A9.zip"}, Action::Start, {"/srv/roms/café.zip"}},
        {{"-v"}, Action::ShowVersion, {}},
        {{"--help", "--bogus"}, Action::Fail, {}},
        {{"--version=2"}, Action::Fail, {}},
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
