#pragma once

#include <QString>
#include <QStringList>

namespace kd {

// The values of the preferences form that a game run passes on: whether each
// box is on, the texts as typed, and the pop-ups' selected indexes (-1 when
// nothing is selected).
struct EmulatorForm {
    QString ppcFrequency;
    bool noThreads = false;
    bool gpuThreads = false;
    QString resolutionX;
    QString resolutionY;
    int videoMode = 0;
    bool wideScreen = false;
    bool multiTexture = false;
    bool throttle = false;
    bool showFps = false;
    int crosshairs = 0;
    bool soundEffects = false;
    bool mpegMusic = false;
    bool flipStereo = false;
};

// What a game run is asked to start: the ROM archive's path.
struct LaunchRequest {
    QString rom_name;
};

// The emulator's argument list for a game run: the ROM path of the request
// first when there is one, then the options in their fixed order.
QStringList emulatorArguments(const LaunchRequest& request, const EmulatorForm& form);

} // namespace kd
