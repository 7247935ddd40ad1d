#include "platform/gamepad/gamepad.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <SDL.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace kd {

namespace {

// Where the kernel adds and removes input devices.
const QString DeviceFolder = QStringLiteral("/dev/input");
// The left stick counts as a direction beyond the first bound and stops
// counting back inside the second, so a stick resting near the edge does not flicker.
constexpr int StickPressed = 16384;
constexpr int StickReleased = 8192;

std::optional<PadCommand> commandOf(PadButton button) {
    switch (button) {
    case PadButton::South:
        return PadCommand::Accept;
    case PadButton::East:
        return PadCommand::Cancel;
    case PadButton::North:
        return PadCommand::Favourite;
    case PadButton::Back:
        return PadCommand::History;
    case PadButton::Start:
        return PadCommand::ToggleAvailable;
    case PadButton::LeftShoulder:
        return PadCommand::PageUp;
    case PadButton::RightShoulder:
        return PadCommand::PageDown;
    default:
        return std::nullopt; // directions repeat, so they go their own way
    }
}

// Called by SDL on whichever thread adds a device: the reading happens on ours.
int SDLCALL watchDevices(void* self, SDL_Event* event) {
    if (event->type == SDL_JOYDEVICEADDED || event->type == SDL_CONTROLLERDEVICEADDED) {
        auto* gamepad = static_cast<Gamepad*>(self);
        QMetaObject::invokeMethod(
            gamepad, [gamepad] { gamepad->readPads(); }, Qt::QueuedConnection);
    }
    return 0;
}

} // namespace

Gamepad::Gamepad(QObject* parent) : QObject(parent) {
    // Named, so what wakes the launcher can be told apart.
    m_reader.setObjectName(QStringLiteral("padReader"));
    m_repeat.setObjectName(QStringLiteral("padRepeat"));
    m_quitHold.setObjectName(QStringLiteral("padQuitHold"));
    m_reader.setTimerType(Qt::PreciseTimer);
    m_reader.setInterval(ReadInterval);
    connect(&m_reader, &QTimer::timeout, this, &Gamepad::readPads);
    m_repeat.setSingleShot(true);
    m_repeat.setTimerType(Qt::PreciseTimer);
    connect(&m_repeat, &QTimer::timeout, this, &Gamepad::repeatDirection);
    m_quitHold.setSingleShot(true);
    connect(&m_quitHold, &QTimer::timeout, this, [this] {
        if (m_running && m_quit.enabled && quitCombinationHeld()) {
            m_quitFired = true;
            emit quitRequested();
        }
    });

    // The launcher has its own handling of SIGTERM and SIGINT; the quit
    // combination must work while a game has the focus.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // Pads through their input event node, which is quiet while nothing is
    // pressed; the HID path reports many times a second regardless. The
    // environment variable of the same name still decides.
    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        m_problem = QString::fromUtf8(SDL_GetError());
        return;
    }
    SDL_AddEventWatch(watchDevices, this);
    if (QDir(DeviceFolder).exists()) {
        m_devices = new QFileSystemWatcher({DeviceFolder}, this);
        // The device's node may become readable a moment after it appears.
        connect(m_devices, &QFileSystemWatcher::directoryChanged, this, [this] {
            readPads();
            QTimer::singleShot(500, this, &Gamepad::readPads);
            QTimer::singleShot(2000, this, &Gamepad::readPads);
        });
    }
    // Pads attached before the start are already announced.
    readSoon();
}

Gamepad::~Gamepad() {
    if (!m_problem.isEmpty())
        return;
    SDL_DelEventWatch(watchDevices, this);
    for (auto& [instance, pad] : m_pads) {
        closeDevice(pad);
        SDL_GameControllerClose(static_cast<SDL_GameController*>(pad.controller));
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool Gamepad::isReading() const {
    if (m_reader.isActive())
        return true;
    for (const auto& [instance, pad] : m_pads) {
        if (pad.notifier)
            return true;
    }
    return false;
}

QString Gamepad::padName() const {
    return m_pads.empty() ? QString() : m_pads.begin()->second.name;
}

void Gamepad::setQuitCombination(const QuitCombination& combination) {
    m_quit = combination;
    checkQuitCombination();
}

void Gamepad::setGameRunning(bool running) {
    if (running == m_running)
        return;
    m_running = running;
    m_repeat.stop();
    m_quitHold.stop();
    m_quitFired = false;
    checkQuitCombination();
}

void Gamepad::readSoon() {
    QMetaObject::invokeMethod(this, &Gamepad::readPads, Qt::QueuedConnection);
}

void Gamepad::readPads() {
    if (!m_problem.isEmpty())
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_JOYDEVICEADDED:
            if (!SDL_IsGameController(event.jdevice.which))
                emit notice(
                    QStringLiteral("Gamepad: no controller mapping for \"%1\"; "
                                   "SDL_GAMECONTROLLERCONFIG can give one")
                        .arg(QString::fromUtf8(SDL_JoystickNameForIndex(event.jdevice.which))));
            break;
        case SDL_CONTROLLERDEVICEADDED:
            addPad(event.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            removePad(event.cdevice.which);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (auto pad = m_pads.find(event.cbutton.which);
                pad != m_pads.end() && event.cbutton.button < int(PadButton::Count))
                buttonChanged(pad->second, PadButton(event.cbutton.button),
                              event.type == SDL_CONTROLLERBUTTONDOWN);
            break;
        case SDL_CONTROLLERAXISMOTION:
            if (auto pad = m_pads.find(event.caxis.which);
                pad != m_pads.end() && event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY)
                stickMoved(pad->second, event.caxis.value);
            break;
        default:
            break;
        }
    }
}

void Gamepad::addPad(int deviceIndex) {
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) {
        emit notice(QStringLiteral("Gamepad: cannot open a pad: ") +
                    QString::fromUtf8(SDL_GetError()));
        return;
    }
    const int instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    if (m_pads.contains(instance)) {
        SDL_GameControllerClose(controller); // announced twice; it is open already
        return;
    }
    const char* name = SDL_GameControllerName(controller);
    Pad& pad = m_pads[instance];
    pad.controller = controller;
    pad.name = name ? QString::fromUtf8(name) : QStringLiteral("Gamepad");
    watchDevice(instance, pad, SDL_GameControllerPath(controller));
    updateReading();
    emit padsChanged(padName());
}

