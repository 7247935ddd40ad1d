#include "catalogue/shownrowsproxy.h"

namespace kd {

ShownRowsProxy::ShownRowsProxy(QObject* parent) : QAbstractProxyModel(parent) {}

void ShownRowsProxy::setSourceModel(QAbstractItemModel* source) {
    beginResetModel();
    for (const QMetaObject::Connection& c : m_connections)
        disconnect(c);
    m_connections.clear();
    QAbstractProxyModel::setSourceModel(source);
    if (source) {
        auto reset = [this] {
            beginResetModel();
        };
        auto resetDone = [this] {
            computeRows();
            endResetModel();
        };
        // Rows added or removed are followed at the bottom of a chain of proxies:
        // by then every proxy below has caught up (a sort proxy, for one, has
        // already dropped a row while its source still holds it).
        const QAbstractItemModel* rows = source;
        while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(rows)) {
            if (!proxy->sourceModel())
                break;
            rows = proxy->sourceModel();
        }
        m_connections = {
            connect(source, &QAbstractItemModel::modelAboutToBeReset, this, reset),
            connect(source, &QAbstractItemModel::modelReset, this, resetDone),
            connect(rows, &QAbstractItemModel::rowsAboutToBeInserted, this, reset),
            connect(rows, &QAbstractItemModel::rowsInserted, this, resetDone),
            connect(rows, &QAbstractItemModel::rowsAboutToBeRemoved, this, reset),
            connect(rows, &QAbstractItemModel::rowsRemoved, this, resetDone),
            connect(rows, &QAbstractItemModel::rowsAboutToBeMoved, this, reset),
            connect(rows, &QAbstractItemModel::rowsMoved, this, resetDone),
            connect(rows, &QAbstractItemModel::columnsAboutToBeInserted, this, reset),
            connect(rows, &QAbstractItemModel::columnsInserted, this, resetDone),
            connect(rows, &QAbstractItemModel::columnsAboutToBeRemoved, this, reset),
            connect(rows, &QAbstractItemModel::columnsRemoved, this, resetDone),
            connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
                    &ShownRowsProxy::sourceLayoutAboutToChange),
            connect(source, &QAbstractItemModel::layoutChanged, this,
                    &ShownRowsProxy::sourceLayoutChanged),
            connect(source, &QAbstractItemModel::dataChanged, this,
                    &ShownRowsProxy::sourceDataChanged),
            connect(source, &QAbstractItemModel::headerDataChanged, this,
                    &QAbstractItemModel::headerDataChanged),
        };
    }
    computeRows();
    endResetModel();
}

void ShownRowsProxy::setFilter(Filter filter) {
    m_filter = std::move(filter);
    refilter();
}

void ShownRowsProxy::computeRows() {
    m_rows.clear();
    m_shownRowOf.clear();
    const QAbstractItemModel* source = sourceModel();
    const int count = source ? source->rowCount() : 0;
    m_shownRowOf.assign(std::size_t(count), -1);
    for (int row = 0; row < count; ++row) {
        if (!m_filter || m_filter(row)) {
            m_shownRowOf[std::size_t(row)] = int(m_rows.size());
            m_rows.push_back(row);
        }
    }
}

// Persistent indexes (selections, the current row) are kept through the source
// rows they stand for; those whose row is no longer shown become invalid.
void ShownRowsProxy::sourceLayoutAboutToChange() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_savedPersistent = persistentIndexList();
    m_savedSources.clear();
    for (const QModelIndex& index : std::as_const(m_savedPersistent))
        m_savedSources.append(QPersistentModelIndex(mapToSource(index)));
}

void ShownRowsProxy::sourceLayoutChanged() {
    computeRows();
    QModelIndexList now;
    now.reserve(m_savedSources.size());
    for (const QPersistentModelIndex& source : std::as_const(m_savedSources))
        now.append(mapFromSource(source));
    changePersistentIndexList(m_savedPersistent, now);
    m_savedPersistent.clear();
    m_savedSources.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ShownRowsProxy::refilter() {
    if (!sourceModel())
        return;
    sourceLayoutAboutToChange();
    sourceLayoutChanged();
}

void ShownRowsProxy::sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                       const QList<int>& roles) {
    if (m_rows.empty() || !topLeft.isValid() || !bottomRight.isValid())
        return;
    // The shown rows between the first and the last changed source row.
    const auto first = std::lower_bound(m_rows.begin(), m_rows.end(), topLeft.row());
    const auto last = std::upper_bound(m_rows.begin(), m_rows.end(), bottomRight.row());
    if (first >= last)
        return;
    emit dataChanged(index(int(first - m_rows.begin()), topLeft.column()),
                     index(int(last - m_rows.begin()) - 1, bottomRight.column()), roles);
}

QModelIndex ShownRowsProxy::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || row >= int(m_rows.size()) || column < 0 ||
        column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex ShownRowsProxy::parent(const QModelIndex&) const {
    return {};
}

int ShownRowsProxy::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ShownRowsProxy::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

QModelIndex ShownRowsProxy::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || proxyIndex.model() != this || !sourceModel() ||
        proxyIndex.row() >= int(m_rows.size()))
        return {};
    return sourceModel()->index(m_rows[std::size_t(proxyIndex.row())], proxyIndex.column());
}

QModelIndex ShownRowsProxy::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || sourceIndex.row() >= int(m_shownRowOf.size()))
        return {};
    const int row = m_shownRowOf[std::size_t(sourceIndex.row())];
    return row < 0 ? QModelIndex() : index(row, sourceIndex.column());
}

QVariant ShownRowsProxy::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!sourceModel())
        return {};
    if (orientation == Qt::Vertical) {
        if (section < 0 || section >= int(m_rows.size()))
            return {};
        section = m_rows[std::size_t(section)];
    }
    return sourceModel()->headerData(section, orientation, role);
}

void ShownRowsProxy::sort(int column, Qt::SortOrder order) {
    if (sourceModel())
        sourceModel()->sort(column, order);
}

} // namespace kd
