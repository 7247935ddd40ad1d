#include "catalogue/gamelistcontroller.h"

#include <QHeaderView>
#include <QTableView>

namespace kd {

GameListController::GameListController(QObject* parent) : QObject(parent), selection_(&proxy_) {
    proxy_.setSourceModel(&model_);
    proxy_.setSortRole(GameListModel::SortRole);
    proxy_.setSortCaseSensitivity(Qt::CaseInsensitive);
    connect(&selection_, &QItemSelectionModel::selectionChanged, this,
            &GameListController::selectionChanged);
}

std::vector<const plist::Value*> GameListController::arrangedObjects() const {
    const auto& records = model_.records();
    std::vector<const plist::Value*> arranged;
    const int rows = proxy_.rowCount();
    arranged.reserve(std::size_t(rows));
    for (int r = 0; r < rows; ++r)
        arranged.push_back(&records[std::size_t(proxy_.mapToSource(proxy_.index(r, 0)).row())]);
    return arranged;
}

void GameListController::addObjects(std::vector<plist::Value> records) {
    model_.append(std::move(records));
}

void GameListController::attachView(QAbstractItemView* view) {
    view->setModel(&proxy_);
    view->setSelectionModel(&selection_);
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
    for (const QModelIndex& index : selection_.selectedIndexes())
        first = std::min<qint64>(first, index.row());
    return first;
}

const plist::Value* GameListController::selection() const {
    const qint64 row = selectionIndex();
    if (row == NotFound)
        return nullptr;
    const QModelIndex source = proxy_.mapToSource(proxy_.index(int(row), 0));
    return source.isValid() ? &model_.records()[std::size_t(source.row())] : nullptr;
}

void GameListController::setSelectionIndex(qint64 index) {
    if (index < 0 || index >= proxy_.rowCount()) {
        selection_.clearSelection();
        return;
    }
    const QModelIndex target = proxy_.index(int(index), 0);
    selection_.select(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selection_.setCurrentIndex(target, QItemSelectionModel::NoUpdate);
}

} // namespace kd
