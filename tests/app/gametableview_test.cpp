// The game table showing the list controller's rows: both tables share one
// selection of one whole game, and start in stored order until a header sorts.
#include "app/windows/gametableview.h"
#include "catalogue/plisttestutil.h"

#include <QHeaderView>
#include <QMenu>
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

// The width left over goes to the titles, which give it back first; no other
// column is wider than it needs, squeezed ones never cut their header, and
// the star's entry in the column menu has a name beside it.
TEST(GameTableView, TitlesTakeTheSpareWidthAndHeadersFit) {
    GameListController list;
    list.addObjects({dict({{"name", "bravo"},
                           {"title", "Bravo Blaster"},
                           {"year", 1990},
                           {"maker", "Brightwater Interactive Amusements"}})});
    struct : GameTableView {
        using GameTableView::sizeHintForColumn;
    } table;
    table.showGameList(&list);
    QHeaderView* header = table.horizontalHeader();
    header->setStretchLastSection(true); // as in the main windows
    table.setShrinkingColumns({{GameListModel::Title, 2}, {GameListModel::Maker, 1}});
    table.setFillColumn(GameListModel::Title);
    table.resize(1600, 300);
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    table.fitColumnsWhenShown();
    auto wanted = [&](int column) {
        return std::max(header->sectionSizeHint(column), table.sizeHintForColumn(column));
    };
    for (int column = 0; column < GameListModel::ColumnCount; ++column)
        EXPECT_EQ(header->sectionSize(column),
                  column == GameListModel::Title ? header->sectionSize(column) : wanted(column))
            << column;
    EXPECT_EQ(header->length(), table.viewport()->width());
    const int spare = header->sectionSize(GameListModel::Title) - wanted(GameListModel::Title);
    EXPECT_GT(spare, 100);

    table.resize(table.width() - spare + 10, 300);
    EXPECT_EQ(header->sectionSize(GameListModel::Title), wanted(GameListModel::Title) + 10);
    EXPECT_EQ(header->sectionSize(GameListModel::Maker), wanted(GameListModel::Maker));
    // Narrower, the columns that give way stop at their headers' width, and
    // while the headers fit, nothing spills past the table.
    for (const int room : {4, -80}) {
        int least = 0;
        for (int column = 0; column < GameListModel::ColumnCount; ++column)
            least += column == GameListModel::Title || column == GameListModel::Maker
                         ? header->sectionSizeHint(column)
                         : wanted(column);
        table.resize(table.width() - table.viewport()->width() + least + room, 300);
        for (int column : {GameListModel::Title, GameListModel::Maker})
            EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column)) << column;
        EXPECT_TRUE(room < 0 || header->length() <= table.viewport()->width()) << room;
    }

    std::unique_ptr<QMenu> menu(table.columnMenu());
    QStringList entries;
    for (QAction* entry : menu->actions())
        entries << entry->text();
    EXPECT_TRUE(entries.contains(QStringLiteral("\u2605 Favourite")))
        << entries.join(' ').toStdString();
}

} // namespace
} // namespace kd
