// The log window's operations: appending, headers, clearing and saving.
#include "app/appdelegate.h"
#include "app/windows/logwindow.h"
#include "log/logheader.h"
#include "log/view/logview.h"
#include "platform/atomicfile.h"
#include "platform/desktop.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

namespace kd {

namespace {

// Logs are saved where the last one went, else among the user's documents.
QString logFolder(const SettingsStore& store) {
    const QString last = store.stringForKey(ownKeys::LogFolder).value_or(QString());
    if (QDir::isAbsolutePath(last) && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace

void AppDelegate::appendOutput(const QString& text) {
    logWindow->view().appendText(text);
    scheduleScroll();
}

void AppDelegate::appendOutputUtf8(QByteArrayView validUtf8) {
    logWindow->view().appendUtf8(validUtf8);
    scheduleScroll();
}

// The scroll runs after the current event has been handled. Appends in one pass
// of the event loop share one scroll, which sees the text as it is by then.
void AppDelegate::scheduleScroll() {
    if (m_scrollPending)
        return;
    m_scrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_scrollPending = false;
        scrollToVisible();
    });
}

void AppDelegate::scrollToVisible() {
    logWindow->view().scrollToEnd();
}

void AppDelegate::timestamp(const LogHeaderRequest& request) {
    appendOutput(formatLogHeader(request.type, request.poster, QDateTime::currentDateTime()));
}

void AppDelegate::LogTimeStamp() {
    timestamp({MarkerHeader, QStringLiteral("Marker")});
}

void AppDelegate::ClearLogAction() {
    logWindow->view().clear();
}

void AppDelegate::saveLogAction() {
    if (logWindow->view().isEmpty()) {
        m_desktop.beep();
        return;
    }
    SavePanelRequest request;
    request.allowedTypes = {QStringLiteral("txt")};
    request.suggestedName = QStringLiteral("Log info");
    request.startDirectory = logFolder(m_store);
    const std::optional<QString> path = runSavePanel(request);
    if (!path || path->isEmpty())
        return;
    m_store.setObject(QFileInfo(*path).absolutePath(), ownKeys::LogFolder);
    m_store.synchronize();
    // The text as it is now: output may have arrived while the panel was open.
    QString error;
    if (writeFileAtomically(*path, logWindow->view().utf8(), &error))
        return;
    // The old file is intact; say so rather than let the user believe it was saved.
    m_desktop.systemLog(QStringLiteral("Log not saved: ") + error);
    AlertRequest alert;
    alert.message = text(QStringLiteral("Alert_SaveFailed"));
    alert.informativeText = error;
    alert.buttons = {text(QStringLiteral("Button_OK"))};
    alert.cancelButton = 0;
    runAlert(alert);
}

void AppDelegate::show_Logwindow() {
    bringForward(logWindow.get());
}

} // namespace kd
