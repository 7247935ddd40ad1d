#pragma once

// The fuzz targets' checks. Each takes one input and does with it what the
// launcher does, checking what must hold on the way (the oracle); a broken
// invariant calls broken(). The libFuzzer driver (driver.cpp) aborts there,
// so the input is kept as a finding; the test suite's replay throws and
// names the file instead.

#include <string_view>

namespace kd::fuzz {

// Defined by whoever runs the checks; does not return.
[[noreturn]] void broken(const char* what);

inline void require(bool ok, const char* what) {
    if (!ok)
        broken(what);
}

// A game-list file through everything the launcher does with it.
void checkGameList(std::string_view bytes);
// The binary property-list reader on its own.
void checkBinaryPlist(std::string_view bytes);
// Emulator output through the UTF-8 stream decoder into the log text and view,
// in chunks the input chooses.
void checkLogStream(std::string_view bytes);
// A later start's message to the running launcher, whole and in pieces, and
// the writer of such messages.
void checkInstanceMessage(std::string_view bytes);
// The launcher's command line: the input split at NUL bytes into arguments.
void checkCommandLine(std::string_view bytes);
// A file in the place of the play history's database.
void checkHistoryFile(std::string_view bytes);
// A file given to Import Play Data, merged into a history with runs.
void checkPlayData(std::string_view bytes);
// The cache of a parsed game list: made from a list file, or found on disk.
void checkGameListCache(std::string_view bytes);

struct Target {
    const char* name;                // as fuzz/run.sh takes it
    void (*check)(std::string_view); //
    const char* seeds;               // folder of seeds below fuzz/
};

// The readers of the core libraries: their checks build without widgets.
inline constexpr Target kCoreTargets[] = {
    {"plist", checkGameList, "corpus"},
    {"bplist", checkBinaryPlist, "corpus"},
    {"instancemessage", checkInstanceMessage, "corpus-instancemessage"},
    {"history", checkHistoryFile, "corpus-history"},
    {"playdata", checkPlayData, "corpus-playdata"},
    {"gamelistcache", checkGameListCache, "corpus-gamelistcache"},
};
// Checks that need the libraries above the core: the log view, the launcher's
// command line (the app).
inline constexpr Target kWidgetTargets[] = {
    {"log", checkLogStream, "corpus-log"},
    {"commandline", checkCommandLine, "corpus-commandline"},
};

} // namespace kd::fuzz
