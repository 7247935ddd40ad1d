#pragma once

#include "emulator/emulatorprocess.h"
#include "support/runhelpers.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <vector>

namespace kd::test {

// A run that a failed assertion leaves behind is killed with its group, so no
// test leaves an emulator running.
class TestProcess : public EmulatorProcess {
public:
    ~TestProcess() override {
        if (isRunning())
            ::kill(-static_cast<pid_t>(pid()), SIGKILL);
    }
};

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

    explicit Recorder(EmulatorProcess& process) {
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
    int count(Kind kind) const {
        return int(std::count_if(events.begin(), events.end(),
                                 [kind](const Event& e) { return e.kind == kind; }));
    }
    // The status processEnded carried, -1 before it.
    int status() const {
        for (const Event& e : events)
            if (e.kind == ProcessEnded)
                return e.status;
        return -1;
    }
    bool outputEnded() const { return count(OutputEnded) > 0; }
    bool processEnded() const { return count(ProcessEnded) > 0; }
    bool bothEnded() const { return outputEnded() && processEnded(); }
};

// Starts the demo emulator with `script` (empty: its own behaviour).
inline bool startDemo(EmulatorProcess& process, const QByteArray& script,
                      const QStringList& arguments = {}, QString workingDir = QDir::tempPath()) {
    ScopedEnv env("KD_DEMO_SCRIPT", script);
    return process.start(QStringLiteral(KD_DEMO_EMULATOR), arguments, workingDir);
}

// Runs `script` to both end events and returns what was recorded.
inline Recorder runScript(const QByteArray& script, const QStringList& arguments = {},
                          const QString& workingDir = QDir::tempPath()) {
    TestProcess process;
    Recorder rec(process);
    EXPECT_TRUE(startDemo(process, script, arguments, workingDir));
    EXPECT_TRUE(waitUntil([&] { return rec.bothEnded(); })) << rec.output.constData();
    return rec;
}

} // namespace kd::test
