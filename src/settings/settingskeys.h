#pragma once

#include <QString>
#include <QVariant>
#include <span>

namespace kd {

// Kinds of stored values: boolean, 64-bit integer, 32-bit int, 32-bit float, text.
enum class SettingKind { Boolean, Integer, Int, Float, String };

struct SettingKey {
    const char* name;
    SettingKind kind;
    QVariant initialValue;
};

// The 33 keys of the settings store, in the order the initial values are built.
std::span<const SettingKey> settingKeys();
// The key of that name, or null.
const SettingKey* findSettingKey(QStringView name);

// Converts a stored value to the key's kind; nothing when it is not of that kind
// (a value of the wrong kind counts as not stored).
std::optional<QVariant> coerceToKind(const QVariant& value, SettingKind kind);

namespace keys {
inline constexpr char StartWindow[] = "StartWindow";
inline constexpr char Button_packege1[] = "Button_packege1";
inline constexpr char Button_packege2[] = "Button_packege2";
inline constexpr char Button_packege3[] = "Button_packege3";
inline constexpr char ExecutionPath[] = "ExecutionPath";
inline constexpr char RomsPath[] = "RomsPath";
inline constexpr char SnapPath[] = "SnapPath";
inline constexpr char IconPath[] = "IconPath";
inline constexpr char PowerPCFrequency[] = "PowerPCFrequency";
inline constexpr char MultiThreaded[] = "MultiThreaded";
inline constexpr char GPUmultithreaded[] = "GPUmultithreaded";
inline constexpr char ResolutionX[] = "ResolutionX";
inline constexpr char ResolutionY[] = "ResolutionY";
inline constexpr char Button_videomode[] = "Button_videomode";
inline constexpr char Videomode[] = "Videomode";
inline constexpr char Widescreen[] = "Widescreen";
inline constexpr char Multitexture[] = "Multitexture";
inline constexpr char Nothrottle[] = "Nothrottle";
inline constexpr char ShowFPS[] = "ShowFPS";
inline constexpr char CrosshairsConfig[] = "CrosshairsConfig";
inline constexpr char VertexShader[] = "3DvertexShader";
inline constexpr char FragmentShader[] = "3DfragmentShader";
inline constexpr char SoundEffects[] = "SoundEffects";
inline constexpr char MPEGmusic[] = "MPEGmusic";
inline constexpr char SwapChannels[] = "SwapChannels";
inline constexpr char VolumeSoundeffects[] = "VolumeSoundeffects";
inline constexpr char VolumeMPEGmusic[] = "VolumeMPEGmusic";
inline constexpr char RelativeBalance[] = "RelativeBalance";
inline constexpr char Inputsystem[] = "Inputsystem";
inline constexpr char ForceFeedback[] = "ForceFeedback";
inline constexpr char rowHeight[] = "rowHeight";
inline constexpr char fontSize[] = "fontSize";
inline constexpr char CommandOption[] = "CommandOption";
} // namespace keys

// Settings of the launcher's own beyond the 33 keys, in the same file; the
// reset leaves them alone.
namespace ownKeys {
// The folder a log was last saved in.
inline constexpr char LogFolder[] = "LogFolder";
} // namespace ownKeys

} // namespace kd
