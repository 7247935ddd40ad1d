// The list controller: the table model and its sorted view, the selection
// shared by both tables, and the filters above the arranged list (search words,
// only available games) with the ROM folder they consult; how the table's
// columns share its width.
#include "catalogue/columnfit.h"
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

using namespace kd;
using namespace kd::plist;
using kd::plist::test::arrangedNames;
using kd::plist::test::dict;

namespace {

std::vector<Value> sampleRecords() {
    return {dict({{"name", "bravo"}, {"title", "Bravo"}, {"year", 1990}, {"players", 2}}),
            dict({{"name", "alpha"}, {"year", 1995}, {"rating", 9.5}, {"genre", "puzzle"}}),
            Value("not a record"),
            dict({{"name", "charlie"}, {"year", -1}, {"maker", "Octavo Works"}})};
}

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

} // namespace

TEST(GameListController, ShowsStringsAndIntegersOnly) {
    GameListController c;
    c.addObjects(sampleRecords());
    c.addObjects({dict({{"name", "\xEF\xBB\xBF./b"}, {"maker", "\xEF\xBB\xBFOctavo"}})});
    c.addObjects({dict({{"name", "delta"}, {"year", 1.5}})});
    const GameListModel& m = *c.model();
    // Shown and sorted as the file holds it, a leading U+FEFF too.
    for (const int role : {int(Qt::DisplayRole), int(GameListModel::SortRole)}) {
        EXPECT_EQ(m.data(m.index(4, GameListModel::Name), role).toString(), u"\uFEFF./b");
        EXPECT_EQ(m.data(m.index(4, GameListModel::Maker), role).toString(), u"\uFEFFOctavo");
    }
    EXPECT_EQ(m.data(m.index(0, GameListModel::Name)).toString(), QStringLiteral("bravo"));
    EXPECT_EQ(m.data(m.index(0, GameListModel::Year)).toString(), QStringLiteral("1990"));
    EXPECT_EQ(m.data(m.index(0, GameListModel::Year), GameListModel::SortRole).typeId(),
              QMetaType::LongLong); // sorted as a number, not as text
    EXPECT_EQ(m.data(m.index(3, GameListModel::Year)).toString(), QStringLiteral("-1"));
    EXPECT_EQ(m.data(m.index(3, GameListModel::Maker)).toString(), QStringLiteral("Octavo Works"));
    EXPECT_FALSE(m.data(m.index(1, GameListModel::Title)).isValid());
    EXPECT_FALSE(m.data(m.index(2, GameListModel::Name)).isValid());
    EXPECT_EQ(m.data(m.index(1, GameListModel::Year), GameListModel::SortRole), QVariant(1995LL));
    // A real shows nothing but sorts as the number it is.
    EXPECT_FALSE(m.data(m.index(5, GameListModel::Year)).isValid());
    EXPECT_EQ(m.data(m.index(5, GameListModel::Year), GameListModel::SortRole), QVariant(1.5));
    // The text other windows take from a record is what its cell shows.
    for (int row = 0; row < m.rowCount(); ++row)
        for (int column = 0; column < GameListModel::ColumnCount; ++column)
            EXPECT_EQ(GameListModel::displayText(c.content()[std::size_t(row)], column),
                      column < GameListModel::RecordColumnCount
                          ? m.data(m.index(row, column)).toString()
                          : QString())
                << row << ' ' << column;
    EXPECT_EQ(m.headerData(GameListModel::Players, Qt::Horizontal).toString(),
              QStringLiteral("Players"));

    // A cell shows the start of a huge text (what it shows is measured at every
    // paint), never half a character; the text sorts and is searched whole.
    const std::string huge =
        std::string(999, 'z') + QByteArray("\xF0\x9F\x98\x80").repeated(1 << 20).toStdString();
    c.addObjects({dict({{"name", "huge"}, {"title", huge}})});
    const QModelIndex title = m.index(6, GameListModel::Title);
    EXPECT_EQ(title.data().toString(), QString(999, u'z') + u'\u2026');
    EXPECT_EQ(title.data(GameListModel::SortRole).toString().toStdString(), huge);
    EXPECT_EQ(GameListModel::displayText(c.content()[6], GameListModel::Title).toStdString(), huge);
}

