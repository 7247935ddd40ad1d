#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <cstring>

namespace kd {

// Turns a byte stream that arrives in arbitrary chunks into valid UTF-8.
// Valid sequences pass through unchanged, also when split between chunks;
// each maximal subpart of an ill-formed sequence becomes one U+FFFD, as the
// Unicode standard recommends (overlongs, surrogates and code points above
// U+10FFFF are ill-formed).
//
// The sink variants hand out views: runs of valid input point straight into
// the caller's chunk, so a clean chunk costs no copy at all.
class Utf8StreamDecoder {
public:
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";

    // Calls sink(QByteArrayView) with consecutive pieces of valid UTF-8.
    template <typename Sink> void decode(QByteArrayView chunk, Sink&& sink);
    // Emits an unfinished trailing sequence as U+FFFD and resets the state.
    template <typename Sink> void finish(Sink&& sink);

    // Appends the valid UTF-8 form of `chunk` to `out`.
    void decode(QByteArrayView chunk, QByteArray& out) {
        decode(chunk, [&out](QByteArrayView piece) { out.append(piece); });
    }
    void finish(QByteArray& out) {
        finish([&out](QByteArrayView piece) { out.append(piece); });
    }

    // Forgets a pending partial sequence without emitting anything.
    void reset() { m_pendingLength = 0; }
    bool hasPending() const { return m_pendingLength > 0; }

private:
    static QByteArrayView replacement() { return QByteArrayView(kReplacement, 3); }
    // Total length of a sequence starting with `lead`; 0 if it cannot start one.
    static int sequenceLength(unsigned char lead) {
        if (lead < 0x80)
            return 1;
        if (lead < 0xC2)
            return 0;
        if (lead < 0xE0)
            return 2;
        if (lead < 0xF0)
            return 3;
        if (lead < 0xF5)
            return 4;
        return 0;
    }
    // Whether `byte` may follow at `index` (1..3) in a sequence led by `lead`.
    // The second byte's range rules out overlongs, surrogates and > U+10FFFF.
    static bool fits(unsigned char lead, int index, unsigned char byte) {
        if (index == 1) {
            switch (lead) {
            case 0xE0:
                return byte >= 0xA0 && byte <= 0xBF;
            case 0xED:
                return byte >= 0x80 && byte <= 0x9F;
            case 0xF0:
                return byte >= 0x90 && byte <= 0xBF;
            case 0xF4:
                return byte >= 0x80 && byte <= 0x8F;
            default:
                break;
            }
        }
        return (byte & 0xC0) == 0x80;
    }
    static qsizetype asciiRun(const unsigned char* p, qsizetype from, qsizetype n) {
        qsizetype i = from;
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        while (i < n && p[i] < 0x80)
            ++i;
        return i;
    }

    unsigned char m_pending[4] = {};
    int m_pendingLength = 0;
};

template <typename Sink> void Utf8StreamDecoder::decode(QByteArrayView chunk, Sink&& sink) {
    const auto* p = reinterpret_cast<const unsigned char*>(chunk.data());
    const qsizetype n = chunk.size();
    qsizetype i = 0;

    // Complete a sequence that an earlier chunk left open.
    // The pending part is never a whole sequence, so it has at most 3 bytes.
    while (m_pendingLength > 0 && m_pendingLength < 4 && i < n) {
        const int total = sequenceLength(m_pending[0]);
        if (!fits(m_pending[0], m_pendingLength, p[i])) {
            m_pendingLength = 0;
            sink(replacement()); // p[i] starts afresh below
            break;
        }
        m_pending[m_pendingLength++] = p[i++];
        if (m_pendingLength == total) {
            sink(QByteArrayView(reinterpret_cast<const char*>(m_pending), total));
            m_pendingLength = 0;
        }
    }

    qsizetype runStart = i;
    auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            sink(QByteArrayView(chunk.data() + runStart, end - runStart));
    };
    while (i < n) {
        i = asciiRun(p, i, n);
        if (i >= n)
            break;
        const unsigned char lead = p[i];
        const int total = sequenceLength(lead);
        if (total == 0) {
            flushRun(i);
            sink(replacement());
            runStart = ++i;
            continue;
        }
        int k = 1;
        while (k < total && i + k < n && fits(lead, k, p[i + k]))
            ++k;
        if (k == total) {
            i += total;
            continue;
        }
        flushRun(i);
        if (i + k == n) {
            // Cut off by the end of the chunk: wait for the rest.
            std::memcpy(m_pending, p + i, static_cast<size_t>(k));
            m_pendingLength = k;
            return;
        }
        sink(replacement());
        i += k;
        runStart = i;
    }
    flushRun(n);
}

template <typename Sink> void Utf8StreamDecoder::finish(Sink&& sink) {
    if (m_pendingLength > 0) {
        m_pendingLength = 0;
        sink(replacement());
    }
}

} // namespace kd
