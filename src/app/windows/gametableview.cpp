#include "app/windows/gametableview.h"

#include "catalogue/columnfit.h"
#include "catalogue/gamelistcontroller.h"
#include "platform/desktop/plainlabel.h"
#include "platform/showntext.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

namespace kd {

namespace {

// Elides one column in the middle and the others at the end, and gives a cell
// its whole text as a tooltip only where it does not fit.
class ElidingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QWidget* widget = cell.widget ? cell.widget : view;
        const QRect textRect =
            widget->style()->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
        // The style leaves a margin on each side of the text.
        const int margin =
            widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &cell, widget) + 1;
        if (!cell.text.isEmpty() &&
            cell.fontMetrics.horizontalAdvance(cell.text) > textRect.width() - 2 * margin)
            QToolTip::showText(event->globalPos(), plainToolTip(cell.text), view, cell.rect);
        else
            QToolTip::hideText();
        return true;
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto* table = qobject_cast<const GameTableView*>(option->widget);
        option->textElideMode =
            table && index.column() == table->keyColumn() ? Qt::ElideMiddle : Qt::ElideRight;
    }
};

} // namespace

GameTableView::GameTableView(QWidget* parent)
    : QTableView(parent), m_empty(new QWidget(viewport())), m_placeholder(plainLabel()),
      m_showAll(new QPushButton(tr("Show All Games"))), m_restore(new QPushButton) {
    setTabKeyNavigation(false);
    setItemDelegate(new ElidingDelegate(this));
    m_placeholder->setObjectName(QStringLiteral("placeholder"));
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setWordWrap(true);
    m_placeholder->setMargin(24);
    // The path in it can be copied.
    m_placeholder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_showAll->setObjectName(QStringLiteral("showAllButton"));
    connect(m_showAll, &QPushButton::clicked, this, &GameTableView::showAllRequested);
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    connect(m_restore, &QPushButton::clicked, this, &GameTableView::restoreRequested);
    auto* layout = new QVBoxLayout(m_empty);
    layout->addStretch(1);
    layout->addWidget(m_placeholder);
    layout->addWidget(m_showAll, 0, Qt::AlignHCenter);
    layout->addWidget(m_restore, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    m_empty->hide();

    QHeaderView* header = horizontalHeader();
    header->setSectionsMovable(true);
    header->setTextElideMode(Qt::ElideRight);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    // A width set by anything but the fit (the user's drag, a restored
    // arrangement) makes the widths the user's; the last column stretching to
    // the table's edge does not.
    connect(header, &QHeaderView::sectionResized, this, [this, header](int column) {
        int last = header->count() - 1;
        while (last > 0 && header->isSectionHidden(header->logicalIndex(last)))
            --last;
        if (!m_fitting && header->visualIndex(column) != last)
            m_fitted = false;
    });
    connect(header, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = columnMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(horizontalHeader()->mapToGlobal(at));
    });
}

void GameTableView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    if (!model)
        return;
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, this, &GameTableView::updatePlaceholder);
    connect(model, &QAbstractItemModel::modelReset, this, &GameTableView::updatePlaceholder);
    // A list put in place of another (a restore) gets widths for its own
    // texts, once its rows are in.
    connect(
        model, &QAbstractItemModel::modelReset, this,
        [this] {
            if (m_fitted)
                fitColumnsWhenShown();
        },
        Qt::QueuedConnection);
    // A filter changes the layout.
    connect(model, &QAbstractItemModel::layoutChanged, this, &GameTableView::updatePlaceholder);
    // After a sort the selected game is somewhere else: follow it. Queued, so
    // the view has taken in the new order first.
    connect(
        model, &QAbstractItemModel::layoutChanged, this,
        [this] {
            if (currentIndex().isValid())
                scrollTo(currentIndex());
        },
        Qt::QueuedConnection);
    updatePlaceholder();
}

void GameTableView::showGameList(GameListController* list) {
    setModel(list->shownModel());
    setSelectionModel(list->selectionModel());
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    // Turning sorting on sorts by the header's indicator at once; clear it
    // so the table starts in stored order, as the file has it.
    horizontalHeader()->setSortIndicatorClearable(true);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
}

void GameTableView::setPlaceholderText(const QString& text) {
    m_placeholderText = text;
    updatePlaceholder();
}

void GameTableView::setRestoreOffer(const QString& title) {
    m_restore->setText(title);
    updatePlaceholder();
}

void GameTableView::setFilteredOutText(const QString& text) {
    m_filteredOutText = text;
    updatePlaceholder();
}

QString GameTableView::placeholderText() const {
    return m_placeholder->text();
}

bool GameTableView::isPlaceholderShown() const {
    return !m_empty->isHidden();
}

void GameTableView::fitColumnsWhenShown() {
    m_fitPending = true;
    if (isVisible())
        fitColumns();
}

