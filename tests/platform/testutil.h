#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace kd::test {

// Turns the event loop until `done` holds or `timeoutMs` pass; true when it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// A fake `xdg-open` put first on PATH for the whole test process (Qt remembers
// the opener it found the first time). Each instance starts an empty record.
class FakeOpener {
public:
    FakeOpener();
    ~FakeOpener();
    // Arguments of every call so far, one per line.
    QStringList calls() const;
    // Waits for at least `count` calls.
    bool waitForCalls(int count = 1, int timeoutMs = 5000) const;

private:
    QString m_record;
    QByteArray m_previousRecord;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

} // namespace kd::test
