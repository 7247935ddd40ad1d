#include "catalogue/artwork.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/gamelistcopies.h"
#include "catalogue/plistwriter.h"
#include "catalogue/romfolder.h"
#include "plisttestutil.h"
#include "support/testbundle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>
#include <utime.h>

using namespace kd;
using namespace kd::plist;
using kd::plist::test::dict;
using kd::plist::test::document;
using kd::plist::test::pointers;
using kd::test::readFile;
using kd::test::writeFile;

namespace {

// Backdates the file so that any rewrite shows in its modification time.
void backdate(const QString& path) {
    const utimbuf old{1'000'000'000, 1'000'000'000};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &old), 0);
}

qint64 mtime(const QString& path) {
    return QFileInfo(path).lastModified().toSecsSinceEpoch();
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
        ASSERT_TRUE(writeFile(path, QByteArray::fromStdString(bytes)));
        backdate(path);
        original = readFile(path);
    }

    QTemporaryDir dir;
    QString path;
    std::vector<Value> records;
    QByteArray original;
};

} // namespace

// Only a string name of a dictionary that can stand for an entry inside a
// folder: an empty one, or one of separators only, would make the artwork
// path `<folder>.png` beside the folder, and the system cuts a path short at a
// NUL (binary files can hold one). Found by the fuzzer: a name starting with
// U+FEFF lost it on the way to text, so "\uFEFF./b" named the file of "./b".
TEST(GameName, OnlyANameThatCanNameAFile) {
    using namespace std::string_literals;
    for (const char* name : {"astrovex", "caf\u00e9", "/lead", "..", "\xEF\xBB\xBF./b",
                             "\xEF\xBB\xBF\xEF\xBB\xBF", "\xEF\xBB\xBF"}) {
        const std::optional<QString> text = gameName(dict({{"name", name}, {"year", 1987}}));
        ASSERT_TRUE(text) << name;
        EXPECT_EQ(text->toUtf8(), name);
    }
    for (const std::string& name : {""s, "/"s, "///"s, "ab\0cd"s, "\0"s})
        EXPECT_EQ(gameName(dict({{"name", name}})), std::nullopt) << name;
    for (const Value& v : {Value(dict({{"name", 12}})), Value(dict({{"title", "x"}})),
                           Value("astrovex"), Value(Array{dict({{"name", "x"}})})})
        EXPECT_EQ(gameName(v), std::nullopt);
}

// A name with a "." or ".." part finds no archive and no picture, not even one
// waiting where it leads; other separators lead further down as before.
TEST(GameName, ANameWithADotPartFindsNoFileWhereItLeads) {
    QTemporaryDir dir;
    const QString roms = dir.filePath("r/roms"), snaps = dir.filePath("r/snaps");
    QImage picture(1, 1, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (const QString& folder : {dir.filePath("r"), roms, snaps})
        for (const char* base : {"/x", "/sub/x"}) {
            ASSERT_TRUE(writeFile(folder + base + ".zip", "zip"));
            ASSERT_TRUE(picture.save(folder + base + ".png"));
        }
    // A name, whether it stays in its folder, and the file it finds there.
    const std::tuple<const char*, bool, const char*> names[] = {
        {"x", true, "x"},         {"sub/x", true, "sub/x"},        {"/sub//x", true, "sub//x"},
        {"..x", true, nullptr},   {"x..", true, nullptr},          {"...", true, nullptr},
        {"../x", false, nullptr}, {"sub/../../x", false, nullptr}, {"/../x", false, nullptr},
        {"./x", false, nullptr},  {"sub/./x", false, nullptr},     {"sub/..", false, nullptr},
        {".", false, nullptr},    {"..", false, nullptr}};
    std::vector<Value> records;
    for (const auto& [name, stays, file] : names) {
        EXPECT_EQ(nameStaysInFolder(std::string_view(name)), stays) << name;
        EXPECT_EQ(nameStaysInFolder(QString::fromUtf8(name)), stays) << name;
        records.push_back(dict({{"name", name}}));
    }
    const std::vector<bool> available = availabilityOf(records, roms, listRomArchives(roms));
    const QString none = dir.filePath("none.jpg");
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& [name, stays, file] = names[i];
        EXPECT_EQ(available[i], file != nullptr) << name;
        EXPECT_EQ(chooseArtwork(snaps, QString::fromUtf8(name), {"png"}, none).path,
                  file ? QString(snaps + u'/' + file + ".png") : none)
            << name;
    }
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
    EXPECT_EQ(loadGameList(dir.filePath(QStringLiteral("missing.xml"))).status,
              GameListLoad::Status::NoFile);
    EXPECT_EQ(loadGameList(dir.path()).status, GameListLoad::Status::NotAList);
    const std::pair<std::string, const char*> notLists[] = {
        {document("<dict><key>name</key><string>x</string></dict>"), "not an array"},
        {document("<array>\n<integer>x</integer></array>"), "line 4"},
        {"", ""}};
    for (const auto& [bytes, reason] : notLists) {
        ASSERT_TRUE(writeFile(path, QByteArray::fromStdString(bytes)));
        load = loadGameList(path);
        EXPECT_EQ(load.status, GameListLoad::Status::NotAList) << bytes;
        EXPECT_TRUE(load.records.empty());
        EXPECT_TRUE(load.reason.contains(QLatin1StringView(reason))) << load.reason.toStdString();
    }
}

