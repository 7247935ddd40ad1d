#include "testutil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

namespace kd::test {

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

namespace {

const QString& fakeBinDir() {
    static QTemporaryDir dir;
    static const bool ready = [] {
        QFile script(dir.filePath(QStringLiteral("xdg-open")));
        if (!script.open(QIODevice::WriteOnly))
            return false;
        script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$KD_FAKE_OPEN_RECORD\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir.path()) + ':' + qgetenv("PATH"));
        return true;
    }();
    static const QString path = ready ? dir.path() : QString();
    return path;
}

int recordCounter = 0;

} // namespace

FakeOpener::FakeOpener() {
    m_record = fakeBinDir() + QStringLiteral("/record-%1.txt").arg(++recordCounter);
    m_previousRecord = qgetenv("KD_FAKE_OPEN_RECORD");
    qputenv("KD_FAKE_OPEN_RECORD", QFile::encodeName(m_record));
}

FakeOpener::~FakeOpener() {
    qputenv("KD_FAKE_OPEN_RECORD", m_previousRecord);
}

QStringList FakeOpener::calls() const {
    QFile file(m_record);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

bool FakeOpener::waitForCalls(int count, int timeoutMs) const {
    return waitUntil([&] { return calls().size() >= count; }, timeoutMs);
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (m_had)
        qputenv(m_name, m_old);
    else
        qunsetenv(m_name);
}

} // namespace kd::test
