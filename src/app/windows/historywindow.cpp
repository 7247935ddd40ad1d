#include "app/windows/historywindow.h"

#include "app/windows/windowarrangement.h"
#include "platform/desktop/plainlabel.h"
#include "platform/showntext.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kd {

HistoryWindow::HistoryWindow(QWidget* parent)
    : ToolWindow(QStringLiteral("historyWindow"), parent), m_note(plainLabel()),
      m_table(new QTableWidget(0, 4)) {
    setWindowTitle(tr("History"));
    m_note->setObjectName(QStringLiteral("historyNote"));
    m_note->setWordWrap(true);
    m_table->setObjectName(QStringLiteral("historyTable"));
    m_table->setHorizontalHeaderLabels({tr("Game"), tr("Started"), tr("Duration"), tr("Outcome")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    // A row starts its game again on a double click or Return/Enter, never on
    // one click (`activated` fires on one click where the style says so).
    connect(m_table, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { startRow(index.row()); });
    m_table->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_note);
    layout->addWidget(m_table, 1);
    windowArrangement::sizeWithinScreen(*this, {640, 420});
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (m_table->currentIndex().isValid())
                startRow(m_table->currentRow());
            return true;
        }
    }
    return ToolWindow::eventFilter(watched, event);
}

void HistoryWindow::startRow(int row) {
    if (const QTableWidgetItem* item = m_table->item(row, 0))
        emit startRequested(item->data(Qt::UserRole).toString());
}

void HistoryWindow::showRuns(const QString& note, const std::vector<Row>& rows) {
    setPlainText(m_note, note);
    m_note->setVisible(!note.isEmpty());
    m_table->setRowCount(int(rows.size()));
    for (int row = 0; row < int(rows.size()); ++row) {
        const Row& run = rows[std::size_t(row)];
        const QString cells[] = {run.game, run.started, run.duration, run.outcome};
        const QString command = plainToolTip(run.command);
        for (int column = 0; column < 4; ++column) {
            auto* item = new QTableWidgetItem(shownText(cells[column]));
            item->setToolTip(command);
            item->setData(Qt::UserRole, run.romPath);
            m_table->setItem(row, column, item);
        }
    }
    m_table->resizeColumnsToContents();
}

} // namespace kd
