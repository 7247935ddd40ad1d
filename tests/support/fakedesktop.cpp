#include "fakedesktop.h"

#include <algorithm>

namespace kd::test {

void FakeDesktop::record(const QString& name, QStringList args) {
    calls.append({name, std::move(args), m_modalDepth > 0});
}

template <typename Answer>
Answer FakeDesktop::modal(const QString& what, QList<Answer>& answers, Answer none) {
    deepestModal = std::max(deepestModal, ++m_modalDepth);
    if (whileModal)
        whileModal(what);
    --m_modalDepth;
    return answers.isEmpty() ? none : answers.takeFirst();
}

int FakeDesktop::runAlert(const AlertRequest& request) {
    alerts.append(request);
    record(QStringLiteral("alert"), {request.message, request.informativeText});
    return modal(QStringLiteral("alert"), alertAnswers, -1);
}

std::optional<QString> FakeDesktop::runOpenPanel(const OpenPanelRequest& request) {
    openPanels.append(request);
    record(QStringLiteral("openPanel"), {request.prompt, request.allowedTypes.join(u',')});
    return modal(QStringLiteral("openPanel"), openPanelAnswers, std::optional<QString>());
}

std::optional<QString> FakeDesktop::runSavePanel(const SavePanelRequest& request) {
    savePanels.append(request);
    record(QStringLiteral("savePanel"), {request.suggestedName, request.allowedTypes.join(u',')});
    return modal(QStringLiteral("savePanel"), savePanelAnswers, std::optional<QString>());
}

void FakeDesktop::beep() {
    record(QStringLiteral("beep"));
}
void FakeDesktop::playSound(const QString& name) {
    record(QStringLiteral("sound"), {name});
}
void FakeDesktop::systemLog(const QString& line) {
    record(QStringLiteral("log"), {line});
}

bool FakeDesktop::openPath(const QString& path) {
    record(QStringLiteral("openPath"), {path});
    return opens;
}

bool FakeDesktop::openUrl(const QString& url) {
    record(QStringLiteral("openUrl"), {url});
    return opens;
}

bool FakeDesktop::revealInFileViewer(const QString& item, const QString& root) {
    record(QStringLiteral("reveal"), {item, root});
    return opens;
}

QList<RunningApplication> FakeDesktop::runningApplications() {
    record(QStringLiteral("listApps"));
    return applications;
}

bool FakeDesktop::raiseApplication(const RunningApplication& application) {
    record(QStringLiteral("raise"), {application.name, QString::number(application.pid)});
    return true;
}

void FakeDesktop::noteRecentDocument(const QString& path) {
    record(QStringLiteral("recent"), {path});
}

QStringList FakeDesktop::callNames() const {
    QStringList names;
    for (const Call& call : calls)
        names.append(call.name);
    return names;
}

int FakeDesktop::count(const QString& name) const {
    return int(callNames().count(name));
}

QList<QStringList> FakeDesktop::argsOf(const QString& name) const {
    QList<QStringList> result;
    for (const Call& call : calls)
        if (call.name == name)
            result.append(call.args);
    return result;
}

QStringList FakeDesktop::systemLogLines() const {
    QStringList lines;
    for (const QStringList& args : argsOf(QStringLiteral("log")))
        lines.append(args.value(0));
    return lines;
}

void FakeDesktop::clear() {
    deepestModal = 0;
    calls.clear();
    alerts.clear();
    openPanels.clear();
    savePanels.clear();
}

} // namespace kd::test
