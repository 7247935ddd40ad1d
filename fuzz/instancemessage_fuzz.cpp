// Feeds arbitrary bytes to the running launcher's end of its socket: the
// message reader, whole and in pieces. What it accepts must be the one form
// a message has (written again, it gives the same bytes) and hold only
// absolute, bounded paths; whole and in pieces must agree. The input, read as
// lines, also goes through the writer: what it writes reads back the same.

#include "check.h"
#include "platform/instancemessage.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace kd::fuzz {

namespace msg = instancemessage;

namespace {

// The rules a path must keep, checked without the reader's code.
bool allowed(const QString& path) {
    const QByteArray bytes = path.toUtf8();
    return !bytes.isEmpty() && bytes.size() <= msg::MaxPathBytes && bytes[0] == '/' &&
           !bytes.contains('\0') && QString::fromUtf8(bytes) == path;
}

} // namespace

void checkInstanceMessage(std::string_view input) {
    const QByteArray bytes(input.data(), qsizetype(input.size()));
    QString error;
    const std::optional<QStringList> paths = msg::decode(bytes, &error);
    if (!paths && error.isEmpty())
        broken("refused without a reason");
    if (paths) {
        if (bytes.size() > msg::MaxBytes)
            broken("accepted a message over the size limit");
        if (paths->size() > msg::MaxPaths)
            broken("accepted too many paths");
        for (const QString& path : *paths)
            if (!allowed(path))
                broken("accepted a path that breaks the rules");
        if (msg::encode(*paths) != bytes)
            broken("accepted a message not in its one form");
    }

    // In pieces of sizes taken from the input itself.
    msg::Reader reader;
    msg::Reader::State state = msg::Reader::State::NeedMore;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype piece = 1 + quint8(bytes[at]) % 13;
        state = reader.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
        at += piece;
    }
    if ((state == msg::Reader::State::Complete) != paths.has_value())
        broken("whole and in pieces disagree");
    if (paths && reader.paths() != *paths)
        broken("whole and in pieces give different paths");

    // The input as lines, through the writer.
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    const std::optional<QByteArray> written = msg::encode(lines);
    const bool writable =
        lines.size() <= msg::MaxPaths && std::all_of(lines.begin(), lines.end(), allowed);
    if (written.has_value() && !writable)
        broken("wrote paths that break the rules");
    if (written) {
        if (written->size() > msg::MaxBytes)
            broken("wrote a message over the size limit");
        if (msg::decode(*written) != lines)
            broken("what was written does not read back");
    } else if (writable) {
        // Refused only for the size of the whole.
        qsizetype size = 6;
        for (const QString& line : lines)
            size += 2 + line.toUtf8().size();
        if (size <= msg::MaxBytes)
            broken("refused to write allowed paths");
    }
}

} // namespace kd::fuzz
