#pragma once

#include <QFile>
#include <QString>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kd::test {

// A FIFO that nobody writes to: whoever opens it to read blocks. After five
// seconds a guard frees such a reader (it opens the FIFO for writing and closes
// it, an end of file) and remembers it, so a test of code that must not block
// fails instead of hanging.
class BlockingFifo {
public:
    explicit BlockingFifo(const QString& path) : m_path(QFile::encodeName(path)) {
        ::mkfifo(m_path.constData(), 0600);
    }
    // Stops the guard; true when a reader had to be freed.
    bool readerWasHeld() {
        m_guard.request_stop();
        if (m_guard.joinable())
            m_guard.join();
        return m_freed;
    }

private:
    QByteArray m_path;
    std::atomic<bool> m_freed = false;
    std::jthread m_guard{[this](std::stop_token stop) {
        for (int tick = 0; !stop.stop_requested(); ++tick) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const int fd =
                tick < 500 ? -1 : ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_freed = true;
                ::close(fd);
            }
        }
    }};
};

} // namespace kd::test
