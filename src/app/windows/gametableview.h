#pragma once

#include <QHash>
#include <QTableView>

class QLabel;
class QMenu;
class QPushButton;

namespace kd {

class GameListController;

// The game table. Its rows are whole games, so the keys move between games and
// Tab moves on to the next control; an empty list can explain itself in the
// table area. Long cells are elided, with the whole text as a tooltip; the
// header's context menu shows and hides columns, and columns can be dragged
// into another order.
class GameTableView : public QTableView {
    Q_OBJECT
public:
    explicit GameTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    // Shows the list's filtered rows, sharing its selection: one game at a
    // time, whole rows; a click on a header sorts, and the table starts
    // unsorted, in stored order.
    void showGameList(GameListController* list);
    // Shown in place of the rows while there are none; empty shows nothing.
    void setPlaceholderText(const QString& text);
    QString placeholderText() const;
    bool isPlaceholderShown() const;
    // Shown instead while the list has games but the filters hide them all,
    // with a button that asks to show them all.
    void setFilteredOutText(const QString& text);
    // A button under the empty table's text that offers a restore; none when empty.
    void setRestoreOffer(const QString& title);

    // The column that is always shown and elided in the middle (a ROM set
    // name keeps its end); the others are elided at the end.
    void setKeyColumn(int column) { m_keyColumn = column; }
    int keyColumn() const { return m_keyColumn; }
    // Columns that give way when not all fit, each by its share (the others
    // keep the width of their contents), never below their header's width.
    void setShrinkingColumns(QHash<int, int> shares) { m_shares = std::move(shares); }
    // The column that takes the width left over once every column fits.
    void setFillColumn(int column) { m_fillColumn = column; }
    // Sizes the columns to their contents, the shrinking ones within the
    // width the table has once it is laid out, and again whenever the table
    // changes size, until the user drags a column's edge.
    void fitColumnsWhenShown();
    // The header's context menu: a check box for every column.
    QMenu* columnMenu();

signals:
    // The button of the filtered-out text.
    void showAllRequested();
    void restoreRequested();
    // A right click on a game, the Menu key or Shift+F10: the game is
    // selected, and its menu should open there.
    void gameMenuRequested(const QPoint& globalPos);

protected:
    // Home and End go to the first and last game, with or without Ctrl.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updatePlaceholder();
    void fitColumns();
    void requestGameMenu(const QModelIndex& index);

    QWidget* m_empty;
    QLabel* m_placeholder;
    QPushButton* m_showAll;
    QPushButton* m_restore;
    QString m_placeholderText;
    QString m_filteredOutText;
    int m_keyColumn = 0;
    int m_fillColumn = -1;
    QHash<int, int> m_shares;
    bool m_fitPending = false;
    // The widths are the fit's, not the user's: a new width fits them again.
    bool m_fitted = false;
    bool m_fitting = false;
};

} // namespace kd