void Gamepad::removePad(int instance) {
    const auto pad = m_pads.find(instance);
    if (pad == m_pads.end())
        return;
    closeDevice(pad->second);
    SDL_GameControllerClose(static_cast<SDL_GameController*>(pad->second.controller));
    m_pads.erase(pad);
    directionChanged();
    checkQuitCombination();
    updateReading();
    emit padsChanged(padName());
}

// The pad's node, opened a second time: the kernel hands each reader its own
// copy of the events, so reading ours takes nothing from SDL's.
void Gamepad::watchDevice(int instance, Pad& pad, const char* path) {
    if (!path || std::strncmp(path, "/dev/", 5) != 0)
        return; // read on the timer
    pad.device = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (pad.device < 0)
        return;
    pad.notifier = new QSocketNotifier(pad.device, QSocketNotifier::Read, this);
    connect(pad.notifier, &QSocketNotifier::activated, this,
            [this, instance] { deviceReadable(instance); });
}

void Gamepad::deviceReadable(int instance) {
    const auto found = m_pads.find(instance);
    if (found == m_pads.end() || !found->second.notifier)
        return;
    Pad& pad = found->second;
    char events[1024];
    ssize_t got = 0;
    while ((got = ::read(pad.device, events, sizeof events)) > 0) {
    }
    if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        closeDevice(pad); // unplugged: read on the timer until SDL says so
        updateReading();
    } else {
        // A stick that keeps reporting wakes the launcher at most once per interval.
        pad.notifier->setEnabled(false);
        QTimer::singleShot(ReadInterval, pad.notifier,
                           [notifier = pad.notifier] { notifier->setEnabled(true); });
    }
    readPads(); // may remove the pad: nothing of it is used after this
}

void Gamepad::closeDevice(Pad& pad) {
    delete std::exchange(pad.notifier, nullptr);
    if (pad.device >= 0)
        ::close(std::exchange(pad.device, -1));
}

void Gamepad::buttonChanged(Pad& pad, PadButton button, bool down) {
    if (pad.held[std::size_t(button)] == down)
        return;
    pad.held[std::size_t(button)] = down;
    if (button == PadButton::Up || button == PadButton::Down) {
        directionChanged();
    } else if (down && !m_running) {
        if (const std::optional<PadCommand> command = commandOf(button))
            emit this->command(*command);
    }
    checkQuitCombination();
}

void Gamepad::stickMoved(Pad& pad, int value) {
    int direction = pad.stickDirection;
    if (value <= -StickPressed)
        direction = -1;
    else if (value >= StickPressed)
        direction = 1;
    else if (value > -StickReleased && value < StickReleased)
        direction = 0;
    if (direction == pad.stickDirection)
        return;
    pad.stickDirection = direction;
    directionChanged();
}

// The direction held on any pad, by its D-pad or left stick.
void Gamepad::directionChanged() {
    int direction = 0;
    for (const auto& [instance, pad] : m_pads) {
        if (pad.held[std::size_t(PadButton::Up)] || pad.stickDirection < 0)
            direction = -1;
        else if (pad.held[std::size_t(PadButton::Down)] || pad.stickDirection > 0)
            direction = 1;
    }
    if (direction == m_direction)
        return;
    m_direction = direction;
    m_repeat.stop();
    if (direction == 0 || m_running)
        return;
    m_directionSince.start();
    emit command(direction < 0 ? PadCommand::Up : PadCommand::Down);
    m_repeat.start(RepeatDelay);
}

void Gamepad::repeatDirection() {
    if (m_direction == 0 || m_running)
        return;
    emit command(m_direction < 0 ? PadCommand::Up : PadCommand::Down);
    m_repeat.start(m_directionSince.elapsed() >= SpeedUpAfter.count() ? RepeatFast : RepeatSlow);
}

bool Gamepad::quitCombinationHeld() const {
    for (const auto& [instance, pad] : m_pads) {
        if (pad.held[std::size_t(m_quit.first)] && pad.held[std::size_t(m_quit.second)])
            return true;
    }
    return false;
}

// Fires once per hold: letting go of a button arms it again.
void Gamepad::checkQuitCombination() {
    if (!m_running || !m_quit.enabled || !quitCombinationHeld()) {
        m_quitHold.stop();
        m_quitFired = false;
        return;
    }
    if (!m_quitFired && !m_quitHold.isActive())
        m_quitHold.start(m_quit.hold);
}

void Gamepad::updateReading() {
    if (m_pads.empty()) {
        m_reader.stop();
        m_repeat.stop();
        m_quitHold.stop();
        return;
    }
    const bool unwatched = std::any_of(m_pads.begin(), m_pads.end(),
                                       [](const auto& entry) { return !entry.second.notifier; });
    if (!unwatched)
        m_reader.stop();
    else if (!m_reader.isActive())
        m_reader.start();
}

} // namespace kd
