// Feeds arbitrary bytes to the running launcher's end of its socket: the
// message reader, whole and in pieces. What it accepts must be the one form
// a message has (written again, it gives the same bytes) and hold only
// absolute, bounded paths; whole and in pieces must agree. The input, read as
// lines, also goes through the writer: what it writes reads back the same.
//
// Built for libFuzzer (clang, from the project's root):
//   clang++-14 -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -DKD_LIBFUZZER
//     -Isrc fuzz/instancemessage_fuzz.cpp src/platform/instancemessage.cpp
//     $(pkg-config --cflags --libs Qt6Core) -o /tmp/instancemessage_fuzz
//   /tmp/instancemessage_fuzz -max_len=9000 /tmp/corpus fuzz/corpus-instancemessage
// The suite replays fuzz/corpus-instancemessage/ through the same check.

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

// What broke, or nullptr.
const char* checkInstanceMessage(std::string_view input) {
    const QByteArray bytes(input.data(), qsizetype(input.size()));
    QString error;
    const std::optional<QStringList> paths = msg::decode(bytes, &error);
    if (!paths && error.isEmpty())
        return "refused without a reason";
    if (paths) {
        if (bytes.size() > msg::MaxBytes)
            return "accepted a message over the size limit";
        if (paths->size() > msg::MaxPaths)
            return "accepted too many paths";
        for (const QString& path : *paths)
            if (!allowed(path))
                return "accepted a path that breaks the rules";
        if (msg::encode(*paths) != bytes)
            return "accepted a message not in its one form";
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
        return "whole and in pieces disagree";
    if (paths && reader.paths() != *paths)
        return "whole and in pieces give different paths";

    // The input as lines, through the writer.
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    const std::optional<QByteArray> written = msg::encode(lines);
    const bool writable =
        lines.size() <= msg::MaxPaths && std::all_of(lines.begin(), lines.end(), allowed);
    if (written.has_value() && !writable)
        return "wrote paths that break the rules";
    if (written) {
        if (written->size() > msg::MaxBytes)
            return "wrote a message over the size limit";
        if (msg::decode(*written) != lines)
            return "what was written does not read back";
    } else if (writable) {
        // Refused only for the size of the whole.
        qsizetype size = 6;
        for (const QString& line : lines)
            size += 2 + line.toUtf8().size();
        if (size <= msg::MaxBytes)
            return "refused to write allowed paths";
    }
    return nullptr;
}

} // namespace kd::fuzz

#ifdef KD_LIBFUZZER
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const char* broken =
            kd::fuzz::checkInstanceMessage({reinterpret_cast<const char*>(data), size})) {
        std::fprintf(stderr, "broken: %s\n", broken);
        std::abort();
    }
    return 0;
}
#endif
