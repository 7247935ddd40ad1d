#include "emulator/commandline.h"

namespace kd {

namespace {
bool on(Qt::CheckState state) {
    return state == Qt::Checked;
}
} // namespace

QStringList emulatorArguments(const QVariantMap& request, const EmulatorForm& form) {
    QStringList args;
    const QString rom = request.value(QLatin1StringView(RomNameKey)).toString();
    if (!rom.isEmpty())
        args << rom;
    args << QStringLiteral("-ppc-frequency=") + form.ppcFrequency;
    if (on(form.noThreads))
        args << QStringLiteral("-no-threads");
    args << (on(form.gpuThreads) ? QStringLiteral("-gpu-multi-threaded")
                                 : QStringLiteral("-no-gpu-thread"));
    args << QStringLiteral("-res=") + form.resolutionX + u',' + form.resolutionY;
    args << (form.videoMode == 0 ? QStringLiteral("-fullscreen") : QStringLiteral("-window"));
    if (on(form.wideScreen))
        args << QStringLiteral("-wide-screen");
    args << (on(form.multiTexture) ? QStringLiteral("-multi-texture")
                                   : QStringLiteral("-no-multi-texture"));
    if (on(form.throttle))
        args << QStringLiteral("-no-throttle");
    if (on(form.showFps))
        args << QStringLiteral("-show-fps");
    args << QStringLiteral("-crosshairs=") + QString::number(form.crosshairs);
    if (on(form.soundEffects))
        args << QStringLiteral("-no-sound");
    if (on(form.mpegMusic))
        args << QStringLiteral("-no-dsb");
    if (on(form.flipStereo))
        args << QStringLiteral("-flip-stereo");
    return args;
}

} // namespace kd
