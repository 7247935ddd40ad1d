#include "catalogue/gamelistmodel.h"

#include "platform/utf8text.h"

namespace kd {

namespace {

constexpr const char* kKeys[GameListModel::ColumnCount] = {"name",  "title", "year",
                                                           "maker", "genre", "players"};
constexpr const char* kTitles[GameListModel::ColumnCount] = {"Name",  "Title", "Year",
                                                             "Maker", "Genre", "Players"};

} // namespace

GameListModel::GameListModel(QObject* parent) : QAbstractTableModel(parent) {}

const char* GameListModel::key(int column) {
    return column >= 0 && column < ColumnCount ? kKeys[column] : "";
}

void GameListModel::append(std::vector<plist::Value> records) {
    if (records.empty())
        return;
    const int first = int(records_.size());
    beginInsertRows({}, first, first + int(records.size()) - 1);
    records_.reserve(records_.size() + records.size());
    std::move(records.begin(), records.end(), std::back_inserter(records_));
    endInsertRows();
}

int GameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(records_.size());
}

int GameListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant GameListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        (role != Qt::DisplayRole && role != SortRole))
        return {};
    const plist::Dictionary* record = records_[std::size_t(index.row())].dictionary();
    const plist::Value* v = record ? record->find(kKeys[index.column()]) : nullptr;
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
    return QString::fromLatin1(kTitles[section]);
}

} // namespace kd
