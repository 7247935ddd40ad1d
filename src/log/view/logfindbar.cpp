#include "log/view/logfindbar.h"

#include "log/view/logview.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace kd {

LogFindBar::LogFindBar(LogView* view, QWidget* parent)
    : QWidget(parent), m_view(view), m_field(new QLineEdit), m_previous(new QToolButton),
      m_next(new QToolButton), m_case(new QCheckBox(tr("Match case"))), m_status(new QLabel) {
    setObjectName(QStringLiteral("logFindBar"));
    m_field->setObjectName(QStringLiteral("findField"));
    m_field->setPlaceholderText(tr("Find in the log"));
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    // Our own words only, but no label of ours reads markup.
    m_status->setTextFormat(Qt::PlainText);
    m_previous->setText(tr("Previous"));
    m_previous->setToolTip(tr("Find the previous match (Shift+Enter)"));
    m_next->setText(tr("Next"));
    m_next->setToolTip(tr("Find the next match (Enter)"));
    auto* close = new QToolButton;
    close->setObjectName(QStringLiteral("findClose"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setAutoRaise(true);
    close->setToolTip(tr("Close the find bar (Escape)"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_field, 2);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_case);
    layout->addWidget(m_status, 1);
    layout->addWidget(close);

    connect(m_previous, &QToolButton::clicked, this, &LogFindBar::findPrevious);
    connect(m_next, &QToolButton::clicked, this, &LogFindBar::findNext);
    connect(close, &QToolButton::clicked, this, [this] {
        cancel();
        hide();
        m_view->setFocus();
    });
    // A changed question makes the old answer stale; what the user types is
    // looked for at once (a text set by the program is not).
    connect(m_field, &QLineEdit::textChanged, this, [this] {
        cancel();
        setStatus(QString());
        if (m_field->isModified())
            findAsTyped();
    });
    connect(m_case, &QCheckBox::toggled, this, [this] {
        cancel();
        setStatus(QString());
    });
    connect(m_view, &LogView::cleared, this, [this] {
        if (isSearching()) {
            cancel();
            setStatus(QString());
        }
    });
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &LogFindBar::step);
    hide();
}

void LogFindBar::open() {
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void LogFindBar::findNext() {
    find(LogSearch::Direction::Forward);
}

void LogFindBar::findPrevious() {
    find(LogSearch::Direction::Backward);
}

QString LogFindBar::status() const {
    return m_status->text();
}

bool LogFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            key->modifiers() & Qt::ShiftModifier ? findPrevious() : findNext();
            return true;
        }
        if (key->matches(QKeySequence::FindNext) || key->matches(QKeySequence::FindPrevious)) {
            key->matches(QKeySequence::FindNext) ? findNext() : findPrevious();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            cancel();
            hide();
            m_view->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

qint64 LogFindBar::topOfView() const {
    const LogText& text = m_view->logText();
    return text.lineStart(std::min(m_view->topLine(), text.lineCount() - 1));
}

// Each keystroke finds the first match from where the last one began (or the
// top of the view), so a longer text keeps or narrows it; the old highlight
// goes at once, found or not.
void LogFindBar::findAsTyped() {
    const qint64 from = m_view->hasSelection() ? m_view->selectionStart() : topOfView();
    m_view->setSelection(from, from);
    find(LogSearch::Direction::Forward, from);
}

void LogFindBar::find(LogSearch::Direction direction, std::optional<qint64> from) {
    cancel();
    const QString needle = m_field->text();
    if (needle.isEmpty()) {
        setStatus(QString());
        return;
    }
    m_search.emplace(needle, m_case->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
    // On from the match shown, or from the top of the view.
    qint64 start = topOfView();
    if (from)
        start = *from;
    else if (m_view->hasSelection())
        start = direction == LogSearch::Direction::Forward ? m_view->selectionEnd()
                                                           : m_view->selectionStart();
    m_search->begin(m_view->logText(), start, direction);
    setStatus(tr("Searching…"));
    step();
}

void LogFindBar::step() {
    const LogSearch::State state = m_search->step(m_view->logText(), SliceBytes);
    if (state == LogSearch::State::Searching) {
        if (!m_timer.isActive())
            m_timer.start();
        return;
    }
    m_timer.stop();
    if (state == LogSearch::State::Found) {
        m_view->showRange(m_search->matchStart(), m_search->matchEnd());
        setStatus(!m_search->wrapped() ? QString()
                  : m_search->direction() == LogSearch::Direction::Forward
                      ? tr("Continued from the top")
                      : tr("Continued from the bottom"));
    } else {
        setStatus(tr("Not found"), true);
    }
    emit finished();
}

void LogFindBar::cancel() {
    m_timer.stop();
    m_search.reset();
}

void LogFindBar::setStatus(const QString& text, bool problem) {
    m_status->setText(text);
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText, problem ? QColor(0xb0, 0x00, 0x20)
                                                   : this->palette().color(QPalette::WindowText));
    m_status->setPalette(palette);
}

} // namespace kd
