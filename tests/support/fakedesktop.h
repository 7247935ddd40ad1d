#pragma once

#include "platform/desktop.h"

#include <QList>
#include <functional>
#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kd::test {

// A scripted Desktop: modal questions are answered from queues, and every call
// is recorded in order so tests can check what the user would have seen.
class FakeDesktop : public Desktop {
public:
    struct Call {
        QString name; // "alert", "openPanel", "savePanel", "beep", "sound", "log",
                      // "openPath", "openUrl", "reveal", "listApps", "raise", "recent"
        QStringList args;
        bool duringModal = false; // made while an alert or a panel was up
    };

    // Answers, consumed in order. An unscripted alert answers -1 (closed without a
    // button), an unscripted panel is cancelled.
    QList<int> alertAnswers;
    QList<std::optional<QString>> openPanelAnswers;
    QList<std::optional<QString>> savePanelAnswers;
    QList<RunningApplication> applications;
    // What openPath, openUrl and revealInFileViewer answer.
    bool opens = true;

    QList<Call> calls;
    QList<AlertRequest> alerts;
    QList<OpenPanelRequest> openPanels;
    QList<SavePanelRequest> savePanels;

    // Runs inside a modal question, before it is answered (tests use it to look
    // at the state the launcher is in while the question is up, or to turn the
    // event loop as a real modal loop does).
    std::function<void(const QString& what)> whileModal;
    // How many questions were up at once, at most.
    int deepestModal = 0;

    int runAlert(const AlertRequest& request) override;
    std::optional<QString> runOpenPanel(const OpenPanelRequest& request) override;
    std::optional<QString> runSavePanel(const SavePanelRequest& request) override;
    void beep() override;
    void playSound(const QString& name) override;
    void systemLog(const QString& line) override;
    bool openPath(const QString& path) override;
    bool openUrl(const QString& url) override;
    bool revealInFileViewer(const QString& item, const QString& root) override;
    QList<RunningApplication> runningApplications() override;
    bool raiseApplication(const RunningApplication& application) override;
    void noteRecentDocument(const QString& path) override;

    // Names of the recorded calls, in order.
    QStringList callNames() const;
    int count(const QString& name) const;
    // The arguments of every call of that name, in order.
    QList<QStringList> argsOf(const QString& name) const;
    QStringList systemLogLines() const;
    void clear();

private:
    void record(const QString& name, QStringList args = {});
    template <typename Answer>
    Answer modal(const QString& what, QList<Answer>& answers, Answer none);
    int m_modalDepth = 0;
};

} // namespace kd::test
