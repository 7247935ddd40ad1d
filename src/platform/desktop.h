#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace kd {

enum class AlertStyle { Warning, Informational, Critical };

struct AlertRequest {
    QString message;
    QString informativeText;
    // Titles in order. Empty titles are not shown.
    QStringList buttons;
    AlertStyle style = AlertStyle::Warning;
    // The button whose answer Escape and the close box give (the one that does
    // nothing); -1 when the alert can only be answered with a button.
    int cancelButton = -1;
    // The button Return presses.
    int defaultButton = 0;
};

struct OpenPanelRequest {
    bool chooseFiles = true;
    bool chooseDirectories = false;
    QString prompt;           // title of the confirming button; empty keeps the platform's
    QStringList allowedTypes; // file-name extensions without the dot; empty allows any file
    QString startDirectory;   // local folder; empty leaves the choice to the platform
};

struct SavePanelRequest {
    QStringList allowedTypes; // file-name extensions without the dot
    QString suggestedName;
    QString startDirectory; // local folder; empty leaves the choice to the platform
};

// A question answered by picking one line of a list.
struct ChoiceRequest {
    QString message;
    QString informativeText;
    QStringList items;    // shown as plain text; the first is selected
    QString acceptButton; // takes the selected line; Cancel and Escape take none
};

// One entry of the running applications, in the order the desktop lists them.
struct RunningApplication {
    QString name;
    qint64 pid = 0;
    quint64 handle = 0; // what the desktop needs to raise it (a window id on X11)
    bool operator==(const RunningApplication&) const = default;
};

// The one door to everything modal or outside the process. The launcher talks
// to the desktop only through this, so every behaviour can be driven by tests.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Shows a modal alert; returns the index of the button that answered it.
    virtual int runAlert(const AlertRequest& request) = 0;
    // Modal open panel; the chosen path, or nothing when cancelled.
    virtual std::optional<QString> runOpenPanel(const OpenPanelRequest& request) = 0;
    // Modal save panel; the chosen path, or nothing when cancelled.
    virtual std::optional<QString> runSavePanel(const SavePanelRequest& request) = 0;
    // Modal list; the index of the chosen line, or nothing when cancelled.
    virtual std::optional<int> runChoice(const ChoiceRequest& request) = 0;

    virtual void beep() = 0;
    virtual void playSound(const QString& name) = 0;
    virtual void systemLog(const QString& line) = 0;

    virtual bool openPath(const QString& path) = 0;
    virtual bool openUrl(const QString& url) = 0;
    // Shows `root` in the file viewer with `item` (a path or a bare name inside
    // root; may be empty) highlighted.
    virtual bool revealInFileViewer(const QString& item, const QString& root) = 0;

    virtual QList<RunningApplication> runningApplications() = 0;
    virtual bool raiseApplication(const RunningApplication& application) = 0;

    virtual void noteRecentDocument(const QString& path) = 0;

    // A desktop notification with one action; `onAction` runs when it is picked.
    // Without a notification server nothing happens and nothing waits.
    virtual void notify(const QString& summary, const QString& body, const QString& actionLabel,
                        std::function<void()> onAction) = 0;
};

} // namespace kd