// Both models pass Qt's model tester throughout.
TEST(GameListController, SortingChangesTheArrangedListNotTheStoredOne) {
    GameListController c;
    using Tester = QAbstractItemModelTester;
    Tester sourceTester(c.model(), Tester::FailureReportingMode::Fatal);
    Tester proxyTester(c.proxyModel(), Tester::FailureReportingMode::Fatal);
    c.addObjects(sampleRecords());
    EXPECT_EQ(arrangedNames(c), QStringList({"bravo", "alpha", "-", "charlie"}));
    c.proxyModel()->sort(GameListModel::Year, Qt::AscendingOrder);
    // Records without the key sort after every value.
    EXPECT_EQ(arrangedNames(c), QStringList({"charlie", "bravo", "alpha", "-"}));
    c.proxyModel()->sort(GameListModel::Name, Qt::AscendingOrder);
    EXPECT_EQ(arrangedNames(c), QStringList({"alpha", "bravo", "charlie", "-"}));
    EXPECT_EQ(c.content(), sampleRecords());
    c.addObjects({dict({{"name", "aardvark"}})});
    c.addObjects({});
    EXPECT_EQ(c.proxyModel()->rowCount(), 5);
    EXPECT_EQ(gameName(c.content().back()), QStringLiteral("aardvark"));
    EXPECT_EQ(arrangedNames(c).mid(0, 2), QStringList({"aardvark", "alpha"}));
}

TEST(GameListController, SelectionFollowsTheArrangedList) {
    GameListController c;
    QSignalSpy changed(&c, &GameListController::selectionChanged);
    EXPECT_EQ(c.selectionIndex(), GameListController::NotFound);
    EXPECT_EQ(c.selection(), nullptr);
    c.setSelectionIndex(0);
    EXPECT_EQ(c.selectionIndex(), GameListController::NotFound);

    c.addObjects(sampleRecords());
    c.setSelectionIndex(1);
    EXPECT_EQ(c.selectionIndex(), 1);
    ASSERT_NE(c.selection(), nullptr);
    EXPECT_EQ(gameName(*c.selection()), QStringLiteral("alpha"));
    EXPECT_EQ(changed.count(), 1);

    // Sorting moves the selected record; the selection stays with it.
    c.proxyModel()->sort(GameListModel::Name, Qt::AscendingOrder);
    EXPECT_EQ(gameName(*c.selection()), QStringLiteral("alpha"));
    EXPECT_EQ(c.selectionIndex(), 0);
    c.setSelectionIndex(2);
    EXPECT_EQ(gameName(*c.selection()), QStringLiteral("charlie"));

    c.setSelectionIndex(4);
    EXPECT_EQ(c.selectionIndex(), GameListController::NotFound);
    EXPECT_EQ(c.selection(), nullptr);
    c.setSelectionIndex(-1);
    EXPECT_EQ(changed.count(), 3);
}

