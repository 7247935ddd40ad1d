#pragma once

#include "app/windows/toolwindow.h"

namespace kd {

// The About window: the launcher's version and licence, and the emulator
// project's two addresses, which open through the launcher (linkClicked) so
// that a failure can be said.
class AboutWindow : public ToolWindow {
    Q_OBJECT
public:
    AboutWindow(const QString& homePage, const QString& projectPage, QWidget* parent = nullptr);

signals:
    void linkClicked(const QString& address);
};

} // namespace kd
