#include "app/windows/mainwindow.h"

#include "app/windows/gametableview.h"
#include "app/windows/imageview.h"
#include "app/windows/subviewdraw.h"
#include "app/windows/windowarrangement.h"
#include "catalogue/gamelistcontroller.h"
#include "emulator/romarchive.h"
#include "platform/desktop/plainlabel.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace kd {

namespace {

ImageView* makeImageView(const QString& name, QSize minimum, QSize maximum) {
    auto* view = new ImageView;
    view->setObjectName(name);
    view->setMinimumSize(minimum);
    view->setMaximumSize(maximum);
    return view;
}

// One local ROM archive that can be started, or nothing: a drop of anything
// else is refused.
std::optional<QString> droppedRomArchive(const QDropEvent* drop) {
    const QMimeData* data = drop->mimeData();
    if (!data || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().first().isLocalFile())
        return std::nullopt;
    const QString path = data->urls().first().toLocalFile();
    if (checkRomArchive(path) != RomArchiveCheck::Ok)
        return std::nullopt;
    return path;
}

QPushButton* startButton(MainWindow* window) {
    auto* button = new QPushButton(MainWindow::tr("Start Game"));
    button->setObjectName(QStringLiteral("startGameButton"));
    button->setDefault(true);
    QObject::connect(button, &QPushButton::clicked, window, &MainWindow::startRequested);
    return button;
}

// What a table's stored columns were made for: another set of columns (a
// later version) makes its state useless.
QString columnKeys() {
    QStringList keys;
    for (int column = 0; column < GameListModel::ColumnCount; ++column)
        keys << QString::fromLatin1(GameListModel::key(column));
    return keys.join(u',');
}

} // namespace

MainWindow::MainWindow(Layout layout, QWidget* parent)
    : QMainWindow(parent), m_layout(layout),
      m_suffix(layout == Layout::ListBesideArtwork ? QString() : QStringLiteral("2")) {
    setObjectName(QStringLiteral("window") + m_suffix);
    setWindowTitle(tr("Kaleidrome Launcher"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // A ROM archive dropped on the window starts as Open ROM would.
    setAcceptDrops(true);

    tableView_list = new GameTableView;
    tableView_list->setObjectName(QStringLiteral("tableView_list") + m_suffix);
    tableView_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_list->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_list->setAlternatingRowColors(true);
    tableView_list->setShowGrid(false);
    tableView_list->setWordWrap(false);
    tableView_list->verticalHeader()->hide();
    tableView_list->horizontalHeader()->setStretchLastSection(true);
    tableView_list->horizontalHeader()->setSortIndicatorShown(true);
    // Cells get 8 x 2 points of room.
    tableView_list->setStyleSheet(QStringLiteral("QTableView::item { padding: 1px 4px; }"));
    tableView_list->installEventFilter(this);
    // A game starts on a double click or Return/Enter, never on a single click
    // (`activated` fires on one click where the desktop's style says so).
    connect(tableView_list, &QAbstractItemView::doubleClicked, this, &MainWindow::startRequested);
    connect(tableView_list, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == GameListModel::Favourite)
            emit starClicked(index);
    });

    m_searchField = new QLineEdit;
    m_searchField->setObjectName(QStringLiteral("searchField") + m_suffix);
    m_searchField->setPlaceholderText(tr("Search games"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->installEventFilter(this);
    connect(m_searchField, &QLineEdit::textChanged, this, &MainWindow::searchTextEdited);

    connect(tableView_list, &GameTableView::showAllRequested, this, &MainWindow::showAllRequested);
    connect(tableView_list, &GameTableView::restoreRequested, this, &MainWindow::restoreRequested);
    connect(tableView_list, &GameTableView::gameMenuRequested, this,
            &MainWindow::gameMenuRequested);

    m_statusLine = plainLabel();
    m_statusLine->setObjectName(QStringLiteral("statusLine") + m_suffix);
    statusBar()->addWidget(m_statusLine, 1);
    m_countLine = plainLabel();
    m_countLine->setObjectName(QStringLiteral("countLine") + m_suffix);
    m_padLine = plainLabel();
    m_padLine->setObjectName(QStringLiteral("padLine") + m_suffix);
    m_padLine->hide();
    statusBar()->addPermanentWidget(m_padLine);
    statusBar()->addPermanentWidget(m_countLine);
    m_noGameNote = plainLabel(tr("No game selected"));
    m_noGameNote->setObjectName(QStringLiteral("noGameNote") + m_suffix);
    m_noGameNote->setAlignment(Qt::AlignCenter);
    m_noGameNote->hide();

    if (layout == Layout::ListBesideArtwork)
        buildListBesideArtwork();
    else
        buildArtworkAboveList();
    // The list, not the search field above it, has the keyboard when the window opens.
    tableView_list->setFocus(Qt::OtherFocusReason);
}

// The search field above the table.
QWidget* MainWindow::searchAbove(GameTableView* table) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_searchField);
    layout->addWidget(table, 1);
    return box;
}

