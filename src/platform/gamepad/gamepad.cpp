#include "platform/gamepad/gamepad.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <SDL.h>

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
    for (auto& [instance, pad] : m_pads)
        SDL_GameControllerClose(static_cast<SDL_GameController*>(pad.controller));
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
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
    updateReading();
    emit padsChanged(padName());
}

void Gamepad::removePad(int instance) {
    const auto pad = m_pads.find(instance);
    if (pad == m_pads.end())
        return;
    SDL_GameControllerClose(static_cast<SDL_GameController*>(pad->second.controller));
    m_pads.erase(pad);
    directionChanged();
    checkQuitCombination();
    updateReading();
    emit padsChanged(padName());
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
    } else if (!m_reader.isActive()) {
        m_reader.start();
    }
}

} // namespace kd
