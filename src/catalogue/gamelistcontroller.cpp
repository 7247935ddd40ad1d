#include "catalogue/gamelistcontroller.h"

#include <QHeaderView>
#include <QTableView>

namespace kd {

GameListController::GameListController(QObject* parent) : QObject(parent), m_selection(&m_proxy) {
    m_proxy.setSourceModel(&m_model);
    m_proxy.setSortRole(GameListModel::SortRole);
    m_proxy.setSortCaseSensitivity(Qt::CaseInsensitive);
    connect(&m_selection, &QItemSelectionModel::selectionChanged, this,
            &GameListController::selectionChanged);
}

std::vector<const plist::Value*> GameListController::arrangedObjects() const {
    const auto& records = m_model.records();
    std::vector<const plist::Value*> arranged;
    const int rows = m_proxy.rowCount();
    arranged.reserve(std::size_t(rows));
    for (int r = 0; r < rows; ++r)
        arranged.push_back(&records[std::size_t(m_proxy.mapToSource(m_proxy.index(r, 0)).row())]);
    return arranged;
}

void GameListController::addObjects(std::vector<plist::Value> records) {
    m_model.append(std::move(records));
}

void GameListController::attachView(QAbstractItemView* view) {
    view->setModel(&m_proxy);
    view->setSelectionModel(&m_selection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    if (auto* table = qobject_cast<QTableView*>(view)) {
        // Turning sorting on sorts by the header's indicator at once; clear it
        // so the table starts in stored order, as the file has it.
        table->horizontalHeader()->setSortIndicatorClearable(true);
        table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        table->setSortingEnabled(true);
    }
}

qint64 GameListController::selectionIndex() const {
    qint64 first = NotFound;
    for (const QModelIndex& index : m_selection.selectedIndexes())
        first = std::min<qint64>(first, index.row());
    return first;
}

const plist::Value* GameListController::selection() const {
    const qint64 row = selectionIndex();
    if (row == NotFound)
        return nullptr;
    const QModelIndex source = m_proxy.mapToSource(m_proxy.index(int(row), 0));
    return source.isValid() ? &m_model.records()[std::size_t(source.row())] : nullptr;
}

void GameListController::setSelectionIndex(qint64 index) {
    if (index < 0 || index >= m_proxy.rowCount()) {
        m_selection.clearSelection();
        return;
    }
    const QModelIndex target = m_proxy.index(int(index), 0);
    m_selection.select(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_selection.setCurrentIndex(target, QItemSelectionModel::NoUpdate);
}

} // namespace kd