void MainWindow::buildListBesideArtwork() {
    imageView =
        makeImageView(QStringLiteral("imageView"), {200, 150}, {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX});
    iconView = makeImageView(QStringLiteral("iconView"), {48, 48}, {64, 64});
    auto* panel = new SubViewDraw;
    panel->setObjectName(QStringLiteral("subViewDraw1"));
    auto* panelLayout = new QVBoxLayout(panel);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(iconView);
    titleRow->addStretch(1);
    panelLayout->addLayout(titleRow);
    panelLayout->addWidget(m_noGameNote);
    panelLayout->addWidget(imageView, 1);
    m_startButton = startButton(this);
    panelLayout->addWidget(m_startButton);
    m_splitter = new QSplitter;
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->addWidget(searchAbove(tableView_list));
    m_splitter->addWidget(panel);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);
    // The list gets the room its columns need, the artwork what is left.
    m_splitter->setSizes({620, 280});
    setCentralWidget(m_splitter);
    windowArrangement::sizeWithinScreen(*this, {900, 560});
}

void MainWindow::buildArtworkAboveList() {
    imageView =
        makeImageView(QStringLiteral("imageView2"), {160, 120}, {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX});
    iconView = makeImageView(QStringLiteral("iconView2"), {64, 64}, {96, 96});
    auto* banner = new SubViewDraw;
    banner->setObjectName(QStringLiteral("subViewDraw2"));
    auto* bannerLayout = new QHBoxLayout(banner);
    auto* side = new QVBoxLayout;
    side->addWidget(iconView);
    side->addStretch(1);
    m_startButton = startButton(this);
    side->addWidget(m_startButton);
    bannerLayout->addLayout(side);
    auto* pictures = new QVBoxLayout;
    pictures->addWidget(m_noGameNote);
    pictures->addWidget(imageView, 1);
    bannerLayout->addLayout(pictures, 1);
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(banner, 3);
    layout->addWidget(searchAbove(tableView_list), 2);
    setCentralWidget(central);
    windowArrangement::sizeWithinScreen(*this, {640, 720});
}

void MainWindow::showList(GameListController& list, int rowHeight, int fontSize) {
    GameTableView* table = tableView_list;
    table->showGameList(&list);
    QFont font = table->font();
    font.setPixelSize(fontSize);
    table->setFont(font);
    table->verticalHeader()->setMinimumSectionSize(rowHeight);
    table->verticalHeader()->setDefaultSectionSize(rowHeight);
    // Whether a game can be played shows first, as a narrow mark, then the star.
    table->horizontalHeader()->moveSection(GameListModel::Available, 0);
    table->horizontalHeader()->moveSection(GameListModel::Favourite, 1);
    // Name, Year and Players take the width of their contents; the long texts
    // give way when not all fit, titles least.
    table->setKeyColumn(GameListModel::Name);
    table->setFillColumn(GameListModel::Title);
    table->setShrinkingColumns(
        {{GameListModel::Title, 2}, {GameListModel::Maker, 1}, {GameListModel::Genre, 1}});
    // Beside the artwork there is room for the star alone, below it for the
    // times played too; the header's menu shows the other play figures. The
    // second layout is the compact one.
    const std::vector<int> hidden =
        m_layout == Layout::ListBesideArtwork
            ? std::vector<int>{GameListModel::TimesPlayed, GameListModel::LastPlayed,
                               GameListModel::PlayTime}
            : std::vector<int>{GameListModel::Maker, GameListModel::Players,
                               GameListModel::LastPlayed, GameListModel::PlayTime};
    for (int column : hidden)
        table->hideColumn(column);
}

