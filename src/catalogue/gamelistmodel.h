#pragma once

#include "catalogue/plistvalue.h"

#include <QAbstractTableModel>
#include <string>
#include <unordered_map>
#include <vector>

namespace kd {

// What the launcher remembers of a game beside its record, by `name`.
struct GameStats {
    bool favourite = false;
    qint64 timesPlayed = 0;
    qint64 lastPlayedMs = 0; // ms since the epoch; 0 when never played
    qint64 playMs = 0;       // total time of the runs whose end is known
    bool operator==(const GameStats&) const = default;
};
using GameStatsByName = std::unordered_map<std::string, GameStats>;

// The stored game list as a table: one row per record, in stored order.
// DisplayRole gives text for string and integer values, capped (other kinds and
// missing keys show nothing); SortRole gives the raw value for sorting.
// The columns from Available on are not part of the records: whether the
// record's ROM archive was found, as the launcher last looked, and what the
// play history holds for the record's `name`.
class GameListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Name,
        Title,
        Year,
        Maker,
        Genre,
        Players,
        Available,
        Favourite,
        TimesPlayed,
        LastPlayed,
        PlayTime,
        ColumnCount
    };
    // The columns that show a record key.
    static constexpr int RecordColumnCount = Available;
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit GameListModel(QObject* parent = nullptr);

    // The record key a column shows ("" for the columns that show none).
    static const char* key(int column);
    // A record column's text for `record`, strings whole (the search looks at
    // all of it); a cell shows at most ShownValueLimit characters of it.
    static QString displayText(const plist::Value& record, int column);
    // The same as a cell shows it: at most ShownValueLimit characters, and only
    // that much decoded, so a huge value costs nothing where it is only shown.
    static QString shownText(const plist::Value& record, int column);

    const std::vector<plist::Value>& records() const { return m_records; }
    void append(std::vector<plist::Value> records);
    void remove(int row);
    void clear();

    // One flag per record, in stored order; a missing flag counts as not found.
    void setAvailability(std::vector<bool> available);
    bool isAvailable(int row) const;

    void setGameStats(GameStatsByName stats);
    // Changes what one name shows; every record of that name follows.
    void setGameStats(const std::string& name, const GameStats& stats);
    // What the record at `row` shows; the default for names never seen.
    const GameStats& gameStats(int row) const;

    // "m:ss", or "h:mm:ss" from an hour on.
    static QString formatDuration(qint64 ms);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVariant statsData(int row, int column, int role) const;

    std::vector<plist::Value> m_records;
    std::vector<bool> m_available;
    GameStatsByName m_stats;
};

} // namespace kd
