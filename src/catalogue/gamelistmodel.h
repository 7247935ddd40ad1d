#pragma once

#include "catalogue/plistvalue.h"

#include <QAbstractTableModel>
#include <vector>

namespace kd {

// The stored game list as a table: one row per record, in stored order.
// DisplayRole gives text for string and integer values (other kinds and
// missing keys show nothing); SortRole gives the raw value for sorting.
// The Available column is not part of the records: it says whether the
// record's ROM archive was found, as the launcher last looked.
class GameListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Title, Year, Maker, Genre, Players, Available, ColumnCount };
    // The columns that show a record key.
    static constexpr int RecordColumnCount = Available;
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit GameListModel(QObject* parent = nullptr);

    // The record key a column shows ("" for the columns that show none).
    static const char* key(int column);
    // What a record column shows for `record`: text for strings and integers.
    static QString displayText(const plist::Value& record, int column);

    const std::vector<plist::Value>& records() const { return m_records; }
    void append(std::vector<plist::Value> records);
    void remove(int row);

    // One flag per record, in stored order; a missing flag counts as not found.
    void setAvailability(std::vector<bool> available);
    bool isAvailable(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<plist::Value> m_records;
    std::vector<bool> m_available;
};

} // namespace kd
