#include "catalogue/gamelist.h"
#include "catalogue/plistwriter.h"
#include "plisttestutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

using namespace kd;
using namespace kd::plist;
using kd::plist::test::dict;
using kd::plist::test::document;

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const std::string& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), qsizetype(bytes.size()));
}

// Backdates the file so that any rewrite shows in its modification time.
void backdate(const QString& path) {
    const utimbuf old{1'000'000'000, 1'000'000'000};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &old), 0);
}

qint64 mtime(const QString& path) {
    return QFileInfo(path).lastModified().toSecsSinceEpoch();
}

std::vector<const Value*> pointers(const std::vector<Value>& v) {
    std::vector<const Value*> out;
    for (const Value& x : v)
        out.push_back(&x);
    return out;
}

class GameListFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("Kaleidrome.xml"));
        records = {dict({{"name", "bravo"}, {"year", 1990}}),
                   dict({{"name", "alpha"}, {"year", 1995}, {"rating", 0.1}}),
                   dict({{"name", "charlie"}, {"added", Date{-3187296000, 0}}})};
        std::string bytes;
        ASSERT_TRUE(writeXmlArray(records, bytes));
        writeBytes(path, bytes);
        backdate(path);
        original = contents(path);
    }

    QTemporaryDir dir;
    QString path;
    std::vector<Value> records;
    QByteArray original;
};

} // namespace

