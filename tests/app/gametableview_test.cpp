// The game table showing the list controller's rows: both tables share one
// selection of one whole game, and start in stored order until a header sorts.
#include "app/windows/gametableview.h"
#include "catalogue/plisttestutil.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace kd {
namespace {

using plist::test::arrangedNames;
using plist::test::dict;

void click(GameTableView& table, int row, Qt::KeyboardModifiers modifiers = {}) {
    const QRect cell = table.visualRect(table.model()->index(row, GameListModel::Year));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, modifiers, cell.center());
}

TEST(GameTableView, TablesShareOneSelectedGameAndStartInStoredOrder) {
    GameListController list;
    list.addObjects({dict({{"name", "bravo"}, {"year", 1990}}),
                     dict({{"name", "alpha"}, {"year", 1995}}), plist::Value("not a record"),
                     dict({{"name", "charlie"}, {"year", 1980}})});
    GameTableView first, second;
    for (GameTableView* table : {&first, &second}) {
        table->showGameList(&list);
        table->resize(600, 300);
        table->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(table));
    }
    EXPECT_EQ(arrangedNames(list), (QStringList{"bravo", "alpha", "-", "charlie"}));
    EXPECT_EQ(first.horizontalHeader()->sortIndicatorSection(), -1);

    // A click on a cell selects its whole game, in both tables.
    QSignalSpy changed(&list, &GameListController::selectionChanged);
    click(first, 3);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(list.selectionIndex(), 3);
    EXPECT_TRUE(second.selectionModel()->isRowSelected(3, {}));
    // One game at a time, Ctrl or not.
    click(first, 1, Qt::ControlModifier);
    EXPECT_EQ(list.selectionIndex(), 1);
    EXPECT_EQ(first.selectionModel()->selectedRows().size(), 1);

    // A click on a header sorts the arranged list; the selected game goes along.
    QHeaderView* header = second.horizontalHeader();
    const QPoint year(header->sectionViewportPosition(GameListModel::Year) + 4, 4);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, year);
    ASSERT_EQ(header->sortIndicatorSection(), GameListModel::Year);
    // A record without a year sorts as if above every year.
    EXPECT_EQ(arrangedNames(list).join(' '), header->sortIndicatorOrder() == Qt::AscendingOrder
                                                 ? "charlie bravo alpha -"
                                                 : "- alpha bravo charlie");
    EXPECT_EQ(gameName(*list.selection()), QStringLiteral("alpha"));
    EXPECT_EQ(first.horizontalHeader()->sortIndicatorSection(), -1);
}

} // namespace
} // namespace kd
