#pragma once

#include "log/logtext.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QStringView>
#include <QTimer>

namespace kd {

// A read-only view of one running text, fast enough to follow an emulator that
// floods its pipe: the text is kept as UTF-8 (see LogText) and only the visible
// lines are decoded and painted. Fixed-width font, no wrapping. The user can
// select with the mouse or Ctrl+A and copy with Ctrl+C or the context menu.
//
// Appends never scroll and only schedule one refresh (at most every ~16 ms),
// however many arrive in one pass of the event loop.
class LogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);

    // `validUtf8` must be valid UTF-8 (see Utf8StreamDecoder).
    void appendUtf8(QByteArrayView validUtf8);
    void appendText(QStringView text);
    void setText(const QString& text);
    void clear();

    QString text() const;
    QByteArray utf8() const;
    bool isEmpty() const { return m_text.isEmpty(); }
    // True when the next text appended would start a line of its own.
    bool atLineStart() const {
        const qint64 n = m_text.size();
        return n == 0 || m_text.at(n - 1) == '\n' || m_text.at(n - 1) == '\r';
    }
    qint64 byteLength() const { return m_text.size(); }
    qint64 lineCount() const { return m_text.lineCount(); }
    // Bytes held for the text and its line index.
    qint64 capacityBytes() const { return m_text.capacity(); }

    // Shows the end of the text now: the last line at the bottom, scrolled
    // horizontally to its start unless its end would then be out of view.
    void scrollToEnd();
    bool isEndVisible() const;

    void selectAll();
    // Selects the bytes [from, to) (clamped to the text).
    void setSelection(qint64 from, qint64 to);
    bool hasSelection() const { return m_anchor != m_cursor; }
    qint64 selectionStart() const { return std::min(m_anchor, m_cursor); }
    qint64 selectionEnd() const { return std::max(m_anchor, m_cursor); }
    QString selectedText() const;
    void copy();

    // Selects the bytes [from, to) and scrolls them into view: the line to
    // the middle unless it is shown already, the columns as far as they fit.
    void showRange(qint64 from, qint64 to);

    // Where the cell `column` of `line` sits in the viewport, for the current
    // scroll position.
    QRect cellRect(qint64 line, qint64 column) const;
    // The first line shown.
    qint64 topLine() const;

    const LogText& logText() const { return m_text; }

    // What is drawn for the valid UTF-8 `utf8` when it starts at cell
    // `firstCell` of its line: a tab as blanks up to the next stop, another
    // control character as its visible symbol, every other character as it
    // is. Each character takes one cell, as the selection and the scroll
    // range count them.
    static QString shownText(QByteArrayView utf8, qint64 firstCell);

signals:
    // The text was emptied (cleared or replaced): no position in it holds any more.
    void cleared();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    struct Segment; // the visible part of one line, see visibleSegment()

    void scheduleRefresh();
    void refresh();
    void updateMetrics();
    void updateScrollBars();
    int visibleLines() const;
    int visibleColumns() const;
    Segment visibleSegment(qint64 line, qint64 firstColumn, qint64 lastColumn) const;
    // Text position nearest to a viewport point.
    qint64 positionAt(QPoint point) const;
    void selectWordAt(QPoint point);
    void extendSelectionTo(QPoint point);

    LogText m_text;
    qint64 m_anchor = 0;
    qint64 m_cursor = 0;
    qint64 m_widestSeen = 0; // widest line in cells met while painting
    int m_lineHeight = 1;
    int m_ascent = 0;
    double m_cellWidth = 1;
    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    bool m_dragging = false;
    QPoint m_dragPoint;
    QBasicTimer m_autoScroll;
};

} // namespace kd
