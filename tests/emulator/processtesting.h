#pragma once

#include "emulator/emulatorprocess.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <csignal>
#include <vector>

namespace kd::testing {

// Sets an environment variable for the demo emulator for one test; children
// started meanwhile inherit it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : m_name(name) { qputenv(name, value); }
    ~ScopedEnv() { qunsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
};

// A run that a failed assertion leaves behind is killed with its group, so no
// test leaves an emulator running.
class TestProcess : public EmulatorProcess {
public:
    ~TestProcess() override {
        if (isRunning())
            ::kill(-static_cast<pid_t>(pid()), SIGKILL);
    }
};

// Turns the event loop until `done` holds or `ms` have passed.
template <typename Pred> bool spinUntil(Pred done, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

inline void spinFor(int ms) {
    spinUntil([] { return false; }, ms);
}

// Everything a run reported, in arrival order.
struct Recorder {
    enum Kind { Output, OutputEnded, ProcessEnded };
    struct Event {
        Kind kind;
        QByteArray chunk;
        int status = 0;
    };
    std::vector<Event> events;
    QByteArray output;

    void attach(EmulatorProcess& process) {
        QObject::connect(&process, &EmulatorProcess::outputReceived, &process,
                         [this](const QByteArray& chunk) {
                             events.push_back({Output, chunk});
                             output += chunk;
                         });
        QObject::connect(&process, &EmulatorProcess::outputEnded, &process, [this] {
            events.push_back({OutputEnded, {}});
        });
        QObject::connect(&process, &EmulatorProcess::processEnded, &process, [this](int status) {
            events.push_back({ProcessEnded, {}, status});
        });
    }
    int indexOf(Kind kind) const {
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i].kind == kind)
                return static_cast<int>(i);
        return -1;
    }
    int indexOfOutput(const QByteArray& text) const {
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i].kind == Output && events[i].chunk.contains(text))
                return static_cast<int>(i);
        return -1;
    }
    bool outputEnded() const { return indexOf(OutputEnded) >= 0; }
    bool processEnded() const { return indexOf(ProcessEnded) >= 0; }
    bool bothEnded() const { return outputEnded() && processEnded(); }
};

inline QString demoEmulator() {
    return QStringLiteral(KD_DEMO_EMULATOR);
}

// Starts the demo emulator with `script` (empty: its own behaviour).
inline bool startDemo(EmulatorProcess& process, const QByteArray& script,
                      const QStringList& arguments = {}, QString workingDir = QDir::tempPath()) {
    ScopedEnv env("KD_DEMO_SCRIPT", script);
    QString error;
    const bool ok = process.start(demoEmulator(), arguments, workingDir, &error);
    if (!ok)
        qWarning("start failed: %s", qPrintable(error));
    return ok;
}

} // namespace kd::testing
