#pragma once

// waitUntil and ScopedEnv come from the shared helpers.
#include "support/runhelpers.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace kd::test {

// A fake `xdg-open` put first on PATH for the whole test process (Qt remembers
// the opener it found the first time). Each instance starts an empty record.
class FakeOpener {
public:
    // Arguments of every call so far, one per line.
    QStringList calls() const {
        QFile file(m_record);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    // Waits for at least `count` calls.
    bool waitForCalls(int count = 1, int timeoutMs = 5000) const {
        return waitUntil([&] { return calls().size() >= count; }, timeoutMs);
    }

private:
    static QString newRecord() {
        static QTemporaryDir dir;
        static const bool ready = [] {
            QFile script(dir.filePath(QStringLiteral("xdg-open")));
            if (!script.open(QIODevice::WriteOnly))
                return false;
            script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$KD_FAKE_OPEN_RECORD\"\n");
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("PATH", QFile::encodeName(dir.path()) + ':' + qgetenv("PATH"));
            return true;
        }();
        static int records = 0;
        return (ready ? dir.path() : QString()) + QStringLiteral("/record-%1.txt").arg(++records);
    }

    QString m_record = newRecord();
    ScopedEnv m_env{"KD_FAKE_OPEN_RECORD", QFile::encodeName(m_record)};
};

} // namespace kd::test
