#include "catalogue/listcachewriter.h"

#include "platform/atomicfile.h"

#include <QDir>
#include <QFileInfo>
#include <new>
#include <system_error>

namespace kd {

ListCacheWriter::~ListCacheWriter() {
    wait();
}

void ListCacheWriter::start(const std::vector<plist::Value>& records, ListDigest digest,
                            std::uint64_t fileSize, const QString& file,
                            std::function<void(const QString& error)> done) {
    wait();
    std::promise<void> read;
    m_read = read.get_future();
    auto write = [&records, digest, fileSize, file, done = std::move(done),
                  read = std::move(read)]() mutable {
        std::optional<std::string> bytes;
        bool memory = true;
        try {
            bytes = encodeGameListCache(records, digest, fileSize);
        } catch (const std::bad_alloc&) {
            memory = false;
        }
        read.set_value();
        QString error;
        if (!memory)
            error = QStringLiteral("not enough memory for it");
        else if (!bytes)
            error = QStringLiteral("the list holds what its cache cannot");
        else if (!QDir().mkpath(QFileInfo(file).path()))
            error = QStringLiteral("cannot make the folder %1").arg(QFileInfo(file).path());
        else
            writeFileAtomically(file, QByteArrayView(bytes->data(), qsizetype(bytes->size())),
                                &error);
        if (done)
            done(error);
    };
    try {
        m_thread = std::thread(std::move(write));
    } catch (const std::system_error&) {
        // No thread to be had: no cache this time; the next start reads the file.
        m_read = {};
    }
}

void ListCacheWriter::waitUntilRead() {
    if (m_read.valid())
        m_read.wait();
}

void ListCacheWriter::wait() {
    if (m_thread.joinable())
        m_thread.join();
    m_read = {};
}

} // namespace kd
