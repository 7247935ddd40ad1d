#include "catalogue/listcachewriter.h"

#include "platform/atomicfile.h"

#include <QDir>
#include <QFileInfo>

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
    m_thread = std::thread([&records, digest, fileSize, file, done = std::move(done),
                            read = std::move(read)]() mutable {
        std::optional<std::string> bytes = encodeGameListCache(records, digest, fileSize);
        read.set_value();
        QString error;
        if (!bytes)
            error = QStringLiteral("the list holds what its cache cannot");
        else if (!QDir().mkpath(QFileInfo(file).path()))
            error = QStringLiteral("cannot make the folder %1").arg(QFileInfo(file).path());
        else
            writeFileAtomically(file, QByteArrayView(bytes->data(), qsizetype(bytes->size())),
                                &error);
        if (done)
            done(error);
    });
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
