#pragma once

#include <QFile>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kd::test {

// A FIFO that nobody writes to: whoever opens it to read blocks. Should that
// happen, after `patience` the guard frees the reader (it opens the FIFO for
// writing and closes it again, an end of file) and remembers it, so a test of
// code that must not block fails instead of hanging.
class BlockingFifo {
public:
    explicit BlockingFifo(const QString& path,
                          std::chrono::milliseconds patience = std::chrono::seconds(5))
        : m_path(QFile::encodeName(path)), m_made(::mkfifo(m_path.constData(), 0600) == 0) {
        m_guard = std::thread([this, patience] {
            std::unique_lock lock(m_mutex);
            if (m_ended.wait_for(lock, patience, [this] { return m_done; }))
                return;
            while (
                !m_ended.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_done; })) {
                const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    m_freed = true;
                    ::close(fd);
                }
            }
        });
    }
    ~BlockingFifo() { readerWasHeld(); }
    BlockingFifo(const BlockingFifo&) = delete;
    BlockingFifo& operator=(const BlockingFifo&) = delete;

    bool made() const { return m_made; }
    // Stops the guard; true when a reader had to be freed.
    bool readerWasHeld() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_ended.notify_all();
        if (m_guard.joinable())
            m_guard.join();
        return m_freed;
    }

private:
    QByteArray m_path;
    bool m_made;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    bool m_freed = false;
    std::thread m_guard;
};

} // namespace kd::test
