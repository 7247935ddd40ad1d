#pragma once

#include "platform/desktop.h"

#include <QList>
#include <QStringList>
#include <algorithm>
#include <functional>

namespace kd::test {

// A scripted Desktop: modal questions are answered from queues, and every call
// is recorded in order so tests can check what the user would have seen.
class FakeDesktop : public Desktop {
public:
    struct Call {
        QString name; // "alert", "openPanel", "savePanel", "beep", "sound", "log",
                      // "openPath", "openUrl", "reveal", "listApps", "raise", "recent",
                      // "notify"
        QStringList args;
        bool duringModal = false; // made while an alert or a panel was up
    };

    // Answers, consumed in order. An unscripted alert answers -1 (closed without a
    // button), an unscripted panel is cancelled.
    QList<int> alertAnswers;
    QList<std::optional<QString>> openPanelAnswers;
    QList<std::optional<QString>> savePanelAnswers;
    QList<std::optional<int>> choiceAnswers;
    QList<RunningApplication> applications;
    // What openPath, openUrl and revealInFileViewer answer.
    bool opens = true;

    QList<Call> calls;
    QList<AlertRequest> alerts;
    QList<OpenPanelRequest> openPanels;
    QList<SavePanelRequest> savePanels;
    QList<ChoiceRequest> choices;

    // Runs inside a modal question, before it is answered (tests use it to look
    // at the state the launcher is in while the question is up, or to turn the
    // event loop as a real modal loop does).
    std::function<void(const QString& what)> whileModal;
    // How many questions were up at once, at most.
    int deepestModal = 0;

    int runAlert(const AlertRequest& r) override {
        return modal("alert", {r.message, r.informativeText}, alerts, r, alertAnswers, -1);
    }
    std::optional<QString> runOpenPanel(const OpenPanelRequest& r) override {
        return modal("openPanel", {r.prompt, r.allowedTypes.join(u',')}, openPanels, r,
                     openPanelAnswers, {});
    }
    std::optional<QString> runSavePanel(const SavePanelRequest& r) override {
        return modal("savePanel", {r.suggestedName, r.allowedTypes.join(u',')}, savePanels, r,
                     savePanelAnswers, {});
    }
    std::optional<int> runChoice(const ChoiceRequest& r) override {
        return modal("choice", r.items, choices, r, choiceAnswers, {});
    }
    void beep() override { record("beep"); }
    void playSound(const QString& name) override { record("sound", {name}); }
    void systemLog(const QString& line) override { record("log", {line}); }
    bool openPath(const QString& path) override { return record("openPath", {path}, opens); }
    bool openUrl(const QString& url) override { return record("openUrl", {url}, opens); }
    bool revealInFileViewer(const QString& item, const QString& root) override {
        return record("reveal", {item, root}, opens);
    }
    QList<RunningApplication> runningApplications() override {
        return record("listApps", {}, applications);
    }
    bool raiseApplication(const RunningApplication& a) override {
        return record("raise", {a.name, QString::number(a.pid)}, true);
    }
    void noteRecentDocument(const QString& path) override { record("recent", {path}); }
    // The last notification's action.
    std::function<void()> notificationAction;
    void notify(const QString& summary, const QString& body, const QString& actionLabel,
                std::function<void()> onAction) override {
        record("notify", {summary, body, actionLabel});
        notificationAction = std::move(onAction);
    }

    // Names of the recorded calls, in order.
    QStringList callNames() const {
        QStringList names;
        for (const Call& call : calls)
            names.append(call.name);
        return names;
    }
    int count(const QString& name) const { return int(callNames().count(name)); }
    // The arguments of every call of that name, in order.
    QList<QStringList> argsOf(const QString& name) const {
        QList<QStringList> result;
        for (const Call& call : calls)
            if (call.name == name)
                result.append(call.args);
        return result;
    }
    QStringList systemLogLines() const {
        QStringList lines;
        for (const QStringList& args : argsOf("log"))
            lines.append(args.value(0));
        return lines;
    }
    void clear() {
        deepestModal = 0;
        calls.clear();
        alerts.clear();
        openPanels.clear();
        savePanels.clear();
        choices.clear();
    }

private:
    template <typename Answer = bool>
    Answer record(const QString& name, QStringList args = {}, Answer answer = {}) {
        calls.append({name, std::move(args), m_modalDepth > 0});
        return answer;
    }
    // Records a question, lets whileModal look at it, then answers from the queue.
    template <typename Request, typename Answer>
    Answer modal(const QString& what, QStringList args, QList<Request>& requests,
                 const Request& request, QList<Answer>& answers, Answer none) {
        requests.append(request);
        record(what, std::move(args));
        deepestModal = std::max(deepestModal, ++m_modalDepth);
        if (whileModal)
            whileModal(what);
        --m_modalDepth;
        return answers.isEmpty() ? none : answers.takeFirst();
    }
    int m_modalDepth = 0;
};

} // namespace kd::test
