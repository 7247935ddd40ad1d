#include "emulator/commandline.h"

namespace kd {

QStringList emulatorArguments(const LaunchRequest& request, const EmulatorForm& form) {
    QStringList args;
    if (!request.rom_name.isEmpty())
        args << request.rom_name;
    args << QStringLiteral("-ppc-frequency=") + form.ppcFrequency;
    if (form.noThreads)
        args << QStringLiteral("-no-threads");
    args << (form.gpuThreads ? QStringLiteral("-gpu-multi-threaded")
                             : QStringLiteral("-no-gpu-thread"));
    args << QStringLiteral("-res=") + form.resolutionX + u',' + form.resolutionY;
    args << (form.videoMode == 0 ? QStringLiteral("-fullscreen") : QStringLiteral("-window"));
    if (form.wideScreen)
        args << QStringLiteral("-wide-screen");
    args << (form.multiTexture ? QStringLiteral("-multi-texture")
                               : QStringLiteral("-no-multi-texture"));
    if (form.throttle)
        args << QStringLiteral("-no-throttle");
    if (form.showFps)
        args << QStringLiteral("-show-fps");
    args << QStringLiteral("-crosshairs=") + QString::number(form.crosshairs);
    if (form.soundEffects)
        args << QStringLiteral("-no-sound");
    if (form.mpegMusic)
        args << QStringLiteral("-no-dsb");
    if (form.flipStereo)
        args << QStringLiteral("-flip-stereo");
    return args;
}

} // namespace kd
