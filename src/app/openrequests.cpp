// ROM archives that reach the launcher from outside its windows: its command
// line, a later start of the launcher, a drop on a main window. All of them
// start through the game-run request, as Open ROM does.
#include "app/appdelegate.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/mainwindow.h"
#include "app/windows/toolwindow.h"
#include "emulator/romarchive.h"
#include "platform/desktop.h"
#include "platform/instancechannel.h"

namespace kd {

void AppDelegate::application_openFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    whenLaunched([this, paths] {
        for (const QString& path : paths)
            openRomArchive(path);
    });
}

void AppDelegate::listenToLaterStarts(InstanceChannel& channel) {
    connect(&channel, &InstanceChannel::received, this,
            &AppDelegate::applicationShouldHandleReopen);
    connect(&channel, &InstanceChannel::rejected, this, [this](const QString& reason) {
        m_desktop.systemLog(QStringLiteral("Ignored a message on the launcher's socket: ") +
                            reason);
    });
}

void AppDelegate::applicationShouldHandleReopen(const QStringList& paths) {
    leaveBackground();
    whenLaunched([this] { bringForward(shownMainWindow()); });
    application_openFiles(paths);
}

QString AppDelegate::romArchiveProblem(const QString& path) const {
    switch (checkRomArchive(path)) {
    case RomArchiveCheck::Ok:
        return QString();
    case RomArchiveCheck::NotZip:
        return text(QStringLiteral("Open_NotZip"));
    case RomArchiveCheck::Missing:
        return text(QStringLiteral("Open_Missing"));
    case RomArchiveCheck::NotRegularFile:
        return text(QStringLiteral("Open_NotRegular"));
    case RomArchiveCheck::Unreadable:
        break;
    }
    return text(QStringLiteral("Open_Unreadable"));
}

void AppDelegate::whenLaunched(std::function<void()> request) {
    if (m_launchFinished)
        m_runs->react(std::move(request));
    else
        m_untilLaunched.push_back(std::move(request));
}

// Checked again here: the file may have gone since it was handed over.
void AppDelegate::openRomArchive(const QString& path) {
    const QString problem = romArchiveProblem(path);
    if (problem.isEmpty()) {
        task_cocking(path);
        return;
    }
    reportCannotStart(path, problem);
}

void AppDelegate::reportCannotStart(const QString& what, const QString& why) {
    AlertRequest alert;
    alert.message = formatText(text(QStringLiteral("Alert_CannotStart")), 0, what);
    alert.informativeText = why;
    alert.buttons = {text(QStringLiteral("Button_OK"))};
    alert.cancelButton = 0;
    runAlert(alert);
}

} // namespace kd
