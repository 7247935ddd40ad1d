#pragma once

#include "platform/gamepad/padbuttons.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <bitset>
#include <map>

class QFileSystemWatcher;
class QSocketNotifier;

namespace kd {

// The game controllers attached to the machine, read through SDL's
// game-controller API without any SDL window. Presses become commands on the
// main event loop. The pads are read only while one is attached; with none,
// nothing runs until the device folder changes or a pad is added in-process.
// A pad with a device node wakes the launcher only when it has input (its node
// is watched); one without (a virtual pad) is read every ReadInterval.
// While a game runs, only the quit combination is looked for. Pads keep being
// read while another application has the focus.
class Gamepad : public QObject {
    Q_OBJECT
public:
    // How often pads without a device node are read, and the shortest time
    // between two readings of one with a node: well within a frame.
    static constexpr std::chrono::milliseconds ReadInterval{8};
    // A held direction repeats after the first delay, then at the slow
    // interval, and at the fast one once it has been held for SpeedUpAfter.
    static constexpr std::chrono::milliseconds RepeatDelay{400};
    static constexpr std::chrono::milliseconds RepeatSlow{120};
    static constexpr std::chrono::milliseconds RepeatFast{40};
    static constexpr std::chrono::milliseconds SpeedUpAfter{1500};

    explicit Gamepad(QObject* parent = nullptr);
    ~Gamepad() override;

    // Empty when SDL's controller support started; else why not.
    QString problem() const { return m_problem; }
    // The first attached pad's name; empty when none is attached.
    QString padName() const;
    int padCount() const { return int(m_pads.size()); }
    // Whether the pads are being read (only while one is attached).
    bool isReading() const;

    void setQuitCombination(const QuitCombination& combination);
    QuitCombination quitCombination() const { return m_quit; }
    // While a game runs, commands are held back; the quit combination counts.
    void setGameRunning(bool running);

    // Reads what SDL has for us now: pads added and removed, presses.
    void readPads();

signals:
    void command(PadCommand command);
    // The quit combination was held long enough while a game ran.
    void quitRequested();
    // A pad came or went; `name` is the first attached pad's, empty when none.
    void padsChanged(const QString& name);
    // Something the system log should know (a joystick SDL has no mapping for).
    void notice(const QString& line);

private:
    struct Pad {
        void* controller = nullptr; // SDL_GameController
        QString name;
        std::bitset<std::size_t(PadButton::Count)> held;
        int stickDirection = 0; // -1 up, 1 down
        // Our own descriptor of its device node, readable when it has input.
        int device = -1;
        QSocketNotifier* notifier = nullptr;
    };
    void watchDevice(int instance, Pad& pad, const char* path);
    void deviceReadable(int instance);
    void closeDevice(Pad& pad);
    void addPad(int deviceIndex);
    void removePad(int instance);
    void buttonChanged(Pad& pad, PadButton button, bool down);
    void stickMoved(Pad& pad, int value);
    void directionChanged();
    void repeatDirection();
    void checkQuitCombination();
    bool quitCombinationHeld() const;
    void readSoon();
    void updateReading();

    QString m_problem;
    std::map<int, Pad> m_pads; // by SDL's instance id
    QTimer m_reader;
    QTimer m_repeat;
    QTimer m_quitHold;
    QFileSystemWatcher* m_devices = nullptr;
    QuitCombination m_quit;
    bool m_running = false;
    bool m_quitFired = false;
    int m_direction = 0; // the held direction: -1 up, 1 down, 0 none
    QElapsedTimer m_directionSince;
};

} // namespace kd
