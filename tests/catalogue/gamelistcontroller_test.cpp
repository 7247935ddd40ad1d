#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "plisttestutil.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <gtest/gtest.h>

using namespace kd;
using namespace kd::plist;
using kd::plist::test::dict;

namespace {

std::vector<Value> sampleRecords() {
    return {dict({{"name", "bravo"}, {"title", "Bravo"}, {"year", 1990}, {"players", 2}}),
            dict({{"name", "alpha"}, {"year", 1995}, {"rating", 9.5}, {"genre", "puzzle"}}),
            Value("not a record"),
            dict({{"name", "charlie"}, {"year", -1}, {"maker", "Octavo Works"}})};
}

QStringList arrangedNames(const GameListController& c) {
    QStringList names;
    for (const Value* v : c.arrangedObjects())
        names << gameName(*v).value_or(QStringLiteral("-"));
    return names;
}

} // namespace

TEST(GameListController, ModelsPassTheModelTester) {
    GameListController c;
    QAbstractItemModelTester sourceTester(c.model(),
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester proxyTester(c.proxyModel(),
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    c.addObjects(sampleRecords());
    c.proxyModel()->sort(GameListModel::Year, Qt::DescendingOrder);
    c.addObjects({dict({{"name", "delta"}, {"year", 2000}})});
    c.addObjects({});
    EXPECT_EQ(c.proxyModel()->rowCount(), 5);
}

TEST(GameListController, ShowsStringsAndIntegersOnly) {
    GameListController c;
    c.addObjects(sampleRecords());
    const GameListModel& m = *c.model();
    EXPECT_EQ(m.data(m.index(0, GameListModel::Name)).toString(), QStringLiteral("bravo"));
    EXPECT_EQ(m.data(m.index(0, GameListModel::Year)).toString(), QStringLiteral("1990"));
    EXPECT_EQ(m.data(m.index(3, GameListModel::Year)).toString(), QStringLiteral("-1"));
    EXPECT_EQ(m.data(m.index(3, GameListModel::Maker)).toString(), QStringLiteral("Octavo Works"));
    EXPECT_FALSE(m.data(m.index(1, GameListModel::Title)).isValid());
    EXPECT_FALSE(m.data(m.index(2, GameListModel::Name)).isValid());
    EXPECT_EQ(m.data(m.index(1, GameListModel::Year), GameListModel::SortRole), QVariant(1995LL));
    EXPECT_EQ(m.headerData(GameListModel::Players, Qt::Horizontal).toString(),
              QStringLiteral("Players"));
}

// The table shows and sorts a text as the file holds it, a leading U+FEFF too.
TEST(GameListController, TextsKeepALeadingByteOrderMark) {
    GameListController c;
    c.addObjects({dict({{"name", "\xEF\xBB\xBF./b"}, {"maker", "\xEF\xBB\xBFOctavo"}})});
    const GameListModel& m = *c.model();
    for (const int role : {int(Qt::DisplayRole), int(GameListModel::SortRole)}) {
        EXPECT_EQ(m.data(m.index(0, GameListModel::Name), role).toString(),
                  QStringLiteral("\uFEFF./b"));
        EXPECT_EQ(m.data(m.index(0, GameListModel::Maker), role).toString(),
                  QStringLiteral("\uFEFFOctavo"));
    }
}

TEST(GameListController, SortingChangesTheArrangedListNotTheStoredOne) {
    GameListController c;
    c.addObjects(sampleRecords());
    EXPECT_EQ(arrangedNames(c), QStringList({"bravo", "alpha", "-", "charlie"}));
    c.proxyModel()->sort(GameListModel::Year, Qt::AscendingOrder);
    // Records without the key sort after every value.
    EXPECT_EQ(arrangedNames(c), QStringList({"charlie", "bravo", "alpha", "-"}));
    c.proxyModel()->sort(GameListModel::Name, Qt::AscendingOrder);
    EXPECT_EQ(arrangedNames(c), QStringList({"alpha", "bravo", "charlie", "-"}));
    EXPECT_EQ(c.content(), sampleRecords());
    c.addObjects({dict({{"name", "aardvark"}})});
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

TEST(GameListController, TablesShareTheSelectionAndStartInStoredOrder) {
    GameListController c;
    c.addObjects(sampleRecords());
    QTableView first, second;
    c.attachView(&first);
    c.attachView(&second);
    EXPECT_EQ(arrangedNames(c), QStringList({"bravo", "alpha", "-", "charlie"}));

    QSignalSpy changed(&c, &GameListController::selectionChanged);
    first.selectRow(3);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(c.selectionIndex(), 3);
    EXPECT_TRUE(second.selectionModel()->isRowSelected(3, {}));

    second.sortByColumn(GameListModel::Year, Qt::DescendingOrder);
    EXPECT_EQ(arrangedNames(c), QStringList({"-", "alpha", "bravo", "charlie"}));
    EXPECT_EQ(gameName(*c.selection()), QStringLiteral("charlie"));
    EXPECT_EQ(first.horizontalHeader()->sortIndicatorSection(), -1);
}