TEST(Search, FoldsCaseAndAccentsEveryWordMustMatchSomeShownFieldTheArrangedListKeepsAll) {
    EXPECT_EQ(foldForSearch(u"Café"), "cafe");
    EXPECT_EQ(foldForSearch(u"ÉCOLE des FÛTS"), "ecole des futs");
    EXPECT_EQ(foldForSearch(u"\uFB01re"), "fire"); // a ligature
    EXPECT_EQ(searchWords(QStringLiteral("  Café\tRACER  ")),
              (std::vector<std::string>{"cafe", "racer"}));
    EXPECT_TRUE(searchWords(QStringLiteral(" \t ")).empty());

    GameListController c;
    QAbstractItemModelTester tester(c.shownModel(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    c.addObjects(games());
    const struct {
        const char* text;
        QStringList shown;
    } cases[] = {
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
    for (const auto& test : cases) {
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

// The desktop's search ranks: title starting with the first word, every word in
// the title, a match elsewhere; stored order within each; at most the limit.
TEST(Search, BestMatchesRankTitlesFirstAndStopAtTheLimit) {
    GameListController c;
    c.addObjects(games());
    c.addObjects({dict({{"name", "zap"}, {"title", "Moon Zapper"}, {"maker", "Racer Works"}}),
                  dict({{"name", "big"}, {"title", "Big Racer"}}),
                  dict({{"name", "racer9"}, {"title", "Racer IX"}})});
    c.setSearchText(QStringLiteral("nothing"));
    const auto names = [&c](const QString& text, std::size_t limit) {
        QStringList found;
        for (std::size_t stored : c.bestMatches(text, limit))
            found << *gameName(c.content()[stored]);
        return found;
    };
    EXPECT_EQ(names(QStringLiteral("racer"), 20),
              QStringList({"racer2", "racer9", "cafe", "big", "zap"}));
    EXPECT_EQ(names(QStringLiteral("RACER ii"), 20), QStringList({"racer2"}));
    EXPECT_EQ(names(QStringLiteral("racer"), 3), QStringList({"racer2", "racer9", "cafe"}));
    EXPECT_EQ(names(QStringLiteral("kestrel"), 20), QStringList({"bolt"}));
    EXPECT_TRUE(names(QStringLiteral(" "), 20).isEmpty());
    EXPECT_EQ(c.shownCount(), 0) << "the table's filter is not the desktop's";
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

TEST(Availability, OnlyRegularArchivesCountTheFilterHidesTheOthersNewRecordsAreNamed) {
    QTemporaryDir dir;
    const QString roms = dir.path();
    // Neither a folder (racer2) nor another extension (racer3) is an archive.
    for (const char* file : {"cafe.zip", "elsewhere.zip", "racer3.ZIP", "sub/deep.zip"})
        ASSERT_TRUE(kd::test::writeFile(roms + "/" + file, "zip"));
    ASSERT_TRUE(QFile::link(roms + "/elsewhere.zip", roms + "/bolt.zip"));
    ASSERT_TRUE(QFile::link("/nowhere/x.zip", roms + "/ecole.zip"));
    ASSERT_TRUE(QDir(roms).mkpath("racer2.zip"));

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

    // A new record is named after its archive.
    EXPECT_EQ(newGameRecord(QStringLiteral("bolt_runner-2")),
              Value(dict({{"name", "bolt_runner-2"}, {"title", "Bolt Runner 2"}})));
    EXPECT_EQ(newGameRecord(QStringLiteral("__")), Value(dict({{"name", "__"}, {"title", "__"}})));
}

TEST(Availability, TheWatcherListsTheNewestFolder) {
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
    // Another folder is listed at once, and only the newest listing is reported.
    // (That a change inside the folder lists it again GameListView checks.)
    QTemporaryDir other;
    ASSERT_TRUE(kd::test::writeFile(other.filePath("boltrunner.zip"), "zip"));
    watcher.setFolder(dir.path() + "/missing");
    watcher.setFolder(other.path());
    ASSERT_TRUE(kd::test::waitUntil([&] { return lastFolder == other.path(); }));
    EXPECT_EQ(*last, RomArchiveNames{"boltrunner"});
}

TEST(FitColumns, EveryColumnFitsWhenItCan) {
    const struct {
        const char* what;
        std::vector<int> wanted, shares;
        int available;
        std::vector<int> widths;
    } cases[] = {
        {"all fit", {90, 300, 50}, {0, 1, 0}, 440, {90, 300, 50}},
        {"one long column gives way", {90, 300, 50}, {0, 1, 0}, 400, {90, 260, 50}},
        // The narrow column keeps its width; the two wide ones share the rest.
        {"a common cap", {80, 400, 60, 300}, {0, 1, 1, 1}, 500, {80, 180, 60, 180}},
        {"by their shares", {80, 400, 60, 300}, {0, 2, 1, 1}, 500, {80, 240, 60, 120}},
        {"never below the minimum", {300, 200, 200}, {0, 1, 1}, 350, {300, 40, 40}},
        {"nothing may shrink", {300, 300}, {0, 0}, 100, {300, 300}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fitColumns(c.wanted, c.shares, c.available, 40), c.widths) << c.what;
}
