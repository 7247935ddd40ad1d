#pragma once

#include "app/windows/toolwindow.h"

namespace kd {

class LauncherActions;
class LogFindBar;
class LogView;

// The log window: everything the emulator printed and what the launcher said
// about its runs, with a find bar under the text and buttons for the log's menu
// items.
class LogWindow : public ToolWindow {
    Q_OBJECT
public:
    explicit LogWindow(const LauncherActions& actions, QWidget* parent = nullptr);

    LogView& view() { return *infomationTextView; }
    void openFindBar();

private:
    // The log text keeps the launcher's name for it.
    LogView* infomationTextView;
    LogFindBar* m_findBar;
};

} // namespace kd
