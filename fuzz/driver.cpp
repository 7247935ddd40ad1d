// The libFuzzer entry of one target, chosen when building (fuzz/run.sh passes
// -DKD_FUZZ_CHECK=checkGameList and so on). A broken invariant aborts, so
// libFuzzer keeps the input as a finding.

#include "check.h"

#include <QApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/prctl.h>

#ifndef KD_FUZZ_CHECK
#error "define KD_FUZZ_CHECK as the check to run"
#endif

[[noreturn]] void kd::fuzz::broken(const char* what) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
    // The log target makes widgets. Qt sees only the program's name: the
    // fuzzer's options are not its business.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The log text asks for huge pages; zeroing 2 MiB for each of the few
    // bytes an input writes would cost most of the time. Only a hint: the
    // code runs the same on small pages.
    ::prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    // Never destroyed: at exit Qt's own globals (the SQL driver's among them)
    // are gone before a static application would be.
    static const QApplication* application = new QApplication(qtArgc, qtArgv);
    (void)application;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kd::fuzz::KD_FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
