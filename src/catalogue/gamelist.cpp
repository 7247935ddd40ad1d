#include "catalogue/gamelist.h"

#include "catalogue/gamelistcache.h"
#include "catalogue/plistreader.h"
#include "catalogue/plistwriter.h"
#include "platform/atomicfile.h"
#include "platform/largeheap.h"
#include "platform/utf8text.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kd {

namespace {

// A read-only view of a whole file. Mapping avoids copying a large list into a
// buffer of its own; a reader going through it front to back keeps only a
// window of it resident (see readUpTo), not the whole file beside the records
// made from it.
class MappedFile {
public:
    enum class Open { Ok, Missing, Failed };

    Open open(const QString& path) {
        const QByteArray name = QFile::encodeName(path);
        // Non-blocking, so a FIFO in the file's place cannot hold the launcher.
        m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0)
            return errno == ENOENT ? Open::Missing : failed();
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return failed();
        if (S_ISDIR(st.st_mode)) {
            m_error = QStringLiteral("it is a folder");
            return Open::Failed;
        }
        if (!S_ISREG(st.st_mode)) {
            m_error = QStringLiteral("it is not a regular file");
            return Open::Failed;
        }
        m_size = std::size_t(st.st_size);
        if (m_size == 0)
            return Open::Ok;
        void* p = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, m_fd, 0);
        if (p == MAP_FAILED)
            return failed();
        m_data = static_cast<const char*>(p);
        startReading();
        return Open::Ok;
    }
    // The digest of the whole file. Read through a small buffer rather than
    // the mapping: copying from the page cache costs less than mapping every
    // page of it. Safe beside a reader of the mapping.
    std::optional<ListDigest> digest() const {
        ListDigester digester;
        std::vector<std::byte> buffer(std::size_t(1) << 20);
        for (std::size_t at = 0; at < m_size;) {
            const ssize_t n =
                ::pread(m_fd, buffer.data(), std::min(buffer.size(), m_size - at), off_t(at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return std::nullopt;
            digester.add(std::span(buffer.data(), std::size_t(n)));
            at += std::size_t(n);
        }
        return digester.result();
    }
    // For a reader that takes all of the file at once.
    void populateAll() { populate(m_size); }
    // Populates the window ahead of `offset` in one go (cheaper than a fault
    // per page) and drops the pages wholly behind the window holding it. A
    // dropped page read again is read back from the file, so this changes
    // nothing but how much of the file stays resident.
    void readUpTo(std::size_t offset) {
        if (!m_data)
            return;
        populate(std::min(m_size, (offset / kWindow + 2) * kWindow));
        const std::size_t behind = offset / kWindow * kWindow;
        if (behind > m_released) {
            ::madvise(const_cast<char*>(m_data) + m_released, behind - m_released, MADV_DONTNEED);
            m_released = behind;
        }
    }
    std::string_view bytes() const { return {m_data ? m_data : "", m_data ? m_size : 0}; }
    const QString& error() const { return m_error; }

    ~MappedFile() {
        if (m_data)
            ::munmap(const_cast<char*>(m_data), m_size);
        if (m_fd >= 0)
            ::close(m_fd);
    }

private:
    void startReading() {
        m_populated = m_released = 0;
        if (!m_data)
            return;
        // The binary form is read in any order and whole before its first
        // element, so all of it is wanted at once.
        if (bytes().substr(0, 8) == "bplist00")
            populate(m_size);
        readUpTo(0);
    }
    void populate(std::size_t upTo) {
        if (upTo <= m_populated)
            return;
        // Failing only costs speed: the pages are then faulted in as read.
        ::madvise(const_cast<char*>(m_data) + m_populated, upTo - m_populated, MADV_POPULATE_READ);
        m_populated = upTo;
    }
    Open failed() {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return Open::Failed;
    }

    // A multiple of any page size.
    static constexpr std::size_t kWindow = std::size_t(1) << 20;

    int m_fd = -1;
    const char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_populated = 0;
    std::size_t m_released = 0;
    QString m_error;
};

template <class Char> bool staysInFolder(std::basic_string_view<Char> name) {
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find(Char('/'), start);
        if (end == name.npos)
            end = name.size();
        const std::basic_string_view<Char> part = name.substr(start, end - start);
        // "." or ".."
        if (part.size() <= 2 && !part.empty() && part.find_first_not_of(Char('.')) == part.npos)
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

const std::string* gameNameBytes(const plist::Value& record) {
    const plist::Dictionary* dict = record.dictionary();
    const plist::Value* name = dict ? dict->find("name") : nullptr;
    const std::string* s = name ? name->string() : nullptr;
    // Only a name that stands for an entry inside a folder: an empty one (or
    // only separators) would make `<folder>/<name>.png` a sibling of the
    // folder, and the system would cut a path short at a NUL.
    if (!s || s->find('\0') != std::string::npos || s->find_first_not_of('/') == std::string::npos)
        return nullptr;
    return s;
}

std::optional<QString> gameName(const plist::Value& record) {
    const std::string* s = gameNameBytes(record);
    if (!s)
        return std::nullopt;
    // A leading U+FEFF is part of the name: without it the name is another file.
    return textFromUtf8(*s);
}

bool nameStaysInFolder(std::string_view utf8) {
    return staysInFolder(utf8);
}

bool nameStaysInFolder(QStringView name) {
    return staysInFolder(std::u16string_view(name.utf16(), std::size_t(name.size())));
}

namespace {

// The records of `cacheFile` when it is a whole cache of a list file of
// `size` bytes, and the digest of the file it was made from; nothing when it
// is missing, damaged or another's.
struct CacheRead {
    std::vector<plist::Value> records;
    ListDigest digest;
};
std::optional<CacheRead> readCache(const QString& cacheFile, std::uint64_t size) {
    MappedFile cache;
    if (cache.open(cacheFile) != MappedFile::Open::Ok)
        return std::nullopt;
    cache.populateAll();
    const std::string_view text = cache.bytes();
    const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
    const std::optional<ListDigest> digest = digestInCacheHeader(bytes);
    if (!digest)
        return std::nullopt;
    std::optional<std::vector<plist::Value>> records = decodeGameListCache(bytes, *digest, size);
    if (!records)
        return std::nullopt;
    return CacheRead{std::move(*records), *digest};
}

} // namespace

GameListLoad loadGameList(const QString& path, const QString& cacheFile) {
    GameListLoad result;
    MappedFile file;
    switch (file.open(path)) {
    case MappedFile::Open::Missing:
        result.status = GameListLoad::Status::NoFile;
        return result;
    case MappedFile::Open::Failed:
        result.status = GameListLoad::Status::NotAList;
        result.reason = QStringLiteral("cannot read %1: %2").arg(path, file.error());
        return result;
    case MappedFile::Open::Ok:
        break;
    }
    // The records take about one and a half times the file's size (XML).
    const LargeHeapGrowth room(2 * file.bytes().size());
    result.fileSize = file.bytes().size();
    if (!cacheFile.isEmpty()) {
        // The cache is believed only for the very bytes it was made from: the
        // file's digest is worked out on another core while the cache decodes.
        const auto digestOfFile = [&file] {
            return file.digest();
        };
        std::future<std::optional<ListDigest>> digest;
        try {
            digest = std::async(std::launch::async, digestOfFile);
        } catch (const std::system_error&) {
            // No thread to be had: worked out here, after the decoding.
            digest = std::async(std::launch::deferred, digestOfFile);
        }
        std::optional<CacheRead> cached = readCache(cacheFile, result.fileSize);
        const std::optional<ListDigest> fileDigest = digest.get();
        if (fileDigest)
            result.digest = *fileDigest;
        if (cached && fileDigest && cached->digest == *fileDigest) {
            result.records = std::move(cached->records);
            result.status = GameListLoad::Status::Loaded;
            result.fromCache = true;
            return result;
        }
    }
    const plist::ArrayReadResult r = plist::readArray(
        file.bytes(), [&](plist::Value&& v) { result.records.push_back(std::move(v)); },
        [&](std::size_t offset) { file.readUpTo(offset); });
    if (r.status != plist::ArrayStatus::Ok) {
        result.records.clear();
        result.status = GameListLoad::Status::NotAList;
        result.reason = QStringLiteral("%1: %2").arg(path, r.error);
        return result;
    }
    result.status = GameListLoad::Status::Loaded;
    return result;
}

std::optional<qint64> countGameList(const QString& path) {
    MappedFile file;
    if (file.open(path) != MappedFile::Open::Ok)
        return std::nullopt;
    qint64 games = 0;
    if (plist::readArray(
            file.bytes(), [&](plist::Value&&) { ++games; },
            [&](std::size_t offset) { file.readUpTo(offset); })
            .status != plist::ArrayStatus::Ok)
        return std::nullopt;
    return games;
}

GameListSave saveGameListIfChanged(const QString& path, const std::vector<plist::Value>& content,
                                   const std::vector<const plist::Value*>& arranged,
                                   const GameListSaveOptions& options) {
    GameListSave result;
    bool replacing = false;
    {
        const bool elsewhere = !options.readFrom.isEmpty() && !QFile::exists(path);
        const QString& compared = elsewhere ? options.readFrom : path;
        MappedFile file;
        const MappedFile::Open opened = file.open(compared);
        replacing = opened == MappedFile::Open::Ok && !elsewhere;
        if (opened == MappedFile::Open::Failed) {
            result.status = GameListSave::Status::NotAList;
            result.reason = QStringLiteral("%1 was not rewritten: cannot read it: %2")
                                .arg(compared, file.error());
            return result;
        }
        if (opened == MappedFile::Open::Ok) {
            // Compare element by element while parsing: no second copy of the
            // list. After a difference the rest is still parsed, since only a
            // file that reads as a list may be replaced.
            std::size_t i = 0;
            bool equal = true;
            const plist::ArrayReadResult r = plist::readArray(
                file.bytes(),
                [&](plist::Value&& v) {
                    equal = equal && i < arranged.size() && v == *arranged[i];
                    ++i;
                },
                [&](std::size_t offset) { file.readUpTo(offset); });
            if (r.status != plist::ArrayStatus::Ok) {
                result.status = GameListSave::Status::NotAList;
                result.reason = QStringLiteral("%1 was not rewritten: it does not read as a "
                                               "list: %2")
                                    .arg(compared, r.error);
                return result;
            }
            if (equal && i == arranged.size()) {
                result.status = GameListSave::Status::Unchanged;
                return result;
            }
        }
    }
    std::string bytes;
    QString error;
    if (!plist::writeXmlArray(content, bytes, &error)) {
        result.status = GameListSave::Status::SerialiseFailed;
        result.reason = error;
        return result;
    }
    if (replacing && options.beforeReplacing)
        options.beforeReplacing(path);
    if (!writeFileAtomically(path, QByteArrayView(bytes.data(), qsizetype(bytes.size())), &error)) {
        result.status = GameListSave::Status::WriteFailed;
        result.reason = error;
        return result;
    }
    result.status = GameListSave::Status::Written;
    return result;
}

} // namespace kd
