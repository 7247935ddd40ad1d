#pragma once

#include <QMainWindow>

class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;

namespace kd {

class GameListController;
class GameTableView;
class ImageView;
class SettingsStore;

// A main window: the game table with its search field, the selected game's
// snapshot and icon on a gradient panel, a Start Game button and a status line.
// The launcher makes it twice, in two layouts, and shows one at a time. It
// tells what the user asks for by signals; closing it only hides it.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class Layout {
        ListBesideArtwork, // main window 1: the list on the left, artwork at the right
        ArtworkAboveList,  // main window 2: a large snapshot banner above a compact list
    };
    explicit MainWindow(Layout layout, QWidget* parent = nullptr);

    Layout layout() const { return m_layout; }
    // Shows the filtered list of `list`, sharing its selection with every other
    // table, in cells of that height and font size (pixels).
    void showList(GameListController& list, int rowHeight, int fontSize);
    GameTableView& table() { return *tableView_list; }
    // The two tables show the one sort they share.
    static void showOneSort(MainWindow& first, MainWindow& second);

    void setSnapshot(const QImage& image, const QString& sourcePath);
    void setIcon(const QImage& image, const QString& sourcePath);
    // No game is selected: the artwork goes, the panel says so and its Start
    // Game button is off until a game is selected again.
    void showNoGameSelected(bool none);
    // Shows the search text without announcing it as the user's edit.
    void setSearchText(const QString& text);
    void setStatusText(const QString& text);
    // How many games the filters let through, at the status line's end.
    void setCountText(const QString& text);
    // The attached pad's name; empty when none is attached.
    void setPadText(const QString& text);
    // What the table says while it has no rows: why the list is empty, or
    // (taking precedence) which filters hide every game.
    void setPlaceholderText(const QString& text);
    void setFilteredOutText(const QString& text);
    void setRestoreOffer(const QString& title); // empty: none
    // The list takes the keys, whatever had them before.
    void focusList();
    // The search field takes the keys, its text selected.
    void focusSearchField();

    // The window's place and size, its splitter and its columns, as the user left them.
    void saveArrangement(SettingsStore& store) const;
    void restoreArrangement(const SettingsStore& store);

signals:
    // Return or Enter in the table or the search field, a double click on a
    // game, or the Start Game button.
    void startRequested();
    void searchTextEdited(const QString& text);
    // A click on a game's star, at that index of the shown rows.
    void starClicked(const QModelIndex& shownIndex);
    // A ROM archive that can be started was dropped on the window (announced
    // once the drop is over).
    void romArchiveDropped(const QString& path);
    // The button of a table that its filters emptied.
    void showAllRequested();
    void restoreRequested();
    // The selected game's menu, to open at that point.
    void gameMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* searchAbove(GameTableView* table);
    void buildListBesideArtwork();
    void buildArtworkAboveList();

    Layout m_layout;
    QString m_suffix; // of the object names in main window 2
    // The table and the artwork views keep the launcher's names ("2" in main window 2).
    GameTableView* tableView_list = nullptr;
    ImageView* imageView = nullptr;
    ImageView* iconView = nullptr;
    QLineEdit* m_searchField = nullptr;
    QLabel* m_statusLine = nullptr;
    QLabel* m_countLine = nullptr;
    QLabel* m_padLine = nullptr;
    QLabel* m_noGameNote = nullptr;
    QPushButton* m_startButton = nullptr;
    QSplitter* m_splitter = nullptr; // main window 1 only
};

} // namespace kd
