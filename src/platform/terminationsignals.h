#pragma once

#include <QObject>

class QSocketNotifier;

namespace kd {

// SIGTERM, SIGINT and SIGHUP (logout, `kill`, Ctrl+C in a terminal) as a Qt
// signal on the event loop, so the launcher can end through its normal quit
// path. The handler only writes the signal number into a pipe (a self-pipe);
// everything else happens on the main thread. One instance at a time.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be set up.
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPending();

    int m_readFd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace kd
