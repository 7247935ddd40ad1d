#include "app/activation.h"

#include "app/appdelegate.h"
#include "platform/desktop.h"

namespace kd {

std::optional<RunningApplication> findRunningApplication(const QList<RunningApplication>& apps,
                                                         const QString& name) {
    for (const RunningApplication& app : apps)
        if (!app.name.isNull() && app.name == name)
            return app;
    return std::nullopt;
}

void AppDelegate::show_kdrome(const QString& applicationName) {
    if (const auto app = findRunningApplication(m_desktop.runningApplications(), applicationName))
        m_desktop.raiseApplication(*app);
}

void AppDelegate::Menu_show_kdrome() {
    show_kdrome(EmulatorName);
}

} // namespace kd
