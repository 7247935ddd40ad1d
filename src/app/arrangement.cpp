// The arrangement the user left the windows in comes back at the next start:
// window places and sizes, the splitter of main window 1 and each table's
// columns.
#include "settings/arrangement.h"

#include "app/appdelegate.h"
#include "app/gametableview.h"
#include "catalogue/gamelistmodel.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QSplitter>

namespace kd {

namespace {

// What a table's stored columns were made for: another set of columns (a
// later version) makes its state useless.
QString columnKeys() {
    QStringList keys;
    for (int column = 0; column < GameListModel::ColumnCount; ++column)
        keys << QString::fromLatin1(GameListModel::key(column));
    return keys.join(u',');
}

} // namespace

void AppDelegate::restoreArrangement() {
    for (QWidget* w : {static_cast<QWidget*>(window), static_cast<QWidget*>(window2), logWindow,
                       preferencesWindow})
        arrangement::restoreGeometry(m_store, w->objectName(), *w);
    arrangement::restoreSplitter(m_store, m_splitter->objectName(), *m_splitter);
    for (QTableView* table : {tableView_list, tableView_list2}) {
        auto* view = static_cast<GameTableView*>(table);
        if (!arrangement::restoreHeader(m_store, table->objectName(), *table->horizontalHeader(),
                                        columnKeys()))
            view->fitColumnsWhenShown();
        table->setColumnHidden(view->keyColumn(), false);
    }
    // Saved when the launcher quits, however it is asked to.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::saveArrangement,
            Qt::UniqueConnection);
}

void AppDelegate::saveArrangement() {
    for (QWidget* w : {static_cast<QWidget*>(window), static_cast<QWidget*>(window2), logWindow,
                       preferencesWindow})
        arrangement::saveGeometry(m_store, w->objectName(), *w);
    arrangement::saveSplitter(m_store, m_splitter->objectName(), *m_splitter);
    for (QTableView* table : {tableView_list, tableView_list2})
        arrangement::saveHeader(m_store, table->objectName(), *table->horizontalHeader(),
                                columnKeys());
    m_store.synchronize();
}

} // namespace kd
