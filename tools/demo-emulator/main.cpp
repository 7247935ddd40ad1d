// The demo emulator packaged as kdromepak/Kaleidrome: it takes the command line
// of a game run or one command option, says what it was asked to do on standard
// output and standard error, and exits. Tests steer it through environment
// variables (README.md).
#include "demo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace demo {

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void out(std::string_view line) {
    writeAll(STDOUT_FILENO, std::string(line) + '\n');
}
void err(std::string_view line) {
    writeAll(STDERR_FILENO, std::string(line) + '\n');
}

namespace {

constexpr std::string_view kVersion = "Kaleidrome 1.4.2 (demo build)";

struct GameOption {
    std::string_view name;  // without "=value"
    std::string_view value; // placeholder in the usage, empty for a bare switch
    std::string_view what;
};

constexpr GameOption kGameOptions[] = {
    {"-ppc-frequency", "MHZ", "main CPU clock in MHz"},
    {"-no-threads", "", "run CPU, graphics and sound on one thread"},
    {"-gpu-multi-threaded", "", "render with several GPU threads"},
    {"-no-gpu-thread", "", "no separate GPU thread"},
    {"-res", "X,Y", "display resolution"},
    {"-fullscreen", "", "full-screen display"},
    {"-window", "", "windowed display"},
    {"-wide-screen", "", "stretch to a wide screen"},
    {"-multi-texture", "", "use several texture units"},
    {"-no-multi-texture", "", "use one texture unit"},
    {"-no-throttle", "", "run as fast as possible"},
    {"-show-fps", "", "show frames per second"},
    {"-crosshairs", "N", "light-gun crosshairs (0 none, 1 one, 2 two)"},
    {"-no-sound", "", "no sound effects"},
    {"-no-dsb", "", "no digital sound board (music)"},
    {"-flip-stereo", "", "swap left and right channels"},
};

const GameOption* findGameOption(std::string_view arg, std::string_view* value) {
    for (const GameOption& option : kGameOptions) {
        if (option.value.empty() && arg == option.name)
            return &option;
        if (!option.value.empty() && arg.size() > option.name.size() &&
            arg.substr(0, option.name.size()) == option.name && arg[option.name.size()] == '=') {
            *value = arg.substr(option.name.size() + 1);
            return &option;
        }
    }
    return nullptr;
}

std::string padded(std::string_view text, std::size_t width) {
    std::string s(text);
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s + ' ';
}

void printUsage() {
    out(kVersion);
    out("Usage: Kaleidrome <romset.zip> [options]");
    out("       Kaleidrome <command>");
    out("");
    out("Game options:");
    for (const GameOption& option : kGameOptions) {
        std::string name(option.name);
        if (!option.value.empty())
            name += '=' + std::string(option.value);
        out("  " + padded(name, 22) + std::string(option.what));
    }
    out("");
    out("Commands:");
    out("  -help                  show this listing");
    out("  -version               show the version");
    out("  -list-games            list the games this build knows");
    out("  -show-config           show the configuration in effect");
    out("  -print-inputs          show the input assignments");
}

int runCommand(std::string_view command) {
    if (command == "-help") {
        printUsage();
    } else if (command == "-version") {
        out(kVersion);
        out("Demo stand-in for the real emulator; it emulates nothing.");
    } else if (command == "-list-games") {
        out("ROM set       Title                         Year  Board");
        out("starlance     Star Lance Interceptor        1997  Demo board 2");
        out("reefrunner    Reef Runner                   1998  Demo board 2");
        out("thundercup    Thunder Cup Rally             1998  Demo board 3");
        out("bladeoath     Blade Oath II                 1999  Demo board 3");
        out("4 games.");
    } else if (command == "-show-config") {
        out("[ Global ]");
        out("PowerPCFrequency = 50");
        out("MultiThreaded = 1");
        out("XResolution = 496");
        out("YResolution = 384");
        out("FullScreen = 0");
        out("Throttle = 1");
        out("SoundVolume = 100");
        out("MusicVolume = 100");
        err("warning: no configuration file found, showing built-in values");
    } else if (command == "-print-inputs") {
        out("Input assignments:");
        out("  InputStart1      = KEY_1,JOY1_BUTTON9");
        out("  InputCoin1       = KEY_5,JOY1_BUTTON10");
        out("  InputSteering    = KEY_LEFT,KEY_RIGHT,JOY1_XAXIS");
        out("  InputAccelerator = KEY_UP,JOY1_RZAXIS_POS");
        out("  InputBrake       = KEY_DOWN,JOY1_ZAXIS_POS");
        out("  InputGunX        = MOUSE_XAXIS");
        out("  InputTrigger     = MOUSE_LEFT_BUTTON");
    } else {
        err("Kaleidrome: unknown option '" + std::string(command) + "' (try -help)");
        return 2;
    }
    return 0;
}

std::string_view romSetName(std::string_view path) {
    if (const std::size_t slash = path.rfind('/'); slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    if (path.size() > 4 && path.substr(path.size() - 4) == ".zip")
        path.remove_suffix(4);
    return path;
}

int runGame(std::string_view rom, int argc, char** argv) {
    out(std::string(kVersion) + " - arcade board emulator");
    out("This demo stands in for the real emulator: it shows what it was asked to do.");
    out("");
    out("ROM set   : " + std::string(romSetName(rom)) + "  (" + std::string(rom) + ")");
    struct stat st {};
    if (::stat(std::string(rom).c_str(), &st) == 0)
        out("Archive   : found, " + std::to_string(st.st_size) + " bytes");
    else
        err("warning: ROM archive not found: " + std::string(rom) + " (" + std::strerror(errno) +
            ")");

    bool anyOption = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == rom)
            continue;
        if (!anyOption)
            out("Options   :");
        anyOption = true;
        std::string_view value;
        if (const GameOption* option = findGameOption(arg, &value)) {
            std::string line = "  " + padded(arg, 22) + std::string(option->what);
            if (!value.empty())
                line += ": " + std::string(value);
            out(line);
        } else {
            err("warning: unknown option ignored: " + std::string(arg));
        }
    }
    if (!anyOption)
        out("Options   : none (built-in configuration)");

    out("");
    out("Loading ROM set \"" + std::string(romSetName(rom)) + "\"... done (demo: nothing loaded)");
    err("warning: no audio device opened, running silently");
    out("Emulation started.");
    out("Emulation stopped: 0 frames, average speed 100.0%.");
    return 0;
}

} // namespace

int runDefault(int argc, char** argv) {
    if (argc < 2) {
        printUsage();
        return 0;
    }
    if (argc == 2 && argv[1][0] == '-')
        return runCommand(argv[1]);
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            return runGame(argv[i], argc, argv);
    }
    err("Kaleidrome: no ROM archive given (try -help)");
    return 1;
}

} // namespace demo

namespace {

// Hands the arguments back to a test exactly as they arrived.
void writeArgvFile(const char* path, int argc, char** argv) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        demo::err(std::string("demo: cannot write ") + path + ": " + std::strerror(errno));
        return;
    }
    for (int i = 1; i < argc; ++i)
        std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, file);
    std::fclose(file);
}

} // namespace

int main(int argc, char** argv) {
    if (const char* argvFile = std::getenv("KD_DEMO_ARGV_FILE"); argvFile && *argvFile)
        writeArgvFile(argvFile, argc, argv);
    if (const char* script = std::getenv("KD_DEMO_SCRIPT"); script && *script)
        return demo::runScript(script, argc, argv);
    return demo::runDefault(argc, argv);
}