// The cache stands in for the file only while the file holds the very bytes it
// was made from: same size and time with other bytes is another list.
TEST_F(GameListFile, TheCacheIsBelievedOnlyForTheBytesItWasMadeFrom) {
    const QString cache = dir.filePath(QStringLiteral("cache/game-list.cache"));
    auto writeCache = [&](GameListLoad load, QString expectedError) {
        GameListController controller;
        controller.addObjects(std::move(load.records));
        QSignalSpy written(&controller, &GameListController::cacheWritten);
        controller.keepCache(cache, load.digest, load.fileSize);
        // A change at once waits until the writer has the list as it was read.
        controller.removeObject(0);
        ASSERT_TRUE(written.wait(10'000));
        EXPECT_EQ(written.at(0).at(0).toString().isEmpty(), expectedError.isEmpty());
        EXPECT_TRUE(written.at(0).at(0).toString().contains(expectedError));
    };
    GameListLoad load = loadGameList(path, cache);
    ASSERT_EQ(load.status, GameListLoad::Status::Loaded);
    EXPECT_FALSE(load.fromCache);
    writeCache(std::move(load), {});
    load = loadGameList(path, cache);
    EXPECT_TRUE(load.fromCache);
    EXPECT_EQ(load.records, records);

    QByteArray changed = original;
    changed.replace("alpha", "omega");
    ASSERT_TRUE(writeFile(path, changed));
    backdate(path);
    load = loadGameList(path, cache);
    EXPECT_FALSE(load.fromCache);
    EXPECT_EQ(gameName(load.records.at(1)), QStringLiteral("omega"));

    // A cache cut short is passed over; the list still comes from the file.
    ASSERT_TRUE(writeFile(path, original));
    const QByteArray whole = readFile(cache);
    ASSERT_TRUE(writeFile(cache, whole.left(whole.size() - 1)));
    load = loadGameList(path, cache);
    EXPECT_FALSE(load.fromCache);
    EXPECT_EQ(load.records, records);

    // Where no cache can be written, the controller says why.
    ASSERT_TRUE(QFile::remove(cache));
    ASSERT_TRUE(QDir(dir.path()).rmdir(QStringLiteral("cache")));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("cache")), "a file in the folder's place"));
    writeCache(std::move(load), QStringLiteral("cannot make the folder"));
}

