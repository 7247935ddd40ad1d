#pragma once

#include <QAbstractProxyModel>
#include <functional>
#include <vector>

namespace kd {

// The rows of a flat table model that a filter accepts, in the source's order.
// Sorting is passed on to the source, so the source stays the one arranged
// list and this only hides rows. A new filter is one layout change (cheap for
// tens of thousands of rows, and selections of rows still shown survive);
// rows added to or removed from the source reset it.
class ShownRowsProxy : public QAbstractProxyModel {
    Q_OBJECT
public:
    // Whether the source row is shown.
    using Filter = std::function<bool(int sourceRow)>;

    explicit ShownRowsProxy(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;
    void setFilter(Filter filter);
    // Asks the filter again about every row.
    void refilter();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void computeRows();
    void sourceLayoutAboutToChange();
    void sourceLayoutChanged();
    void sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles);

    Filter m_filter;
    std::vector<int> m_rows;       // source row of each shown row
    std::vector<int> m_shownRowOf; // shown row of each source row, -1 when hidden
    QModelIndexList m_savedPersistent;
    QList<QPersistentModelIndex> m_savedSources;
    std::vector<QMetaObject::Connection> m_connections;
};

} // namespace kd
