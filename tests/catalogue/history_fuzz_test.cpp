// The seeds of the play-history fuzz target, replayed through its oracle with
// the suite, each also with single bytes changed at places spread over its pages.
#include "support/testbundle.h"

#include <QDir>
#include <cstdint>
#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void replay(const QByteArray& bytes) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                           std::size_t(bytes.size()));
}

TEST(HistoryFuzzSeeds, EverySeedAndItsVariantsKeepTheOracle) {
    const QDir corpus(QStringLiteral(KD_SOURCE_DIR "/fuzz/history-corpus"));
    const QStringList seeds = corpus.entryList(QDir::Files);
    ASSERT_GE(seeds.size(), 10);
    for (const QString& seed : seeds) {
        SCOPED_TRACE(seed.toStdString());
        const QByteArray bytes = kd::test::readFile(corpus.filePath(seed));
        replay(bytes);
        // Past the 100-byte file header, where SQLite keeps its pages' own headers and cells.
        for (int i = 1; i <= 12 && bytes.size() > 100; ++i) {
            QByteArray variant = bytes;
            const qsizetype at = 100 + (variant.size() - 100) * i / 13;
            variant[at] = char(variant[at] ^ 0x5a);
            replay(variant);
        }
    }
}

} // namespace
