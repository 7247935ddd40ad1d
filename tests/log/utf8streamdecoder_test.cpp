#include "log/utf8streamdecoder.h"

#include <QList>
#include <QString>
#include <gtest/gtest.h>

namespace kd {
namespace {

const QByteArray R = QByteArrayLiteral("\xEF\xBF\xBD"); // U+FFFD

QByteArray decodeChunks(const QList<QByteArray>& chunks) {
    Utf8StreamDecoder decoder;
    QByteArray out;
    for (const QByteArray& chunk : chunks)
        decoder.decode(chunk, out);
    decoder.finish(out);
    return out;
}

// Every cutting of the input, whole, in two pieces anywhere and byte by byte,
// gives one U+FFFD per maximal subpart of an ill-formed sequence. The log fuzz
// seeds (replayed by fuzz_replay_widgets_tests) hold Unicode's own example, overlongs of
// two bytes, surrogates, code points past U+10FFFF and a sequence cut at the end;
// its check decodes each of them in one piece, byte by byte and in random chunks
// against a reference decoder of its own.
TEST(Utf8StreamDecoder, AnyCuttingGivesOneReplacementPerMaximalSubpart) {
    // The first and last character of each row of the table of well-formed
    // sequences, and typical ones.
    const QByteArray valid =
        "x\xC2\x80\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xED\x9F\xBF\xEE\x80\x80"
        "\xEF\xBF\xBF\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBFy";
    const struct {
        QByteArray input, expected;
    } cases[] = {
        {valid, valid},
        {"\xC1\xF5\xFF", R + R + R},                              // bytes that never start one
        {"\xE0\x80\xAF", R + R + R},                              // overlong, three bytes
        {"\xF0\x8F\xBF\xBF", R + R + R + R},                      // overlong, four bytes
        {"\xE2\x82\x41", R + "A"},                                // cut short by a plain character
        {"\xF0\x9F\x98\xF0\x9F\x98\x80", R + "\xF0\x9F\x98\x80"}, // ... and by a valid one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.toHex().constData());
        EXPECT_EQ(decodeChunks({c.input}), c.expected);
        QList<QByteArray> bytes;
        for (char b : c.input)
            bytes.append(QByteArray(1, b));
        EXPECT_EQ(decodeChunks(bytes), c.expected) << "byte by byte";
        for (qsizetype split = 1; split < c.input.size(); ++split)
            EXPECT_EQ(decodeChunks({c.input.left(split), c.input.mid(split)}), c.expected)
                << "split at " << split;
    }
}

TEST(Utf8StreamDecoder, FinishFlushesOnlyAnOpenSequenceACleanChunkIsNotCopied) {
    Utf8StreamDecoder decoder;
    QByteArray out;
    decoder.decode("ok\xE2\x82", out);
    EXPECT_EQ(out, "ok");
    EXPECT_TRUE(decoder.hasPending());
    decoder.finish(out);
    EXPECT_EQ(out, "ok" + R);
    decoder.finish(out);
    EXPECT_EQ(out, "ok" + R);
    // After finish the decoder starts clean.
    decoder.decode("\xAC", out);
    EXPECT_EQ(out, "ok" + R + R);

    // A clean chunk is handed on whole, without a copy.
    const QByteArray chunk = "plain ascii and \xC3\xA9 non-ascii\n";
    QList<QByteArrayView> pieces;
    decoder.decode(chunk, [&](QByteArrayView piece) { pieces.append(piece); });
    ASSERT_EQ(pieces.size(), 1);
    EXPECT_EQ(pieces[0].data(), chunk.constData());
    EXPECT_EQ(pieces[0].size(), chunk.size());
}

} // namespace
} // namespace kd
