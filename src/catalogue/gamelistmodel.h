#pragma once

#include "catalogue/plistvalue.h"

#include <QAbstractTableModel>
#include <vector>

namespace kd {

// The stored game list as a table: one row per record, in stored order.
// DisplayRole gives text for string and integer values (other kinds and
// missing keys show nothing); SortRole gives the raw value for sorting.
class GameListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Title, Year, Maker, Genre, Players, ColumnCount };
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit GameListModel(QObject* parent = nullptr);

    // The record key a column shows.
    static const char* key(int column);

    const std::vector<plist::Value>& records() const { return m_records; }
    void append(std::vector<plist::Value> records);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<plist::Value> m_records;
};

} // namespace kd
