// The pad in the launcher on a large game list (virtual joystick, offscreen):
//   gamepad_bench GAMELIST [--presses N] [--idle SECONDS]
// 1. No pad attached: timer events delivered to the pad part over two seconds.
// 2. A pad attached and nothing pressed: the process's CPU time over the idle
//    seconds (5), as a share of one core, and the pad part's wake-ups. A virtual
//    pad has no device node, so this is the timer-read fallback; a real pad's
//    node is watched instead and wakes the launcher only when it has input.
// 3. N presses (200) of down and up in turn, each timed from the button's change
//    to the new selection painted in the shown table; median and p95.
#include "app/appdelegate.h"
#include "app/windows/gametableview.h"
#include "app/windows/mainwindow.h"
#include "platform/gamepad/gamepad.h"
#include "settings/settingsstore.h"
#include "startup/benchsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <SDL.h>
#include <ctime>

namespace {

using kd::bench::verdict;

bool makeHome(const QString& home) {
    for (const char* sub : {"config", "data", "runtime"})
        if (!QDir().mkpath(home + u'/' + QLatin1String(sub)))
            return false;
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home + QStringLiteral("/runtime")));
    return QDir().mkpath(home + QStringLiteral("/roms"));
}

void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Timer events in the whole launcher, and those of the pad part's timers.
struct WakeCounter : QObject {
    int all = 0;
    int pad = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            ++all;
            if (watched->objectName().startsWith(QLatin1String("pad")))
                ++pad;
        }
        return false;
    }
    void reset() { all = pad = 0; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gamepad_bench GAMELIST [--presses N] [--idle SECONDS]\n");
        return 2;
    }
    const QString gameList = QString::fromLocal8Bit(argv[1]);
    int presses = 200, idleSeconds = 5;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--presses") == 0)
            presses = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--idle") == 0)
            idleSeconds = std::atoi(argv[i + 1]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid() || !makeHome(home.path()))
        return 2;
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString resources =
        home.path() + QStringLiteral("/Kaleidrome Launcher.app/Contents/Resources");
    if (!kd::bench::copyTree(QStringLiteral(KD_BUNDLE_RESOURCES), resources))
        return 2;
    QFile::remove(resources + QStringLiteral("/Kaleidrome.xml"));
    if (!QFile::copy(gameList, resources + QStringLiteral("/Kaleidrome.xml")))
        return 2;

    kd::SettingsStore store(home.path() + QStringLiteral("/settings.conf"));
    store.setObject(QString(home.path() + QStringLiteral("/roms")), kd::keys::RomsPath);
    store.synchronize();
    kd::bench::QuietDesktop desktop;
    kd::AppDelegate delegate(desktop, store, resources);
    delegate.awakeFromNib();
    delegate.applicationDidFinishLaunching();
    delegate.show_Mainwindow();
    QApplication::setActiveWindow(delegate.window());
    idle(3000); // the search index is built in slices after loading
    auto* gamepad = delegate.findChild<kd::Gamepad*>();
    if (!gamepad || !gamepad->problem().isEmpty()) {
        std::fprintf(stderr, "no pad support: %s\n",
                     gamepad ? qPrintable(gamepad->problem()) : "no part");
        return 2;
    }
    WakeCounter wakes;
    application.installEventFilter(&wakes);

    // 1. No pad.
    QElapsedTimer wall;
    wall.start();
    double cpuBefore = cpuSeconds();
    idle(idleSeconds * 1000);
    const double cpuWithout = (cpuSeconds() - cpuBefore) / (double(wall.elapsed()) / 1000) * 100;
    const double allWithout = wakes.all / (double(wall.elapsed()) / 1000);
    const int timersWithout = wakes.pad + (gamepad->isReading() ? 1 : 0);

    // 2. An idle pad.
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
    desc.button_mask = (1u << desc.nbuttons) - 1;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.name = "Bench Pad Virtual";
    SDL_Joystick* joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));
    QElapsedTimer wait;
    wait.start();
    while (gamepad->padCount() == 0 && wait.elapsed() < 3000)
        idle(10);
    if (!joystick || gamepad->padCount() == 0) {
        std::fprintf(stderr, "the virtual pad was not found: %s\n", SDL_GetError());
        return 2;
    }
    idle(200);
    wakes.reset();
    wall.start();
    cpuBefore = cpuSeconds();
    idle(idleSeconds * 1000);
    const double cpuShare = (cpuSeconds() - cpuBefore) / (double(wall.elapsed()) / 1000) * 100;
    const double wakesPerSecond = wakes.pad / (double(wall.elapsed()) / 1000);
    const double allWith = wakes.all / (double(wall.elapsed()) / 1000);

    // 3. Presses on the 50,000-game list, from the middle of it.
    kd::GameTableView& table = delegate.window()->table();
    const qint64 rows = table.model()->rowCount();
    delegate.setSelectionIndex(rows / 2);
    idle(100);
    std::vector<double> ms, toCommand;
    QElapsedTimer* pressed = nullptr;
    QObject::connect(gamepad, &kd::Gamepad::command, [&] {
        if (pressed)
            toCommand.push_back(double(pressed->nsecsElapsed()) / 1e6);
    });
    int missed = 0;
    for (int i = 0; i < presses; ++i) {
        const int button = i % 2 ? SDL_CONTROLLER_BUTTON_DPAD_UP : SDL_CONTROLLER_BUTTON_DPAD_DOWN;
        const qint64 before = delegate.selectionIndex();
        QElapsedTimer clock;
        clock.start();
        pressed = &clock;
        SDL_JoystickSetVirtualButton(joystick, button, 1);
        while (delegate.selectionIndex() == before && clock.elapsed() < 1000)
            QApplication::processEvents();
        table.viewport()->repaint();
        if (delegate.selectionIndex() == before)
            ++missed;
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        pressed = nullptr;
        SDL_JoystickSetVirtualButton(joystick, button, 0);
        idle(30 + i % 7); // a press is not in step with the reading
    }
    SDL_JoystickClose(joystick);

    const double median = kd::bench::quantile(ms, 0.5);
    std::printf("gamepad: %lld games, %d presses (%d missed), idle %d s, read every %lld ms\n",
                rows, presses, missed, idleSeconds,
                static_cast<long long>(kd::Gamepad::ReadInterval.count()));
    std::printf("%s  press to selection shown median = %.2f ms, p95 %.2f ms (target <= 16 ms)\n",
                verdict(median <= 16 && missed == 0), median, kd::bench::quantile(ms, 0.95));
    std::printf("of which press to command: median %.2f ms\n", kd::bench::quantile(toCommand, 0.5));
    std::printf("no pad: CPU %.3f %% of one core, %.0f timer events/s in the launcher\n",
                cpuWithout, allWithout);
    // A virtual pad has no device node, so it is read on the timer: the figure is
    // that of the fallback. A pad with a node wakes the launcher only with input.
    std::printf("%s  idle pad attached (virtual, read on the timer): CPU = %.3f %% of one core, "
                "%.0f wake-ups/s of the pad part, %.0f timer events/s in all (target <= 0.5 %%)\n",
                verdict(cpuShare <= 0.5), cpuShare, wakesPerSecond, allWith);
    std::printf("%s  no pad attached: timer events to the pad part = %d (target 0)\n",
                verdict(timersWithout == 0), timersWithout);
    return median <= 16 && missed == 0 && cpuShare <= 0.5 && timersWithout == 0 ? 0 : 1;
}
