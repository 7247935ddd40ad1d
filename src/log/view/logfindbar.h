#pragma once

#include "log/logsearch.h"

#include <QTimer>
#include <QWidget>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace kd {

class LogView;

// The bar under the log that finds text in it: typing finds the first match,
// Enter and F3 the next one, Shift+Enter and Shift+F3 the previous one, Escape
// closes the bar. The match is selected
// and scrolled into view; "Not found" shows in the bar. A search runs a slice
// at a time between events, so the window answers while it runs.
class LogFindBar : public QWidget {
    Q_OBJECT
public:
    explicit LogFindBar(LogView* view, QWidget* parent = nullptr);

    // Shows the bar with its field focused and its text selected.
    void open();
    void findNext();
    void findPrevious();
    bool isSearching() const { return m_timer.isActive(); }

    QLineEdit* field() const { return m_field; }
    QCheckBox* caseSwitch() const { return m_case; }
    QString status() const;

    // Bytes looked at per slice: a few milliseconds' worth.
    static constexpr qint64 SliceBytes = qint64(4) << 20;

signals:
    // A search has ended, found or not.
    void finished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void find(LogSearch::Direction direction, std::optional<qint64> from = std::nullopt);
    void findAsTyped();
    qint64 topOfView() const;
    void step();
    void cancel();
    void setStatus(const QString& text, bool problem = false);

    LogView* m_view;
    QLineEdit* m_field;
    QToolButton* m_previous;
    QToolButton* m_next;
    QCheckBox* m_case;
    QLabel* m_status;
    std::optional<LogSearch> m_search;
    QTimer m_timer;
};

} // namespace kd
