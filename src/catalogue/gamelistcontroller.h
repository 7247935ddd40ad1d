#pragma once

#include "catalogue/gamelistmodel.h"

#include <QItemSelectionModel>
#include <QObject>
#include <QSortFilterProxyModel>
#include <limits>
#include <vector>

class QAbstractItemView;

namespace kd {

// Holds the game records in stored order and presents them as the tables show
// them (a sort proxy over the stored list), with one selection that every
// table shares. Selection indexes count rows of the arranged list.
class GameListController : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 NotFound = std::numeric_limits<qint64>::max();

    explicit GameListController(QObject* parent = nullptr);

    const std::vector<plist::Value>& content() const { return m_model.records(); }
    // The records in the order the tables show them; valid until the list changes.
    std::vector<const plist::Value*> arrangedObjects() const;
    void addObjects(std::vector<plist::Value> records);

    GameListModel* model() { return &m_model; }
    QSortFilterProxyModel* proxyModel() { return &m_proxy; }
    QItemSelectionModel* selectionModel() { return &m_selection; }

    // Shows the arranged list in `view`, sharing the selection: single
    // selection of whole rows, sorting by a click on a header (a table starts
    // unsorted, in stored order).
    void attachView(QAbstractItemView* view);

    qint64 selectionIndex() const;
    // The selected record, or null; valid until the list changes.
    const plist::Value* selection() const;
    // Selects that arranged row; an index out of range clears the selection.
    void setSelectionIndex(qint64 index);

signals:
    void selectionChanged();

private:
    GameListModel m_model;
    QSortFilterProxyModel m_proxy;
    QItemSelectionModel m_selection;
};

} // namespace kd
