// The view filters above the arranged list (search words, only available
// games) and the ROM folder they consult.
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/gamesearch.h"
#include "catalogue/romfolder.h"
#include "plisttestutil.h"
#include "support/runhelpers.h"
#include "support/testbundle.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

using namespace kd;
using namespace kd::plist;
using kd::plist::test::dict;

namespace {

std::vector<Value> games() {
    return {
        dict({{"name", "cafe"}, {"title", "Café Racer"}, {"year", 1991}, {"maker", "Octavo"}}),
        dict({{"name", "bolt"}, {"title", "Bolt Runner"}, {"year", 1987}, {"maker", "Kestrel"}}),
        dict({{"name", "ecole"}, {"title", "ÉCOLE DES FÛTS"}, {"year", 1999}}),
        Value("not a record"),
        dict({{"name", "racer2"}, {"title", "Racer II"}, {"genre", "racing"}, {"players", 2}})};
}

QStringList shownNames(GameListController& c) {
    QStringList names;
    ShownRowsProxy* shown = c.shownModel();
    for (int row = 0; row < shown->rowCount(); ++row)
        names << shown->index(row, GameListModel::Name).data().toString();
    return names;
}

QStringList arrangedNames(const GameListController& c) {
    QStringList names;
    for (const Value* v : c.arrangedObjects())
        names << gameName(*v).value_or(QStringLiteral("-"));
    return names;
}

TEST(Search, FoldsCaseAndAccents) {
    EXPECT_EQ(foldForSearch(u"Café"), "cafe");
    EXPECT_EQ(foldForSearch(u"ÉCOLE des FÛTS"), "ecole des futs");
    EXPECT_EQ(foldForSearch(u"\uFB01re"), "fire"); // a ligature
    EXPECT_EQ(searchWords(QStringLiteral("  Café\tRACER  ")),
              (std::vector<std::string>{"cafe", "racer"}));
    EXPECT_TRUE(searchWords(QStringLiteral(" \t ")).empty());
}

TEST(Search, EveryWordMustMatchSomeShownFieldAndTheArrangedListKeepsEverything) {
    GameListController c;
    QAbstractItemModelTester tester(c.shownModel(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    c.addObjects(games());
    struct Case {
        const char* text;
        QStringList shown;
    };
    const Case cases[] = {
        {"cafe", {"cafe"}},
        {"CAFÉ", {"cafe"}},
        {"racer", {"cafe", "racer2"}},
        {"racer 1991", {"cafe"}}, // both words, different fields
        {"racer 2", {"racer2"}},  // the players of one, not the year of the other
        {"ecole futs", {"ecole"}},
        {"runner1987", {}}, // a word never spans two fields
        {"octavo kestrel", {}},
        {"", {"cafe", "bolt", "ecole", "", "racer2"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        c.setSearchText(QString::fromUtf8(test.text));
        EXPECT_EQ(shownNames(c), test.shown);
        EXPECT_EQ(arrangedNames(c), QStringList({"cafe", "bolt", "ecole", "-", "racer2"}));
    }
    // Sorting while filtered sorts the arranged list; the filter stays.
    c.setSearchText(QStringLiteral("racer"));
    c.shownModel()->sort(GameListModel::Year, Qt::AscendingOrder);
    EXPECT_EQ(arrangedNames(c), QStringList({"bolt", "cafe", "ecole", "-", "racer2"}));
    EXPECT_EQ(shownNames(c), QStringList({"cafe", "racer2"}));
    // Records added and removed while filtered are searched too.
    c.addObjects({dict({{"name", "racer3"}, {"title", "Racer III"}})});
    EXPECT_EQ(shownNames(c), QStringList({"cafe", "racer2", "racer3"}));
    c.removeObject(0);
    EXPECT_EQ(shownNames(c), QStringList({"racer2", "racer3"}));
    EXPECT_EQ(c.content().size(), 5u);
}

TEST(Search, SelectionFollowsWhatTheFiltersShow) {
    GameListController c;
    c.addObjects(games());
    QSignalSpy changed(&c, &GameListController::selectionChanged);
    c.setSelectionIndex(1); // bolt
    c.setSearchText(QStringLiteral("r"));
    EXPECT_EQ(c.selectionIndex(), 1) << "a selection still shown stays";
    c.setSearchText(QStringLiteral("racer"));
    EXPECT_EQ(c.selectionIndex(), GameListController::NotFound) << "a hidden game is not selected";
    EXPECT_EQ(c.selection(), nullptr);
    c.setSelectionIndex(1); // hidden: nothing
    EXPECT_EQ(c.selectionIndex(), GameListController::NotFound);
    c.setSelectionIndex(4); // shown as the second row, still arranged index 4
    EXPECT_EQ(c.selectionIndex(), 4);
    c.setSearchText(QStringLiteral("ecole"));
    EXPECT_EQ(c.selectionIndex(), 2) << "a lone game left is selected";
    EXPECT_EQ(gameName(*c.selection()), QStringLiteral("ecole"));
    EXPECT_GE(changed.count(), 4);
}

TEST(Availability, OnlyRegularArchivesCountAndTheFilterHidesTheOthers) {
    QTemporaryDir dir;
    const QString roms = dir.path();
    ASSERT_TRUE(kd::test::writeFile(roms + "/cafe.zip", "zip"));
    ASSERT_TRUE(kd::test::writeFile(roms + "/elsewhere.zip", "zip"));
    ASSERT_EQ(::symlink(QFile::encodeName(roms + "/elsewhere.zip").constData(),
                        QFile::encodeName(roms + "/bolt.zip").constData()),
              0);
    ASSERT_EQ(::symlink("/nowhere/x.zip", QFile::encodeName(roms + "/ecole.zip").constData()), 0);
    ASSERT_TRUE(QDir(roms).mkpath("racer2.zip"));                  // a folder is no archive
    ASSERT_TRUE(kd::test::writeFile(roms + "/racer3.ZIP", "zip")); // nor another extension
    ASSERT_TRUE(QDir(roms).mkpath("sub"));
    ASSERT_TRUE(kd::test::writeFile(roms + "/sub/deep.zip", "zip"));

    const RomArchiveNames archives = listRomArchives(roms);
    EXPECT_EQ(archives, (RomArchiveNames{"cafe", "bolt", "elsewhere"}));
    std::vector<Value> records = games();
    records.push_back(dict({{"name", "sub/deep"}}));
    EXPECT_EQ(availabilityOf(records, roms, archives),
              (std::vector<bool>{true, true, false, false, false, true}));
    EXPECT_EQ(availabilityOf(records, QString(), archives), std::vector<bool>(6, false));
    EXPECT_TRUE(listRomArchives(roms + "/missing").empty());

    GameListController c;
    c.addObjects(std::move(records));
    c.setShowOnlyAvailable(true);
    EXPECT_EQ(shownNames(c), QStringList()) << "nothing is known to be there yet";
    c.setAvailability(availabilityOf(c.content(), roms, archives));
    EXPECT_EQ(shownNames(c), QStringList({"cafe", "bolt", "sub/deep"}));
    EXPECT_EQ(c.model()->index(0, GameListModel::Available).data().toString(),
              QStringLiteral("\u2713"));
    c.setSearchText(QStringLiteral("bolt"));
    EXPECT_EQ(shownNames(c), QStringList({"bolt"}));
    c.setShowOnlyAvailable(false);
    c.setSearchText(QString());
    EXPECT_EQ(c.shownCount(), 6);
}

TEST(Availability, TheWatcherListsAgainWhenTheFolderChanges) {
    QTemporaryDir dir;
    RomFolderWatcher watcher;
    watcher.settleDelay = std::chrono::milliseconds(20);
    std::shared_ptr<const RomArchiveNames> last;
    QString lastFolder;
    QObject::connect(&watcher, &RomFolderWatcher::listed,
                     [&](const QString& folder, std::shared_ptr<const RomArchiveNames> names) {
                         lastFolder = folder;
                         last = std::move(names);
                     });
    watcher.setFolder(dir.path());
    ASSERT_TRUE(kd::test::waitUntil([&] { return last != nullptr; }));
    EXPECT_TRUE(last->empty());
    ASSERT_TRUE(kd::test::writeFile(dir.filePath("astrovex.zip"), "zip"));
    ASSERT_TRUE(kd::test::waitUntil([&] { return last->contains("astrovex"); }));
    ASSERT_TRUE(QFile::remove(dir.filePath("astrovex.zip")));
    ASSERT_TRUE(kd::test::waitUntil([&] { return last->empty(); }));

    // Another folder is listed at once, and only the newest listing is reported.
    QTemporaryDir other;
    ASSERT_TRUE(kd::test::writeFile(other.filePath("boltrunner.zip"), "zip"));
    watcher.setFolder(dir.path() + "/missing");
    watcher.setFolder(other.path());
    ASSERT_TRUE(kd::test::waitUntil([&] { return lastFolder == other.path(); }));
    EXPECT_EQ(*last, RomArchiveNames{"boltrunner"});
}

TEST(Availability, ANewRecordIsNamedAfterItsArchive) {
    EXPECT_EQ(newGameRecord(QStringLiteral("bolt_runner-2")),
              Value(dict({{"name", "bolt_runner-2"}, {"title", "Bolt Runner 2"}})));
    EXPECT_EQ(newGameRecord(QStringLiteral("__")), Value(dict({{"name", "__"}, {"title", "__"}})));
}

} // namespace