void MainWindow::showOneSort(MainWindow& first, MainWindow& second) {
    auto mirror = [](QHeaderView* from, QHeaderView* to) {
        connect(from, &QHeaderView::sortIndicatorChanged, to,
                [to](int column, Qt::SortOrder order) {
                    const QSignalBlocker noResort(to);
                    to->setSortIndicator(column, order);
                });
    };
    mirror(first.tableView_list->horizontalHeader(), second.tableView_list->horizontalHeader());
    mirror(second.tableView_list->horizontalHeader(), first.tableView_list->horizontalHeader());
}

void MainWindow::setSnapshot(const QImage& image, const QString& sourcePath) {
    imageView->setImage(image, sourcePath);
    m_noGameNote->hide();
}

void MainWindow::setIcon(const QImage& image, const QString& sourcePath) {
    iconView->setImage(image, sourcePath);
}

void MainWindow::showNoGameSelected(bool none) {
    if (none) {
        imageView->setImage(QImage());
        iconView->setImage(QImage());
    }
    m_noGameNote->setVisible(none);
    m_startButton->setEnabled(!none);
}

void MainWindow::setSearchText(const QString& text) {
    if (m_searchField->text() == text)
        return;
    const QSignalBlocker quiet(m_searchField);
    m_searchField->setText(text);
}

void MainWindow::setStatusText(const QString& text) {
    setPlainText(m_statusLine, text);
}

void MainWindow::setCountText(const QString& text) {
    setPlainText(m_countLine, text);
}

void MainWindow::setPadText(const QString& text) {
    setPlainText(m_padLine, text);
    m_padLine->setVisible(!text.isEmpty());
}

void MainWindow::setPlaceholderText(const QString& text) {
    tableView_list->setPlaceholderText(text);
}

void MainWindow::setRestoreOffer(const QString& title) {
    tableView_list->setRestoreOffer(title);
}

void MainWindow::setFilteredOutText(const QString& text) {
    tableView_list->setFilteredOutText(text);
}

void MainWindow::focusList() {
    tableView_list->setFocus(Qt::ActiveWindowFocusReason);
}

void MainWindow::focusSearchField() {
    m_searchField->setFocus(Qt::ShortcutFocusReason);
    m_searchField->selectAll();
}

void MainWindow::saveArrangement(SettingsStore& store) const {
    windowArrangement::saveGeometry(store, *this);
    if (m_splitter)
        windowArrangement::saveSplitter(store, *m_splitter);
    windowArrangement::saveHeader(store, tableView_list->objectName(),
                                  *tableView_list->horizontalHeader(), columnKeys());
}

void MainWindow::restoreArrangement(const SettingsStore& store) {
    windowArrangement::restoreGeometry(store, *this);
    if (m_splitter)
        windowArrangement::restoreSplitter(store, *m_splitter);
    if (!windowArrangement::restoreHeader(store, tableView_list->objectName(),
                                          *tableView_list->horizontalHeader(), columnKeys()))
        tableView_list->fitColumnsWhenShown();
    tableView_list->setColumnHidden(tableView_list->keyColumn(), false);
}

// Return and Enter in the table or the search field start the selected game;
// Escape in the search field clears it, and the arrows there walk the list.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool search = watched == m_searchField;
    if (!plain)
        return QMainWindow::eventFilter(watched, event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        emit startRequested();
        return true;
    }
    if (search && key->key() == Qt::Key_Escape) {
        m_searchField->clear();
        return true;
    }
    if (search && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up)) {
        tableView_list->setFocus(Qt::OtherFocusReason);
        QCoreApplication::sendEvent(tableView_list, event);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedRomArchive(event))
        event->acceptProposedAction();
    else
        event->ignore(); // the pointer says no
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::optional<QString> path = droppedRomArchive(event);
    if (!path) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Announced once the drop is over, so no alert or wait runs inside it.
    QTimer::singleShot(0, this, [this, path = *path] { emit romArchiveDropped(path); });
}

} // namespace kd
