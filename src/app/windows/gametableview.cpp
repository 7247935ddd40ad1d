#include "app/windows/gametableview.h"

#include "catalogue/columnfit.h"
#include "catalogue/gamelistcontroller.h"
#include "platform/desktop/plainlabel.h"
#include "platform/showntext.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

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
    : QTableView(parent), m_placeholder(plainLabel(QString(), viewport())) {
    setTabKeyNavigation(false);
    setItemDelegate(new ElidingDelegate(this));
    m_placeholder->setObjectName(QStringLiteral("placeholder"));
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setWordWrap(true);
    m_placeholder->setMargin(24);
    // The path in it can be copied.
    m_placeholder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_placeholder->hide();

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
    setPlainText(m_placeholder, text);
    updatePlaceholder();
}

QString GameTableView::placeholderText() const {
    return m_placeholder->text();
}

bool GameTableView::isPlaceholderShown() const {
    return !m_placeholder->isHidden();
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
    for (int column = 0; column < columns; ++column) {
        if (header->isSectionHidden(column))
            continue;
        wanted[std::size_t(column)] =
            std::max(header->sectionSizeHint(column), sizeHintForColumn(column));
        shares[std::size_t(column)] = m_shares.value(column);
    }
    const std::vector<int> widths =
        kd::fitColumns(wanted, shares, available, fontMetrics().averageCharWidth() * 8);
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
        QAction* show = menu->addAction(model()->headerData(column, Qt::Horizontal).toString());
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
    m_placeholder->setGeometry(viewport()->rect());
    if (m_fitPending || m_fitted)
        fitColumns();
}

void GameTableView::updatePlaceholder() {
    const bool empty = !model() || model()->rowCount(rootIndex()) == 0;
    m_placeholder->setVisible(empty && !m_placeholder->text().isEmpty());
    m_placeholder->setGeometry(viewport()->rect());
}

} // namespace kd
