#include "app/windows/toolwindow.h"

#include <QAction>
#include <QKeyEvent>

namespace kd {

void bringForward(QWidget* window) {
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

ToolWindow::ToolWindow(const QString& objectName, QWidget* parent) : QWidget(parent) {
    setObjectName(objectName);
    auto* close = new QAction(tr("Close Window"), this);
    close->setObjectName(QStringLiteral("closeWindow"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

void ToolWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kd
