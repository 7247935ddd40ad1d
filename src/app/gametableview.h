#pragma once

#include <QTableView>

class QLabel;

namespace kd {

// The game table. Its rows are whole games, so the keys move between games and
// Tab moves on to the next control; an empty list can explain itself in the
// table area.
class GameTableView : public QTableView {
    Q_OBJECT
public:
    explicit GameTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    // Shown in place of the rows while there are none; empty shows nothing.
    void setPlaceholderText(const QString& text);
    QString placeholderText() const;
    bool isPlaceholderShown() const;

protected:
    // Home and End go to the first and last game, with or without Ctrl.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updatePlaceholder();

    QLabel* m_placeholder;
};

} // namespace kd
