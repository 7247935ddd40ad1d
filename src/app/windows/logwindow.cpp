#include "app/windows/logwindow.h"

#include "app/menus/launcheractions.h"
#include "app/windows/windowarrangement.h"
#include "log/view/logfindbar.h"
#include "log/view/logview.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kd {

LogWindow::LogWindow(const LauncherActions& actions, QWidget* parent)
    : ToolWindow(QStringLiteral("logWindow"), parent), infomationTextView(new LogView),
      m_findBar(new LogFindBar(infomationTextView)) {
    setWindowTitle(tr("Log"));
    infomationTextView->setObjectName(QStringLiteral("infomationTextView"));
    auto* buttons = new QHBoxLayout;
    auto addButton = [buttons](const QString& text, QAction* action) {
        auto* button = new QPushButton(text);
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        buttons->addWidget(button);
    };
    addButton(tr("&Marker"), actions.marker);
    addButton(tr("&Clear"), actions.clearLog);
    buttons->addStretch(1);
    addButton(tr("&Find…"), actions.findInLog);
    addButton(tr("&Save…"), actions.saveLog);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(infomationTextView, 1);
    layout->addWidget(m_findBar);
    layout->addLayout(buttons);
    windowArrangement::sizeWithinScreen(*this, {760, 480});

    // Shortcuts of the log window alone: the main windows keep Ctrl+F for themselves.
    auto shortcut = [this](QKeySequence::StandardKey keys, auto* receiver, auto slot) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, receiver, slot);
        addAction(action);
    };
    shortcut(QKeySequence::Save, actions.saveLog, &QAction::trigger);
    shortcut(QKeySequence::Find, m_findBar, &LogFindBar::open);
    shortcut(QKeySequence::FindNext, m_findBar, &LogFindBar::findNext);
    shortcut(QKeySequence::FindPrevious, m_findBar, &LogFindBar::findPrevious);
}

void LogWindow::openFindBar() {
    m_findBar->open();
}

} // namespace kd
