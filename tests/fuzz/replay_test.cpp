// Replays every committed fuzz input: the seeds of each target and every input
// that ever broke one (fuzz/findings/<target>/). A broken invariant fails the
// test and names the file; the fuzzer would have stopped on it.

#include "check.h"

#include <QDirIterator>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace kd::fuzz {

namespace {

// The targets this binary replays, and the suite its tests are named in: the
// core's, or with KD_FUZZ_REPLAY_WIDGETS those that need the libraries above
// the core.
#ifdef KD_FUZZ_REPLAY_WIDGETS
constexpr auto& kReplayed = kWidgetTargets;
#define KD_REPLAY_SUITE FuzzReplayWidgets
#else
constexpr auto& kReplayed = kCoreTargets;
#define KD_REPLAY_SUITE FuzzReplay
#endif

struct Broken {
    std::string what;
};

// Every file below the folders, in a stable order.
QStringList inputsOf(const QStringList& folders) {
    QStringList files;
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
    }
    files.sort();
    return files;
}

// Runs the target's check on one input; a broken invariant fails the test
// with `label`.
void checkInput(const Target& target, const QByteArray& bytes, const std::string& label) {
    try {
        target.check(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    } catch (const Broken& b) {
        ADD_FAILURE() << label << ": broken: " << b.what;
    }
}

// Runs the target's check on each of its inputs; returns how many there were.
int replay(const Target& target) {
    const QString fuzz = QStringLiteral(KD_SOURCE_DIR "/fuzz/");
    const QStringList files =
        inputsOf({fuzz + QLatin1StringView(target.seeds),
                  fuzz + QStringLiteral("findings/") + QLatin1StringView(target.name)});
    for (const QString& file : files) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << file.toStdString() << ": cannot read it";
            continue;
        }
        const QByteArray bytes = f.readAll();
        // Named before it runs, so that a crash names it too.
        std::fprintf(stderr, "[ replay   ] %s\n", qPrintable(file));
        checkInput(target, bytes, file.toStdString());
    }
    return int(files.size());
}

} // namespace

[[noreturn]] void broken(const char* what) {
    throw Broken{what};
}

// Each target's inputs; the counts catch a seed folder that went missing.
TEST(KD_REPLAY_SUITE, EveryTargetsInputs) {
    const std::pair<std::string_view, int> atLeast[] = {
        {"plist", 31},       {"bplist", 11},  {"log", 6},      {"instancemessage", 15},
        {"commandline", 10}, {"history", 10}, {"playdata", 8}, {"gamelistcache", 12}};
    for (const Target& t : kReplayed) {
        const auto* known = std::find_if(std::begin(atLeast), std::end(atLeast),
                                         [&](const auto& entry) { return entry.first == t.name; });
        ASSERT_NE(known, std::end(atLeast)) << t.name << " has no count of inputs";
        EXPECT_GE(replay(t), known->second) << t.name;
    }
}

#ifndef KD_FUZZ_REPLAY_WIDGETS
namespace {
const Target& target(std::string_view name) {
    for (const Target& t : kReplayed)
        if (name == t.name)
            return t;
    throw std::invalid_argument("no such fuzz target");
}
} // namespace

// Each history seed again with single bytes changed at places spread over its
// pages, past the 100-byte file header, where SQLite keeps its pages' own
// headers and cells.
TEST(FuzzReplay, HistoryFilesWithDamagedPages) {
    const QStringList seeds = inputsOf({QStringLiteral(KD_SOURCE_DIR "/fuzz/corpus-history")});
    ASSERT_GE(seeds.size(), 10);
    for (const QString& seed : seeds) {
        QFile file(seed);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << seed.toStdString();
        const QByteArray bytes = file.readAll();
        for (int i = 1; i <= 12 && bytes.size() > 100; ++i) {
            QByteArray variant = bytes;
            const qsizetype at = 100 + (variant.size() - 100) * i / 13;
            variant[at] = char(variant[at] ^ 0x5a);
            checkInput(target("history"), variant,
                       seed.toStdString() + " changed at " + std::to_string(at));
        }
    }
}
#endif

} // namespace kd::fuzz
