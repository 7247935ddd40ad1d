#pragma once

#include <QWidget>

namespace kd {

// Brings a window forward and gives it the keys; a minimised one comes back as
// it was left (maximised stays maximised).
void bringForward(QWidget* window);

// A window beside the main windows (preferences, log, History, About): Escape
// that no control inside used, and Ctrl+W, close it.
class ToolWindow : public QWidget {
    Q_OBJECT
public:
    explicit ToolWindow(const QString& objectName, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace kd
