// The text, scrolling, metrics and painting; the selection and the mouse are
// in logviewselection.cpp.
#include "log/view/logview.h"

#include "log/view/logview_p.h"
#include "platform/utf8text.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <cmath>

namespace kd {

using logview_detail::kMargin;
using logview_detail::kTabWidth;
using logview_detail::walkCells;

namespace {

constexpr int kRefreshMs = 16; // about one frame
constexpr qint64 kMeasuredLineBytes = 64 * 1024;

int clampToInt(qint64 value) {
    return int(std::clamp<qint64>(value, 0, INT_MAX));
}

// The cell where `pos` of the line starting at `from` begins, at most `limit`.
qint64 cellOf(const LogText& text, qint64 from, qint64 lineEnd, qint64 pos, qint64 limit) {
    qint64 result = -1;
    const qint64 end = walkCells(text, from, lineEnd, [&](qint64 p, qint64 cell, qint64) {
        if (p >= pos || cell >= limit) {
            result = cell;
            return false;
        }
        return true;
    });
    return std::min(result < 0 ? end : result, limit);
}

} // namespace

struct LogView::Segment {
    qint64 from = 0;   // first byte shown
    qint64 to = 0;     // end of the bytes shown
    qint64 column = 0; // cell where `from` begins
    qint64 cells = -1; // cells of the whole line, when the walk reached its end
};

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setCursor(Qt::IBeamCursor);
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &LogView::refresh);
    updateMetrics();
    updateScrollBars();
}

void LogView::appendUtf8(QByteArrayView validUtf8) {
    if (validUtf8.isEmpty())
        return;
    m_text.append(validUtf8);
    scheduleRefresh();
}

void LogView::appendText(QStringView text) {
    appendUtf8(text.toUtf8());
}

void LogView::setText(const QString& text) {
    clear();
    appendText(text);
}

void LogView::clear() {
    m_text.clear();
    m_anchor = m_cursor = 0;
    m_widestSeen = 0;
    m_refreshTimer.stop();
    refresh();
    emit cleared();
}

QString LogView::text() const {
    return textFromUtf8(utf8());
}

QByteArray LogView::utf8() const {
    return m_text.bytes(0, m_text.size());
}

void LogView::scrollToEnd() {
    m_refreshTimer.stop();
    refresh();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    const qint64 endCell = m_text.lastLineCells();
    const int columns = visibleColumns();
    horizontalScrollBar()->setValue(endCell < columns ? 0 : clampToInt(endCell - columns + 1));
}

bool LogView::isEndVisible() const {
    const qint64 last = m_text.lineCount() - 1;
    const qint64 top = verticalScrollBar()->value();
    if (last < top || last >= top + visibleLines())
        return false;
    const qint64 endCell = m_text.lastLineCells();
    const qint64 left = horizontalScrollBar()->value();
    return endCell >= left && endCell < left + visibleColumns();
}

void LogView::showRange(qint64 from, qint64 to) {
    setSelection(from, to);
    m_refreshTimer.stop();
    refresh();
    const qint64 line = m_text.lineOf(selectionStart());
    const int lines = visibleLines();
    QScrollBar* vertical = verticalScrollBar();
    if (line < vertical->value() || line >= vertical->value() + lines)
        vertical->setValue(clampToInt(line - lines / 2));
    const qint64 start = m_text.lineStart(line);
    const qint64 end = m_text.lineEnd(line);
    const int columns = visibleColumns();
    const qint64 first = cellOf(m_text, start, end, selectionStart(), LLONG_MAX);
    const qint64 last = cellOf(m_text, start, end, std::min(selectionEnd(), end), LLONG_MAX);
    QScrollBar* horizontal = horizontalScrollBar();
    if (first < horizontal->value() || last >= horizontal->value() + columns)
        horizontal->setValue(clampToInt(last < columns ? 0 : std::min(first, last - columns + 1)));
}

qint64 LogView::topLine() const {
    return verticalScrollBar()->value();
}

QRect LogView::cellRect(qint64 line, qint64 column) const {
    const double x = kMargin + double(column - horizontalScrollBar()->value()) * m_cellWidth;
    const qint64 y = (line - verticalScrollBar()->value()) * m_lineHeight;
    auto toInt = [](double v) {
        return int(std::clamp<double>(std::floor(v), INT_MIN / 2, INT_MAX / 2));
    };
    return QRect(toInt(x), toInt(double(y)), int(std::ceil(m_cellWidth)), m_lineHeight);
}

void LogView::scheduleRefresh() {
    if (m_refreshTimer.isActive())
        return;
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : kRefreshMs;
    m_refreshTimer.start(int(std::max<qint64>(0, kRefreshMs - since)));
}

void LogView::refresh() {
    m_sinceRefresh.start();
    updateScrollBars();
    viewport()->update();
}

void LogView::updateMetrics() {
    const QFontMetrics metrics(font());
    m_lineHeight = std::max(1, metrics.lineSpacing());
    m_ascent = metrics.ascent();
    // The advance as drawn, fractions included: rounded, the cells drift away
    // from the glyphs along a long line.
    m_cellWidth = std::max(1.0, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M')));
}

int LogView::visibleLines() const {
    return std::max(1, viewport()->height() / m_lineHeight);
}

int LogView::visibleColumns() const {
    return std::max(1, int((viewport()->width() - 2 * kMargin) / m_cellWidth));
}

void LogView::updateScrollBars() {
    const int lines = visibleLines();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, clampToInt(m_text.lineCount() - lines));
    vertical->setPageStep(lines);
    vertical->setSingleStep(1);

    // Byte counts bound the width of most lines from above; tabs can make a
    // line wider, which painting and the last line's count catch.
    const qint64 widest =
        std::max({m_widestSeen, m_text.longestLineBytes(), m_text.lastLineCells()});
    const int columns = visibleColumns();
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, clampToInt(widest + 1 - columns));
    horizontal->setPageStep(columns);
    horizontal->setSingleStep(2);
}