void GameTableView::fitColumns() {
    const int available =
        viewport()->width() -
        (verticalScrollBar()->isVisible() || verticalHeader()->length() <= viewport()->height()
             ? 0
             : verticalScrollBar()->sizeHint().width());
    if (!model() || available <= 0)
        return;
    m_fitPending = false;
    m_fitting = true;
    m_fitted = true;
    QHeaderView* header = horizontalHeader();
    const int columns = header->count();
    std::vector<int> wanted(std::size_t(columns), 0);
    std::vector<int> shares(std::size_t(columns), 0);
    std::vector<int> headers(std::size_t(columns), 0);
    for (int column = 0; column < columns; ++column) {
        if (header->isSectionHidden(column))
            continue;
        headers[std::size_t(column)] = header->sectionSizeHint(column);
        wanted[std::size_t(column)] =
            std::max(headers[std::size_t(column)], sizeHintForColumn(column));
        shares[std::size_t(column)] = m_shares.value(column);
    }
    const int least = fontMetrics().averageCharWidth() * 8;
    std::vector<int> widths = kd::fitColumns(wanted, shares, available, least);
    // A header cut short reads as another word (a long translation most of all);
    // what that costs is taken back from the columns that give way, Title first.
    int excess = -available;
    for (std::size_t column = 0; column < widths.size(); ++column) {
        widths[column] = std::max(widths[column], headers[column]);
        excess += widths[column];
    }
    std::vector<std::size_t> givers;
    if (m_fillColumn >= 0 && m_fillColumn < columns)
        givers.push_back(std::size_t(m_fillColumn));
    for (std::size_t column = 0; column < widths.size(); ++column)
        if (shares[column] > 0 && int(column) != m_fillColumn)
            givers.push_back(column);
    for (const std::size_t column : givers) {
        const int floor = std::max(headers[column], std::min(least, wanted[column]));
        const int given = std::clamp(widths[column] - floor, 0, std::max(excess, 0));
        widths[column] -= given;
        excess -= given;
    }
    // The room left over goes where long texts are, not to whichever column is last.
    const int spare = available - std::accumulate(widths.begin(), widths.end(), 0);
    if (spare > 0 && m_fillColumn >= 0 && m_fillColumn < columns &&
        !header->isSectionHidden(m_fillColumn))
        widths[std::size_t(m_fillColumn)] += spare;
    for (int column = 0; column < columns; ++column)
        if (!header->isSectionHidden(column))
            header->resizeSection(column, widths[std::size_t(column)]);
    m_fitting = false;
}

QMenu* GameTableView::columnMenu() {
    auto* menu = new QMenu(this);
    QHeaderView* header = horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        // A header that is a sign alone is named beside it.
        QString title = model()->headerData(column, Qt::Horizontal).toString();
        const QString name =
            model()->headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString();
        if (!name.isEmpty() && name != title)
            title += u' ' + name;
        QAction* show = menu->addAction(title);
        show->setCheckable(true);
        show->setChecked(!header->isSectionHidden(column));
        show->setEnabled(column != m_keyColumn);
        connect(show, &QAction::toggled, this, [this, column](bool on) {
            // Showing or hiding resizes the section; the widths stay the fit's.
            const bool fitted = m_fitted;
            setColumnHidden(column, !on);
            if (fitted)
                fitColumns();
        });
    }
    return menu;
}

QModelIndex GameTableView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void GameTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    m_empty->setGeometry(viewport()->rect());
    if (m_fitPending || m_fitted)
        fitColumns();
}

void GameTableView::contextMenuEvent(QContextMenuEvent* event) {
    // A click goes to the game under the pointer; a key to the current one.
    requestGameMenu(event->reason() == QContextMenuEvent::Mouse ? indexAt(event->pos())
                                                                : currentIndex());
}

void GameTableView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)
        requestGameMenu(currentIndex());
    else
        QTableView::keyPressEvent(event);
}

void GameTableView::requestGameMenu(const QModelIndex& index) {
    if (!index.isValid())
        return;
    if (!selectionModel()->isRowSelected(index.row(), index.parent()))
        setCurrentIndex(index);
    scrollTo(index);
    emit gameMenuRequested(viewport()->mapToGlobal(visualRect(index).center()));
}

void GameTableView::updatePlaceholder() {
    const bool empty = !model() || model()->rowCount(rootIndex()) == 0;
    const bool filteredOut = !m_filteredOutText.isEmpty();
    const QString& text = filteredOut ? m_filteredOutText : m_placeholderText;
    setPlainText(m_placeholder, text);
    m_showAll->setVisible(filteredOut);
    m_restore->setVisible(!filteredOut && !m_restore->text().isEmpty());
    m_empty->setVisible(empty && !text.isEmpty());
    m_empty->setGeometry(viewport()->rect());
}

} // namespace kd
