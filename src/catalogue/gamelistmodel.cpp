#include "catalogue/gamelistmodel.h"

#include "platform/utf8text.h"

namespace kd {

namespace {

// The record's key of each column; the columns after the records' own are
// named for what they show.
constexpr const char* kKeys[GameListModel::ColumnCount] = {"name",  "title",   "year",     "maker",
                                                           "genre", "players", "available"};

const plist::Value* field(const plist::Value& record, int column) {
    const plist::Dictionary* dict = record.dictionary();
    return dict && column >= 0 && column < GameListModel::RecordColumnCount
               ? dict->find(kKeys[column])
               : nullptr;
}

} // namespace

GameListModel::GameListModel(QObject* parent) : QAbstractTableModel(parent) {}

const char* GameListModel::key(int column) {
    return column >= 0 && column < ColumnCount ? kKeys[column] : "";
}

QString GameListModel::displayText(const plist::Value& record, int column) {
    const plist::Value* v = field(record, column);
    if (!v)
        return {};
    if (const std::string* s = v->string())
        return textFromUtf8(*s);
    if (const plist::Integer* i = v->integer())
        return QString::fromStdString(i->toString());
    return {};
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
    if (role != Qt::DisplayRole && role != SortRole)
        return {};
    const plist::Value* v = field(m_records[std::size_t(index.row())], index.column());
    if (!v)
        return {};
    if (const std::string* s = v->string())
        return textFromUtf8(*s);
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

QVariant GameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    static const char* const titles[ColumnCount] = {
        QT_TR_NOOP("Name"),  QT_TR_NOOP("Title"),   QT_TR_NOOP("Year"), QT_TR_NOOP("Maker"),
        QT_TR_NOOP("Genre"), QT_TR_NOOP("Players"), QT_TR_NOOP("ROM")};
    return tr(titles[section]);
}

} // namespace kd