QString LogView::shownText(QByteArrayView utf8, qint64 firstCell) {
    // Tabs become blanks up to the next stop; other control characters show
    // as their visible symbols so nothing disappears silently.
    QString shown;
    shown.reserve(utf8.size());
    qint64 cell = firstCell;
    for (const QChar ch : textFromUtf8(utf8)) {
        const char16_t u = ch.unicode();
        if (u == u'\t') {
            const qint64 next = (cell / kTabWidth + 1) * kTabWidth;
            shown.append(QString(qsizetype(next - cell), u' '));
            cell = next;
            continue;
        }
        if (u < 0x20 || u == 0x7F)
            shown.append(QChar(u == 0x7F ? 0x2421 : 0x2400 + u));
        else
            shown.append(ch);
        if (!ch.isLowSurrogate())
            ++cell;
    }
    return shown;
}

LogView::Segment LogView::visibleSegment(qint64 line, qint64 firstColumn, qint64 lastColumn) const {
    Segment segment;
    const qint64 start = m_text.lineStart(line);
    const qint64 end = m_text.lineEnd(line);
    segment.from = segment.to = end;
    // Lines of ordinary length are walked to their end to learn their width;
    // a huge one only up to the right edge of the view.
    const bool measure = end - start <= kMeasuredLineBytes;
    bool found = false;
    bool cut = false;
    const qint64 cells = walkCells(m_text, start, end, [&](qint64 pos, qint64 cell, qint64 next) {
        if (!found && next > firstColumn) {
            found = true;
            segment.from = pos;
            segment.column = cell;
        }
        if (cell >= lastColumn && !cut) {
            segment.to = pos;
            cut = true;
            return measure;
        }
        return true;
    });
    if (!found)
        segment.column = cells;
    if (!cut || measure)
        segment.cells = cells;
    return segment;
}

void LogView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette& pal = palette();
    const qint64 top = verticalScrollBar()->value();
    const qint64 left = horizontalScrollBar()->value();
    const qint64 lastColumn = left + visibleColumns() + 1;
    const qint64 first = top + event->rect().top() / m_lineHeight;
    const qint64 last =
        std::min(m_text.lineCount() - 1, top + event->rect().bottom() / m_lineHeight);
    const qint64 selStart = selectionStart();
    const qint64 selEnd = selectionEnd();
    const int width = viewport()->width();
    auto cellX = [&](qint64 cell) {
        return int(std::clamp<double>(std::round(kMargin + double(cell - left) * m_cellWidth),
                                      -m_cellWidth, width));
    };

    bool widened = false;
    for (qint64 line = first; line <= last; ++line) {
        const int y = int(line - top) * m_lineHeight;
        const Segment segment = visibleSegment(line, left, lastColumn);
        if (segment.cells > m_widestSeen) {
            m_widestSeen = segment.cells;
            // Only tabs make a line wider than its byte count.
            widened = widened || segment.cells > m_text.longestLineBytes();
        }

        const QString shown = shownText(m_text.bytes(segment.from, segment.to), segment.column);
        const double textX = kMargin + double(segment.column - left) * m_cellWidth;

        QRect selected;
        const qint64 start = m_text.lineStart(line);
        const qint64 end = m_text.lineEnd(line);
        const qint64 next = line + 1 < m_text.lineCount() ? m_text.lineStart(line + 1) : end;
        if (selStart < selEnd && selStart < std::max(next, end) && selEnd > start) {
            const qint64 from =
                selStart <= start ? 0 : cellOf(m_text, start, end, selStart, lastColumn);
            // A selected line end shows as one more highlighted cell.
            const qint64 to = selEnd > end ? cellOf(m_text, start, end, end, lastColumn) + 1
                                           : cellOf(m_text, start, end, selEnd, lastColumn);
            selected = QRect(QPoint(cellX(from), y), QPoint(cellX(to) - 1, y + m_lineHeight - 1));
            painter.fillRect(selected, pal.highlight());
        }
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(QPointF(textX, y + m_ascent), shown);
        if (!selected.isEmpty()) {
            painter.save();
            painter.setClipRect(selected);
            painter.setPen(pal.color(QPalette::HighlightedText));
            painter.drawText(QPointF(textX, y + m_ascent), shown);
            painter.restore();
        }
    }
    if (widened) // the range only; the content on screen is already right
        QTimer::singleShot(0, this, &LogView::updateScrollBars);
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void LogView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        refresh();
    }
}

void LogView::scrollContentsBy(int, int) {
    viewport()->update();
}

void LogView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        copy();
    } else if (event == QKeySequence::SelectAll) {
        selectAll();
    } else if (event == QKeySequence::MoveToStartOfDocument) {
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
    } else if (event == QKeySequence::MoveToEndOfDocument) {
        scrollToEnd();
    } else if (event == QKeySequence::MoveToStartOfLine) {
        horizontalScrollBar()->setValue(0);
    } else if (event == QKeySequence::MoveToEndOfLine) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

} // namespace kd
