#pragma once

#include "app/windows/toolwindow.h"

#include <vector>

class QLabel;
class QTableWidget;

namespace kd {

// The History window: the newest game runs, one row each, and a note above
// them when there are none or the history is off.
class HistoryWindow : public ToolWindow {
    Q_OBJECT
public:
    struct Row {
        QString game;
        QString started;
        QString duration;
        QString outcome;
        QString command; // what exactly was started, shown as each cell's tooltip
        QString romPath; // what starting the row again starts
    };

    explicit HistoryWindow(QWidget* parent = nullptr);

    // An empty note hides it.
    void showRuns(const QString& note, const std::vector<Row>& rows);

signals:
    // A double click or Return/Enter on a row.
    void startRequested(const QString& romPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startRow(int row);

    QLabel* m_note;
    QTableWidget* m_table;
};

} // namespace kd
