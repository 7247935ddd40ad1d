#pragma once

#include <QByteArray>
#include <QTest>

#include <functional>

namespace kd::test {

// Lets the event loop run until `condition` holds or `ms` have passed.
inline bool waitUntil(const std::function<bool()>& condition, int ms = 15000) {
    return QTest::qWaitFor(condition, ms);
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : m_name(name) {
        m_had = qEnvironmentVariableIsSet(name);
        m_old = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had = false;
};

} // namespace kd::test
