#include "catalogue/gamelistmodel.h"

#include "catalogue/gamelist.h"
#include "platform/showntext.h"
#include "platform/utf8text.h"

#include <QDateTime>
#include <QLocale>

namespace kd {

namespace {

// The record's key of each column; the columns after the records' own are
// named for what they show.
constexpr const char* kKeys[GameListModel::ColumnCount] = {
    "name",      "title",     "year",        "maker",      "genre",   "players",
    "available", "favourite", "timesPlayed", "lastPlayed", "playTime"};

const plist::Value* field(const plist::Value& record, int column) {
    const plist::Dictionary* dict = record.dictionary();
    return dict && column >= 0 && column < GameListModel::RecordColumnCount
               ? dict->find(kKeys[column])
               : nullptr;
}

// What a cell shows of a text: its start. Only that much is decoded: at most four
// bytes make a character, so the cut is never less than the cap.
QString shownValue(const std::string& utf8) {
    const std::size_t bytes = std::min(utf8.size(), std::size_t(4 * ShownValueLimit));
    return shownText(textFromUtf8(QByteArrayView(utf8.data(), qsizetype(bytes))));
}

// What a record column shows (text for strings and integers) and sorts by (the
// value itself); nothing for other roles, kinds and missing keys.
QVariant fieldData(const plist::Value& record, int column, int role) {
    const plist::Value* v = field(record, column);
    if (!v || (role != Qt::DisplayRole && role != GameListModel::SortRole))
        return {};
    if (const std::string* s = v->string())
        return role == Qt::DisplayRole ? shownValue(*s) : textFromUtf8(*s);
    if (const plist::Integer* i = v->integer()) {
        if (role == Qt::DisplayRole)
            return QString::fromStdString(i->toString());
        if (const auto signedValue = i->toSigned())
            return qlonglong(*signedValue);
        return qulonglong(i->magnitude);
    }
    if (role == Qt::DisplayRole)
        return {};
    if (const double* d = v->real())
        return *d;
    if (const bool* b = v->boolean())
        return *b;
    if (const plist::Date* d = v->date())
        return qlonglong(d->seconds);
    return {};
}

} // namespace

GameListModel::GameListModel(QObject* parent) : QAbstractTableModel(parent) {}

const char* GameListModel::key(int column) {
    return column >= 0 && column < ColumnCount ? kKeys[column] : "";
}

QString GameListModel::shownText(const plist::Value& record, int column) {
    return fieldData(record, column, Qt::DisplayRole).toString();
}

QString GameListModel::displayText(const plist::Value& record, int column) {
    const plist::Value* v = field(record, column);
    if (const std::string* s = v ? v->string() : nullptr)
        return textFromUtf8(*s);
    return fieldData(record, column, Qt::DisplayRole).toString();
}

void GameListModel::append(std::vector<plist::Value> records) {
    if (records.empty())
        return;
    const int first = int(m_records.size());
    beginInsertRows({}, first, first + int(records.size()) - 1);
    m_records.reserve(m_records.size() + records.size());
    std::move(records.begin(), records.end(), std::back_inserter(m_records));
    endInsertRows();
}

void GameListModel::remove(int row) {
    if (row < 0 || row >= int(m_records.size()))
        return;
    beginRemoveRows({}, row, row);
    m_records.erase(m_records.begin() + row);
    if (row < int(m_available.size()))
        m_available.erase(m_available.begin() + row);
    endRemoveRows();
}

void GameListModel::clear() {
    beginResetModel();
    m_records.clear();
    m_available.clear();
    endResetModel();
}

void GameListModel::setAvailability(std::vector<bool> available) {
    if (available == m_available)
        return;
    m_available = std::move(available);
    if (!m_records.empty())
        emit dataChanged(index(0, Available), index(rowCount() - 1, Available));
}

bool GameListModel::isAvailable(int row) const {
    return row >= 0 && row < int(m_available.size()) && m_available[std::size_t(row)];
}

void GameListModel::setGameStats(GameStatsByName stats) {
    m_stats = std::move(stats);
    if (!m_records.empty())
        emit dataChanged(index(0, Favourite), index(rowCount() - 1, PlayTime));
}

void GameListModel::setGameStats(const std::string& name, const GameStats& stats) {
    m_stats[name] = stats;
    for (int row = 0; row < rowCount(); ++row) {
        const std::string* own = gameNameBytes(m_records[std::size_t(row)]);
        if (own && *own == name)
            emit dataChanged(index(row, Favourite), index(row, PlayTime));
    }
}

const GameStats& GameListModel::gameStats(int row) const {
    static const GameStats none;
    if (row < 0 || row >= int(m_records.size()))
        return none;
    const std::string* name = gameNameBytes(m_records[std::size_t(row)]);
    if (!name)
        return none;
    const auto it = m_stats.find(*name);
    return it == m_stats.end() ? none : it->second;
}

QString GameListModel::formatDuration(qint64 ms) {
    const qint64 seconds = std::max<qint64>(ms, 0) / 1000;
    const qint64 hours = seconds / 3600;
    const QString minutesAndSeconds = QStringLiteral("%1:%2")
                                          .arg(seconds / 60 % 60, hours ? 2 : 1, 10, QChar(u'0'))
                                          .arg(seconds % 60, 2, 10, QChar(u'0'));
    return hours ? QString::number(hours) + u':' + minutesAndSeconds : minutesAndSeconds;
}

QVariant GameListModel::statsData(int row, int column, int role) const {
    const GameStats& stats = gameStats(row);
    const bool played = stats.timesPlayed > 0;
    if (role == Qt::TextAlignmentRole)
        return column == Favourite ? int(Qt::AlignCenter) : int(Qt::AlignRight | Qt::AlignVCenter);
    switch (column) {
    case Favourite:
        if (role == Qt::DisplayRole)
            return stats.favourite ? QStringLiteral("\u2605") : QStringLiteral("\u2606");
        if (role == SortRole)
            return stats.favourite;
        if (role == Qt::ToolTipRole)
            return stats.favourite ? tr("A favourite (click or Ctrl+D to change)")
                                   : tr("Click or press Ctrl+D to make it a favourite");
        return {};
    case TimesPlayed:
        if (role == Qt::DisplayRole)
            return played ? QString::number(stats.timesPlayed) : QString();
        return role == SortRole ? QVariant(stats.timesPlayed) : QVariant();
    case LastPlayed:
        // Games never played sort after every date.
        if (!played || (role != Qt::DisplayRole && role != SortRole))
            return {};
        if (role == SortRole)
            return stats.lastPlayedMs;
        return QLocale().toString(QDateTime::fromMSecsSinceEpoch(stats.lastPlayedMs),
                                  QLocale::ShortFormat);
    case PlayTime:
        if (role == Qt::DisplayRole)
            return played ? formatDuration(stats.playMs) : QString();
        return role == SortRole ? QVariant(stats.playMs) : QVariant();
    default:
        return {};
    }
}

int GameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_records.size());
}

int GameListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant GameListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (index.column() == Available) {
        const bool found = isAvailable(index.row());
        switch (role) {
        case Qt::DisplayRole:
            return found ? QStringLiteral("\u2713") : QString();
        case SortRole:
            return found;
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        case Qt::ToolTipRole:
            return found ? tr("The ROM archive is in the ROMs folder")
                         : tr("No ROM archive for this game in the ROMs folder");
        default:
            return {};
        }
    }
    if (index.column() > Available)
        return statsData(index.row(), index.column(), role);
    return fieldData(m_records[std::size_t(index.row())], index.column(), role);
}

QVariant GameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole && section == Favourite)
        return tr("Favourite");
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    static const char* const titles[ColumnCount] = {
        QT_TR_NOOP("Name"),        QT_TR_NOOP("Title"),    QT_TR_NOOP("Year"),
        QT_TR_NOOP("Maker"),       QT_TR_NOOP("Genre"),    QT_TR_NOOP("Players"),
        QT_TR_NOOP("ROM"),         QT_TR_NOOP("\u2605"),   QT_TR_NOOP("Played"),
        QT_TR_NOOP("Last Played"), QT_TR_NOOP("Play Time")};
    return tr(titles[section]);
}

} // namespace kd