// The exit check writes only when the records or their stored order changed.
TEST_F(GameListFile, AnUnchangedListLeavesTheFileUntouchedASortedOneIsRewritten) {
    EXPECT_EQ(saveGameListIfChanged(path, records, pointers(records)).status,
              GameListSave::Status::Unchanged);
    EXPECT_EQ(mtime(path), 1'000'000'000);
    const std::vector<const Value*> arranged = {&records[1], &records[0], &records[2]};
    EXPECT_EQ(saveGameListIfChanged(path, records, arranged).status, GameListSave::Status::Written);
    EXPECT_NE(mtime(path), 1'000'000'000);
    EXPECT_EQ(readFile(path), original);
}

// A missing file at a given path is created the same way.
TEST_F(GameListFile, AnAddedRecordLandsAtItsStoredPosition) {
    records.insert(records.begin() + 1, dict({{"name", "delta"}, {"players", 4}}));
    for (const QString& file : {path, dir.filePath(QStringLiteral("fresh.xml"))}) {
        EXPECT_EQ(saveGameListIfChanged(file, records, pointers(records)).status,
                  GameListSave::Status::Written);
        EXPECT_EQ(loadGameList(file).records, records);
    }
}

TEST_F(GameListFile, AFileThatIsNotAListIsNeverReplaced) {
    for (const std::string& bytes :
         {document("<dict/>"), document("<array><integer>99999999999999999999</integer></array>"),
          std::string("not a property list")}) {
        ASSERT_TRUE(writeFile(path, QByteArray::fromStdString(bytes)));
        backdate(path);
        const GameListSave save = saveGameListIfChanged(path, {}, {});
        EXPECT_EQ(save.status, GameListSave::Status::NotAList);
        EXPECT_FALSE(save.reason.isEmpty());
        EXPECT_EQ(readFile(path).toStdString(), bytes);
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
    EXPECT_EQ(readFile(path), original);

    const QString nowhere = dir.filePath(QStringLiteral("no-such-folder/Kaleidrome.xml"));
    save = saveGameListIfChanged(nowhere, records, pointers(records));
    EXPECT_EQ(save.status, GameListSave::Status::WriteFailed);
    EXPECT_FALSE(QFile::exists(nowhere));
}

// Every save that replaces the file keeps it as a dated copy, the newest ten;
// a restore keeps the damaged file beside the list and puts the copy in place,
// and a copy that is not a list restores nothing.
TEST_F(GameListFile, ReplacedListsAreKeptAndOneIsRestoredOverADamagedFile) {
    const QString copies = dir.filePath(QStringLiteral("copies"));
    GameListSaveOptions options;
    options.beforeReplacing = [&](const QString& replaced) {
        EXPECT_TRUE(keepGameListCopy(replaced, copies, 10));
    };
    std::vector<Value> list = records;
    for (int i = 0; i < 12; ++i) {
        list.push_back(dict({{"name", "game" + std::to_string(i)}}));
        ASSERT_EQ(saveGameListIfChanged(path, list, pointers(list), options).status,
                  GameListSave::Status::Written);
    }
    const std::vector<GameListCopy> kept = gameListCopies(copies);
    ASSERT_EQ(kept.size(), 10u);
    for (std::size_t i = 0; i < kept.size(); ++i) // newest first
        EXPECT_EQ(kept[i].games, qint64(records.size() + 11 - i));

    const QByteArray damaged = "<plist><array><dict>";
    ASSERT_TRUE(writeFile(path, damaged));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("not-a-list.xml")), damaged));
    EXPECT_FALSE(restoreGameListCopy(dir.filePath(QStringLiteral("not-a-list.xml")), path,
                                     QStringLiteral("damaged"))
                     .restored);
    const GameListRestore restore =
        restoreGameListCopy(kept[3].path, path, QStringLiteral("damaged"));
    ASSERT_TRUE(restore.restored) << restore.error.toStdString();
    EXPECT_EQ(countGameList(path), kept[3].games);
    EXPECT_TRUE(QFileInfo(restore.setAside).fileName().startsWith(u"Kaleidrome.damaged-"));
    EXPECT_EQ(readFile(restore.setAside), damaged);
}

// A list read from a folder the save cannot write goes to its new place only
// once it changed; the packaged file stays as it was.
TEST_F(GameListFile, AListReadElsewhereIsWrittenToItsNewPlaceOnlyWhenChanged) {
    const QString own = dir.filePath(QStringLiteral("own.xml"));
    GameListSaveOptions options;
    options.readFrom = path;
    EXPECT_EQ(saveGameListIfChanged(own, records, pointers(records), options).status,
              GameListSave::Status::Unchanged);
    EXPECT_FALSE(QFile::exists(own));
    records.pop_back();
    EXPECT_EQ(saveGameListIfChanged(own, records, pointers(records), options).status,
              GameListSave::Status::Written);
    EXPECT_EQ(loadGameList(own).records, records);
    EXPECT_EQ(readFile(path), original);
}
