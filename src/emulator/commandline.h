#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kd {

// The current values of the preferences form that a game run passes on. A check
// box counts as on only in its checked state; a pop-up index is -1 when nothing
// is selected.
struct EmulatorForm {
    QString ppcFrequency;
    Qt::CheckState noThreads = Qt::Unchecked;
    Qt::CheckState gpuThreads = Qt::Unchecked;
    QString resolutionX;
    QString resolutionY;
    int videoMode = 0;
    Qt::CheckState wideScreen = Qt::Unchecked;
    Qt::CheckState multiTexture = Qt::Unchecked;
    Qt::CheckState throttle = Qt::Unchecked;
    Qt::CheckState showFps = Qt::Unchecked;
    int crosshairs = 0;
    Qt::CheckState soundEffects = Qt::Unchecked;
    Qt::CheckState mpegMusic = Qt::Unchecked;
    Qt::CheckState flipStereo = Qt::Unchecked;
};

inline constexpr char RomNameKey[] = "rom_name";

// The emulator's argument list for a game run: the ROM path of the request
// (key "rom_name") first when present, then the options in their fixed order.
QStringList emulatorArguments(const QVariantMap& request, const EmulatorForm& form);

} // namespace kd
