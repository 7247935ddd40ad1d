#pragma once

#include "catalogue/playhistory.h"

#include <QElapsedTimer>
#include <QString>
#include <optional>

namespace kd {

// A game run as the launcher follows it in the play history, from its start
// until its end is recorded.
struct PlayedRun {
    quint64 runId = 0;    // the process's
    qint64 historyId = 0; // its row in the play history
    QString name;         // the record's `name`
    QString title;        // what shows it: the list's title, else the name
};

// The game run the status lines speak of: one of this session's, or the last
// one recorded before it (runId 0).
struct RunStatus {
    QString title;
    quint64 runId = 0;
    qint64 startedMs = 0;
    QElapsedTimer clock; // since this session's run started
    std::optional<RunEnd> end;
};

} // namespace kd
