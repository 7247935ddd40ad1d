#include "log/utf8streamdecoder.h"

#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringBuilder>
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

QByteArray decodeOnce(const QByteArray& bytes) {
    return decodeChunks({bytes});
}

struct Case {
    const char* name;
    QByteArray input;
    QByteArray expected;
};

TEST(Utf8StreamDecoder, IllFormedInputBecomesOneReplacementPerMaximalSubpart) {
    const Case cases[] = {
        {"ascii and valid multi-byte pass through", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z",
         "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z"},
        {"lone continuation", "a\x80z", "a" + R + "z"},
        {"bytes that never start a sequence", "\xC0\xC1\xF5\xFF", R + R + R + R},
        {"overlong two bytes", "\xC0\xAF", R + R},
        {"overlong three bytes", "\xE0\x80\xAF", R + R + R},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", R + R + R + R},
        {"surrogate", "\xED\xA0\x80", R + R + R},
        {"last before surrogates is fine", "\xED\x9F\xBF", "\xED\x9F\xBF"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", R + R + R + R},
        {"U+10FFFF is fine", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"truncated three-byte sequence",
         "\xE2\x82"
         "A",
         R + "A"},
        {"truncated four-byte then a valid one", "\xF0\x9F\x98\xF0\x9F\x98\x80",
         R + "\xF0\x9F\x98\x80"},
        {"truncated at the very end", "ab\xF0\x9F", "ab" + R},
        // The example of the Unicode standard, table 3-8.
        {"standard example", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         "a" + R + R + R + "b" + R + "c" + R + R + "d"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeOnce(c.input), c.expected) << c.name;
        // Byte by byte must give the same.
        QList<QByteArray> bytes;
        for (char b : c.input)
            bytes.append(QByteArray(1, b));
        EXPECT_EQ(decodeChunks(bytes), c.expected) << c.name << " (byte by byte)";
    }
}

TEST(Utf8StreamDecoder, CharacterSplitAtEveryPointSurvivesWhole) {
    // Shortest and longest of each length, and typical ones.
    const QByteArray characters[] = {
        "\xC2\x80",         "\xC3\xA9",         "\xDF\xBF",         "\xE0\xA0\x80",
        "\xE2\x82\xAC",     "\xED\x9F\xBF",     "\xEE\x80\x80",     "\xEF\xBF\xBF",
        "\xF0\x90\x80\x80", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF",
    };
    for (const QByteArray& ch : characters) {
        const QByteArray text = "x" + ch + "y";
        for (qsizetype split = 1; split < text.size(); ++split) {
            EXPECT_EQ(decodeChunks({text.left(split), text.mid(split)}), text)
                << text.toHex().constData() << " split at " << split;
        }
        // Three pieces: every pair of split points inside the character.
        for (qsizetype a = 2; a < text.size() - 1; ++a)
            for (qsizetype b = a + 1; b < text.size(); ++b)
                EXPECT_EQ(decodeChunks({text.left(a), text.mid(a, b - a), text.mid(b)}), text);
    }
}

TEST(Utf8StreamDecoder, FinishFlushesOnlyAnOpenSequence) {
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
}

TEST(Utf8StreamDecoder, CleanChunkIsHandedOnWithoutCopy) {
    const QByteArray chunk = "plain ascii and \xC3\xA9 non-ascii\n";
    Utf8StreamDecoder decoder;
    QList<QByteArrayView> pieces;
    decoder.decode(chunk, [&](QByteArrayView piece) { pieces.append(piece); });
    ASSERT_EQ(pieces.size(), 1);
    EXPECT_EQ(pieces[0].data(), chunk.constData());
    EXPECT_EQ(pieces[0].size(), chunk.size());
}

// Random text made of valid characters of every length mixed with garbage.
QByteArray randomBytes(QRandomGenerator& random, int count) {
    const QByteArray pieces[] = {
        "a",    "Z",    "\n",       "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xED\xA0\x80",
        "\xC0", "\x80", "\xF4\x90", "\xE0\x80", "\xFF",         "\xF0\x9F",         "\xE2"};
    QByteArray out;
    while (out.size() < count) {
        if (random.bounded(4) == 0)
            out.append(char(random.bounded(256)));
        else
            out.append(pieces[random.bounded(int(std::size(pieces)))]);
    }
    return out;
}

TEST(Utf8StreamDecoder, RandomChunkingMatchesOneShotDecode) {
    QRandomGenerator random(20240607);
    for (int round = 0; round < 300; ++round) {
        const QByteArray input = randomBytes(random, 1 + random.bounded(400));
        const QByteArray expected = decodeOnce(input);
        // What comes out is valid UTF-8: Qt's decoder leaves it as it is.
        ASSERT_EQ(QString::fromUtf8(expected).toUtf8(), expected) << input.toHex().constData();

        QList<QByteArray> chunks;
        for (qsizetype at = 0; at < input.size();) {
            const qsizetype length = 1 + random.bounded(9);
            chunks.append(input.mid(at, length));
            at += length;
        }
        ASSERT_EQ(decodeChunks(chunks), expected) << input.toHex().constData();
    }
}

} // namespace
} // namespace kd
