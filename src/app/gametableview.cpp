#include "app/gametableview.h"

#include <QHeaderView>
#include <QLabel>

namespace kd {

GameTableView::GameTableView(QWidget* parent)
    : QTableView(parent), m_placeholder(new QLabel(viewport())) {
    setTabKeyNavigation(false);
    m_placeholder->setObjectName(QStringLiteral("placeholder"));
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setWordWrap(true);
    m_placeholder->setMargin(24);
    // The path in it can be copied.
    m_placeholder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_placeholder->hide();
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

void GameTableView::setPlaceholderText(const QString& text) {
    m_placeholder->setText(text);
    updatePlaceholder();
}

QString GameTableView::placeholderText() const {
    return m_placeholder->text();
}

bool GameTableView::isPlaceholderShown() const {
    return !m_placeholder->isHidden();
}

QModelIndex GameTableView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void GameTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    m_placeholder->setGeometry(viewport()->rect());
}

void GameTableView::updatePlaceholder() {
    const bool empty = !model() || model()->rowCount(rootIndex()) == 0;
    m_placeholder->setVisible(empty && !m_placeholder->text().isEmpty());
    m_placeholder->setGeometry(viewport()->rect());
}

} // namespace kd
