#pragma once

#include "platform/desktop.h"
#include "platform/desktop/soundplayer.h"

#include <memory>

namespace kd {

class Notifications;

// The Desktop of a Linux session: Qt dialogs, libcanberra sounds, syslog,
// xdg-open, the freedesktop file manager and recently-used list, and EWMH
// window activation on X11.
class QtDesktop : public Desktop {
public:
    // `resourcePath` is the bundle's resource folder; sounds live in its "sounds".
    explicit QtDesktop(QString resourcePath);
    ~QtDesktop() override;

    // Answers with the index in `request.buttons`; -1 when closed without one.
    int runAlert(const AlertRequest& request) override;
    std::optional<int> runChoice(const ChoiceRequest& request) override;
    std::optional<QString> runOpenPanel(const OpenPanelRequest& request) override;
    std::optional<QString> runSavePanel(const SavePanelRequest& request) override;

    void beep() override;
    // Silent when the sound is missing or cannot be played (the beep means
    // "refused"); the system log says so once.
    void playSound(const QString& name) override;
    void systemLog(const QString& line) override;

    bool openPath(const QString& path) override;
    bool openUrl(const QString& url) override;
    // Returns before the file manager answers; the folder is opened instead
    // when none does.
    bool revealInFileViewer(const QString& item, const QString& root) override;

    // The launcher first; on X11 then every managed window of other processes.
    QList<RunningApplication> runningApplications() override;
    bool raiseApplication(const RunningApplication& application) override;

    // Failures go to the system log, each once while it lasts; a broken list
    // file is left untouched.
    void noteRecentDocument(const QString& path) override;

    // Through the session bus's notification server.
    void notify(const QString& summary, const QString& body, const QString& actionLabel,
                std::function<void()> onAction) override;

private:
    QString m_resources;
    QString m_recentDocumentsError;
    SoundPlayer m_sounds;
    std::unique_ptr<Notifications> m_notifications; // made at the first one
    bool m_soundFailureLogged = false;
    bool m_notX11Said = false;
};

} // namespace kd
