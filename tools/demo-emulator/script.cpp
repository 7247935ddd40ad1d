// The steering script of KD_DEMO_SCRIPT: one command a line, run in order.
#include "demo.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <limits.h>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace demo {
namespace {

constexpr std::size_t kBlock = 256 * 1024;

bool parseNumber(std::string_view text, long long* value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, *value);
    return result.ec == std::errc() && result.ptr == end;
}

void sleepMs(long long ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// Lines like an emulator's frame log, `bytes` in all (the last line may be cut).
void flood(unsigned long long bytes) {
    std::string block;
    block.reserve(kBlock + 128);
    unsigned long long frame = 0;
    while (bytes > 0) {
        block.clear();
        while (block.size() < kBlock) {
            char number[24];
            const auto end = std::to_chars(number, number + sizeof number, frame++).ptr;
            block += "[frame ";
            block.append(number, end);
            block += "] ppc 66.00 MHz | gpu 8.31 ms | 60.00 fps | audio ok\n";
        }
        const std::size_t n =
            static_cast<std::size_t>(std::min<unsigned long long>(bytes, block.size()));
        if (!writeAll(STDOUT_FILENO, std::string_view(block).substr(0, n)))
            return;
        bytes -= n;
    }
}

// xorshift32 from `seed`; each byte is the low 8 bits of the next state.
void pattern(unsigned long long bytes, std::uint32_t seed) {
    std::uint32_t x = seed ? seed : 1;
    std::string block(kBlock, '\0');
    while (bytes > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<unsigned long long>(bytes, kBlock));
        for (std::size_t i = 0; i < n; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            block[i] = static_cast<char>(x & 0xff);
        }
        if (!writeAll(STDOUT_FILENO, std::string_view(block).substr(0, n)))
            return;
        bytes -= n;
    }
}

bool hexBytes(std::string_view text, std::string* bytes) {
    auto digit = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string compact;
    for (char c : text)
        if (c != ' ')
            compact += c;
    if (compact.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < compact.size(); i += 2) {
        const int hi = digit(compact[i]);
        const int lo = digit(compact[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        *bytes += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

void listDescriptors() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) {
        err(std::string("fds: ") + std::strerror(errno));
        return;
    }
    std::vector<int> fds;
    while (const dirent* entry = ::readdir(dir)) {
        long long fd = 0;
        if (parseNumber(entry->d_name, &fd) && fd != ::dirfd(dir))
            fds.push_back(static_cast<int>(fd));
    }
    ::closedir(dir);
    std::sort(fds.begin(), fds.end());
    for (int fd : fds) {
        char target[PATH_MAX] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        out("fd " + std::to_string(fd) + " -> " + (n > 0 ? std::string(target, n) : "?"));
    }
}

[[noreturn]] void dieOf(int signo) {
    // A test that asks for SIGSEGV wants the status, not a core file.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    std::signal(signo, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signo);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signo);
    err("demo: signal " + std::to_string(signo) + " did not end the process");
    ::_exit(125);
}

volatile std::sig_atomic_t termRequested = 0;

void noteTerm(int) {
    termRequested = 1;
}

[[noreturn]] void bad(std::string_view line) {
    err("demo: bad script line: " + std::string(line));
    ::_exit(64);
}

} // namespace

int runScript(std::string_view script, int argc, char** argv) {
    int status = 0;
    while (!script.empty()) {
        const std::size_t eol = script.find('\n');
        std::string_view line = script.substr(0, eol);
        script.remove_prefix(eol == std::string_view::npos ? script.size() : eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;

        const std::size_t space = line.find(' ');
        const std::string_view command = line.substr(0, space);
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        // The first word of `rest` as a number, and what follows it.
        long long number = 0;
        const std::size_t space2 = rest.find(' ');
        const bool numeric = parseNumber(rest.substr(0, space2), &number);
        const std::string_view tail =
            space2 == std::string_view::npos ? std::string_view() : rest.substr(space2 + 1);

        if (command == "out") {
            out(rest);
        } else if (command == "err") {
            err(rest);
        } else if (command == "hex") {
            std::string bytes;
            if (!hexBytes(rest, &bytes))
                bad(line);
            writeAll(STDOUT_FILENO, bytes);
        } else if (command == "sleep" && numeric && number >= 0) {
            sleepMs(number);
        } else if (command == "flood" && numeric && number >= 0) {
            flood(static_cast<unsigned long long>(number));
        } else if (command == "pattern" && numeric && number >= 0) {
            long long seed = 1;
            if (!tail.empty() && !parseNumber(tail, &seed))
                bad(line);
            pattern(static_cast<unsigned long long>(number), static_cast<std::uint32_t>(seed));
        } else if (command == "exit" && numeric) {
            return static_cast<int>(number);
        } else if (command == "signal" && numeric) {
            dieOf(static_cast<int>(number));
        } else if (command == "run") {
            // Only a trapped terminate request lets the script go on.
            while (!termRequested)
                ::pause();
        } else if (command == "ignore-term") {
            std::signal(SIGTERM, SIG_IGN);
        } else if (command == "trap-term") {
            std::signal(SIGTERM, noteTerm);
        } else if (command == "grandchild" && numeric && number >= 0) {
            const std::string text = tail.empty() ? "grandchild: done" : std::string(tail);
            const pid_t pid = ::fork();
            if (pid == 0) {
                sleepMs(number);
                out(text);
                ::_exit(0);
            }
            if (pid < 0)
                err(std::string("demo: fork: ") + std::strerror(errno));
        } else if (command == "close-output") {
            ::close(STDOUT_FILENO);
            ::close(STDERR_FILENO);
        } else if (command == "pwd") {
            char cwd[PATH_MAX];
            out(::getcwd(cwd, sizeof cwd) ? cwd : "?");
        } else if (command == "fds") {
            listDescriptors();
        } else if (command == "default") {
            status = runDefault(argc, argv);
        } else {
            bad(line);
        }
    }
    return status;
}

} // namespace demo
