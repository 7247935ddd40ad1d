#pragma once

#include "emulator/emulatorprocess.h"
#include "log/view/logview.h"
#include "support/delegatefixture.h"
#include "support/runhelpers.h"

#include <algorithm>
#include <unistd.h>

namespace kd::test {

// A launcher that brings itself to the front at the end of a run's output, with
// the demo emulator as its child.
class RunFixture : public DelegateFixture {
protected:
    void SetUp() override {
        DelegateFixture::SetUp();
        desktop.applications = {{AppDelegate::LauncherName, qint64(::getpid()), 0}};
    }

    int alertsWithMessage(const QString& key) const {
        return int(
            std::count_if(desktop.alerts.begin(), desktop.alerts.end(),
                          [&](const AlertRequest& a) { return a.message == app->text(key); }));
    }
    // Starts a supervised run (or a waiting one, which returns at its end) of the
    // demo emulator steered by `script`.
    EmulatorProcess* launch(const QByteArray& script, bool supervised = true) {
        ScopedEnv env("KD_DEMO_SCRIPT", script);
        supervised ? app->LaunchTask({}) : app->LaunchTask_wait({});
        return app->task();
    }
    // Both ends of the current run handled, and the event loop quiet for a moment.
    bool bothEnds(int ms = 15000) {
        EmulatorProcess* task = app->task();
        const bool done = waitUntil(
            [&] {
                return task && task->hasEnded() && task->outputAtEnd() &&
                       desktop.count("raise") > 0;
            },
            ms);
        QTest::qWait(50);
        return done;
    }
};

} // namespace kd::test
