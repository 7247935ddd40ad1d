#pragma once

#include "catalogue/gamelistcache.h"

#include <QString>
#include <future>
#include <thread>

namespace kd {

// Writes a list's cache on a thread of its own, whole or not at all (a
// temporary file, flushed, renamed), so neither the first window nor a crash
// meanwhile ever waits for it or finds half of it. The thread reads the
// records while it encodes them: whoever changes them waits for
// waitUntilRead() first.
class ListCacheWriter {
public:
    ListCacheWriter() = default;
    ~ListCacheWriter(); // waits for a write under way
    ListCacheWriter(const ListCacheWriter&) = delete;
    ListCacheWriter& operator=(const ListCacheWriter&) = delete;

    // Writes the cache of `records`, read from a file of `fileSize` bytes with
    // `digest`, to `file`; `done` (if given) is called on the writing thread
    // with the error, empty once written.
    void start(const std::vector<plist::Value>& records, ListDigest digest, std::uint64_t fileSize,
               const QString& file, std::function<void(const QString& error)> done = {});
    // Returns once the thread no longer reads the records.
    void waitUntilRead();
    // Returns once the cache is written or given up.
    void wait();

private:
    std::thread m_thread;
    std::future<void> m_read;
};

} // namespace kd
