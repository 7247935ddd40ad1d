// The selection: setting and copying it, and choosing it with the mouse
// (press, drag with auto-scroll, double click, the context menu).
#include "log/view/logview.h"
#include "log/view/logview_p.h"
#include "platform/utf8text.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

namespace kd {

using logview_detail::isContinuation;
using logview_detail::kMargin;
using logview_detail::walkCells;

namespace {

constexpr int kAutoScrollMs = 50;

bool isWordByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x80 || b == '_' || (b >= '0' && b <= '9') ||
           ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
}

} // namespace

void LogView::selectAll() {
    setSelection(0, m_text.size());
}

void LogView::setSelection(qint64 from, qint64 to) {
    auto toBoundary = [this](qint64 pos) {
        pos = std::clamp<qint64>(pos, 0, m_text.size());
        while (pos > 0 && pos < m_text.size() && isContinuation(m_text.at(pos)))
            --pos;
        return pos;
    };
    m_anchor = toBoundary(from);
    m_cursor = toBoundary(to);
    viewport()->update();
}

QString LogView::selectedText() const {
    return textFromUtf8(m_text.bytes(selectionStart(), selectionEnd()));
}

void LogView::copy() {
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

qint64 LogView::positionAt(QPoint point) const {
    const qint64 line = std::clamp<qint64>(verticalScrollBar()->value() + point.y() / m_lineHeight,
                                           0, m_text.lineCount() - 1);
    const qint64 start = m_text.lineStart(line);
    const qint64 end = m_text.lineEnd(line);
    const double x = horizontalScrollBar()->value() + double(point.x() - kMargin) / m_cellWidth;
    qint64 result = end;
    walkCells(m_text, start, end, [&](qint64 pos, qint64 cell, qint64 next) {
        if (x < (cell + next) / 2.0) {
            result = pos;
            return false;
        }
        return true;
    });
    return result;
}

void LogView::extendSelectionTo(QPoint point) {
    m_cursor = positionAt(point);
    viewport()->update();
}

void LogView::selectWordAt(QPoint point) {
    const qint64 line = std::clamp<qint64>(verticalScrollBar()->value() + point.y() / m_lineHeight,
                                           0, m_text.lineCount() - 1);
    const qint64 start = m_text.lineStart(line);
    const qint64 end = m_text.lineEnd(line);
    const double x = horizontalScrollBar()->value() + double(point.x() - kMargin) / m_cellWidth;
    qint64 hit = -1;
    qint64 after = end;
    walkCells(m_text, start, end, [&](qint64 pos, qint64, qint64 next) {
        if (hit >= 0) {
            after = pos;
            return false;
        }
        if (x < next)
            hit = pos;
        return true;
    });
    if (hit < 0) {
        setSelection(end, end);
        return;
    }
    if (!isWordByte(m_text.at(hit))) {
        setSelection(hit, after);
        return;
    }
    qint64 from = hit;
    while (from > start && isWordByte(m_text.at(from - 1)))
        --from;
    qint64 to = hit;
    while (to < end && isWordByte(m_text.at(to)))
        ++to;
    setSelection(from, to);
}

void LogView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const qint64 pos = positionAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        m_anchor = pos;
    m_cursor = pos;
    m_dragging = true;
    viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging)
        return;
    m_dragPoint = event->position().toPoint();
    extendSelectionTo(m_dragPoint);
    if (viewport()->rect().contains(m_dragPoint))
        m_autoScroll.stop();
    else if (!m_autoScroll.isActive())
        m_autoScroll.start(kAutoScrollMs, this);
}

void LogView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging)
        return;
    m_dragging = false;
    m_autoScroll.stop();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    selectWordAt(event->position().toPoint());
}

void LogView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_autoScroll.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    const QRect area = viewport()->rect();
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* horizontal = horizontalScrollBar();
    if (m_dragPoint.y() < area.top())
        vertical->setValue(vertical->value() - 1);
    else if (m_dragPoint.y() > area.bottom())
        vertical->setValue(vertical->value() + 1);
    if (m_dragPoint.x() < area.left())
        horizontal->setValue(horizontal->value() - 2);
    else if (m_dragPoint.x() > area.right())
        horizontal->setValue(horizontal->value() + 2);
    extendSelectionTo(m_dragPoint);
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("Copy"), this, &LogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    QAction* allAction = menu.addAction(tr("Select All"), this, &LogView::selectAll);
    allAction->setShortcut(QKeySequence::SelectAll);
    allAction->setEnabled(!isEmpty());
    menu.exec(event->globalPos());
}

} // namespace kd