TEST(GameName, OnlyAStringNameOfADictionary) {
    EXPECT_EQ(gameName(dict({{"name", "astrovex"}, {"year", 1987}})), QStringLiteral("astrovex"));
    EXPECT_EQ(gameName(dict({{"name", "caf\u00e9"}})), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(gameName(dict({{"name", 12}})), std::nullopt);
    EXPECT_EQ(gameName(dict({{"title", "x"}})), std::nullopt);
    EXPECT_EQ(gameName(Value("astrovex")), std::nullopt);
    EXPECT_EQ(gameName(Array{dict({{"name", "x"}})}), std::nullopt);
}

// Found by the fuzzer: a name starting with U+FEFF lost it on the way to
// text, so "\uFEFF./b" named the file of another record, "./b". Every
// character stays, at the start as anywhere else.
TEST(GameName, ALeadingByteOrderMarkIsPartOfTheName) {
    EXPECT_EQ(gameName(dict({{"name", "\xEF\xBB\xBF./b"}})), QStringLiteral("\uFEFF./b"));
    EXPECT_EQ(gameName(dict({{"name", "\xEF\xBB\xBF\xEF\xBB\xBF"}})),
              QStringLiteral("\uFEFF\uFEFF"));
    EXPECT_EQ(gameName(dict({{"name", "\xEF\xBB\xBF"}})), QStringLiteral("\uFEFF"));
}

TEST(GameListLoad, TheBundledListHasItsTwelveGames) {
    const GameListLoad load =
        loadGameList(QStringLiteral(KD_SOURCE_DIR "/resources/bundle/Kaleidrome.xml"));
    ASSERT_EQ(load.status, GameListLoad::Status::Loaded) << load.reason.toStdString();
    QStringList names;
    for (const Value& r : load.records) {
        names << gameName(r).value_or(QString());
        const Dictionary& d = *r.dictionary();
        EXPECT_TRUE(d.find("title") && d.find("title")->string());
        EXPECT_TRUE(d.find("year") && d.find("year")->integer());
        EXPECT_TRUE(d.find("players") && d.find("players")->integer());
    }
    EXPECT_EQ(names.join(u' '), QStringLiteral("astrovex boltrunner cometkai drumtek fenlight "
                                               "glimmora hexaball ionrally jadeknot kitefall "
                                               "lumora mosspath"));
}

TEST_F(GameListFile, LoadsRecordsAndTellsWhyAFileIsNotAList) {
    GameListLoad load = loadGameList(path);
    EXPECT_EQ(load.status, GameListLoad::Status::Loaded);
    EXPECT_EQ(load.records, records);

    load = loadGameList(dir.filePath(QStringLiteral("missing.xml")));
    EXPECT_EQ(load.status, GameListLoad::Status::NoFile);

    writeBytes(path, document("<dict><key>name</key><string>x</string></dict>"));
    load = loadGameList(path);
    EXPECT_EQ(load.status, GameListLoad::Status::NotAList);
    EXPECT_TRUE(load.records.empty());
    EXPECT_TRUE(load.reason.contains(QStringLiteral("not an array")));

    writeBytes(path, document("<array>\n<integer>x</integer></array>"));
    load = loadGameList(path);
    EXPECT_EQ(load.status, GameListLoad::Status::NotAList);
    EXPECT_TRUE(load.records.empty());
    EXPECT_TRUE(load.reason.contains(QStringLiteral("line 4"))) << load.reason.toStdString();

    writeBytes(path, "");
    EXPECT_EQ(loadGameList(path).status, GameListLoad::Status::NotAList);
    EXPECT_EQ(loadGameList(dir.path()).status, GameListLoad::Status::NotAList);

    // Elements that are not records are data too.
    writeBytes(path, document("<array><string>loose</string><dict/></array>"));
    load = loadGameList(path);
    EXPECT_EQ(load.status, GameListLoad::Status::Loaded);
    EXPECT_EQ(load.records, (std::vector<Value>{"loose", Dictionary{}}));
}

TEST_F(GameListFile, AnUnchangedListLeavesTheFileUntouched) {
    const qint64 before = mtime(path);
    const GameListSave save = saveGameListIfChanged(path, records, pointers(records));
    EXPECT_EQ(save.status, GameListSave::Status::Unchanged);
    EXPECT_EQ(contents(path), original);
    EXPECT_EQ(mtime(path), before);
}

TEST_F(GameListFile, ASortedTableRewritesTheStoredOrder) {
    const std::vector<const Value*> arranged = {&records[1], &records[0], &records[2]};
    const GameListSave save = saveGameListIfChanged(path, records, arranged);
    EXPECT_EQ(save.status, GameListSave::Status::Written);
    EXPECT_NE(mtime(path), 1'000'000'000);
    EXPECT_EQ(contents(path), original);
    EXPECT_EQ(loadGameList(path).records, records);
}

TEST_F(GameListFile, AnAddedRecordLandsAtItsStoredPosition) {
    records.insert(records.begin() + 1, dict({{"name", "delta"}, {"players", 4}}));
    const GameListSave save = saveGameListIfChanged(path, records, pointers(records));
    EXPECT_EQ(save.status, GameListSave::Status::Written);
    const GameListLoad load = loadGameList(path);
    ASSERT_EQ(load.records.size(), 4u);
    EXPECT_EQ(load.records, records);
    EXPECT_EQ(gameName(load.records[1]), QStringLiteral("delta"));
}

TEST_F(GameListFile, AFileThatIsNotAListIsNeverReplaced) {
    for (const std::string& bytes :
         {document("<dict/>"), document("<array><integer>99999999999999999999</integer></array>"),
          std::string("not a property list")}) {
        writeBytes(path, bytes);
        backdate(path);
        const GameListSave save = saveGameListIfChanged(path, {}, {});
        EXPECT_EQ(save.status, GameListSave::Status::NotAList);
        EXPECT_FALSE(save.reason.isEmpty());
        EXPECT_EQ(contents(path).toStdString(), bytes);
        EXPECT_EQ(mtime(path), 1'000'000'000);
    }
}

TEST_F(GameListFile, FailuresWriteNothing) {
    // A record with no XML form: the serialiser says so and the file stays.
    std::vector<Value> bad = records;
    bad.push_back(dict({{"name", "bell\x07"}}));
    GameListSave save = saveGameListIfChanged(path, bad, pointers(bad));
    EXPECT_EQ(save.status, GameListSave::Status::SerialiseFailed);
    EXPECT_TRUE(save.reason.contains(QStringLiteral("control character")));
    EXPECT_EQ(contents(path), original);

    const QString nowhere = dir.filePath(QStringLiteral("no-such-folder/Kaleidrome.xml"));
    save = saveGameListIfChanged(nowhere, records, pointers(records));
    EXPECT_EQ(save.status, GameListSave::Status::WriteFailed);
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST_F(GameListFile, AMissingFileAtAGivenPathIsCreated) {
    const QString fresh = dir.filePath(QStringLiteral("fresh.xml"));
    EXPECT_EQ(saveGameListIfChanged(fresh, records, pointers(records)).status,
              GameListSave::Status::Written);
    EXPECT_EQ(loadGameList(fresh).records, records);
}
