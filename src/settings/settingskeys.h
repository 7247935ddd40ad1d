#pragma once

#include <QString>
#include <QVariant>
#include <optional>
#include <span>

namespace kd {

// Kinds of stored values: boolean, 64-bit integer, 32-bit int, 32-bit float, text.
enum class SettingKind { Boolean, Integer, Int, Float, String };

// The C++ type a value of each kind is read as.
template <SettingKind K> struct SettingValue;
template <> struct SettingValue<SettingKind::Boolean> { using Type = bool; };
template <> struct SettingValue<SettingKind::Integer> { using Type = qint64; };
template <> struct SettingValue<SettingKind::Int> { using Type = int; };
template <> struct SettingValue<SettingKind::Float> { using Type = float; };
template <> struct SettingValue<SettingKind::String> { using Type = QString; };

// A settings key whose kind is part of its type, so a reader cannot take a
// text for a flag. Each key is declared once, below, with its name and kind.
template <SettingKind K> struct TypedKey {
    using Value = typename SettingValue<K>::Type;
    static constexpr SettingKind kind = K;
    const char* latin1;
    QString name() const { return QString::fromLatin1(latin1); }
    // Where only the name is wanted (a plain store read, a settings file).
    operator QString() const { return name(); }
};
using BoolKey = TypedKey<SettingKind::Boolean>;
using IntegerKey = TypedKey<SettingKind::Integer>;
using IntKey = TypedKey<SettingKind::Int>;
using FloatKey = TypedKey<SettingKind::Float>;
using TextKey = TypedKey<SettingKind::String>;

// The 33 keys of the settings store. Some names are the launcher's long-standing
// spellings ("packege", "3Dvertex") and stay as they are: stored files use them.
namespace keys {
inline constexpr IntegerKey StartWindow{"StartWindow"};
inline constexpr BoolKey Button_packege1{"Button_packege1"};
inline constexpr BoolKey Button_packege2{"Button_packege2"};
inline constexpr BoolKey Button_packege3{"Button_packege3"};
inline constexpr TextKey ExecutionPath{"ExecutionPath"};
inline constexpr TextKey RomsPath{"RomsPath"};
inline constexpr TextKey SnapPath{"SnapPath"};
inline constexpr TextKey IconPath{"IconPath"};
inline constexpr TextKey PowerPCFrequency{"PowerPCFrequency"};
inline constexpr BoolKey MultiThreaded{"MultiThreaded"};
inline constexpr BoolKey GPUmultithreaded{"GPUmultithreaded"};
inline constexpr TextKey ResolutionX{"ResolutionX"};
inline constexpr TextKey ResolutionY{"ResolutionY"};
inline constexpr BoolKey Button_videomode{"Button_videomode"};
inline constexpr IntKey Videomode{"Videomode"};
inline constexpr BoolKey Widescreen{"Widescreen"};
inline constexpr BoolKey Multitexture{"Multitexture"};
inline constexpr BoolKey Nothrottle{"Nothrottle"};
inline constexpr BoolKey ShowFPS{"ShowFPS"};
inline constexpr IntKey CrosshairsConfig{"CrosshairsConfig"};
inline constexpr TextKey VertexShader{"3DvertexShader"};
inline constexpr TextKey FragmentShader{"3DfragmentShader"};
inline constexpr BoolKey SoundEffects{"SoundEffects"};
inline constexpr BoolKey MPEGmusic{"MPEGmusic"};
inline constexpr BoolKey SwapChannels{"SwapChannels"};
inline constexpr TextKey VolumeSoundeffects{"VolumeSoundeffects"};
inline constexpr TextKey VolumeMPEGmusic{"VolumeMPEGmusic"};
inline constexpr TextKey RelativeBalance{"RelativeBalance"};
inline constexpr IntKey Inputsystem{"Inputsystem"};
inline constexpr BoolKey ForceFeedback{"ForceFeedback"};
inline constexpr FloatKey rowHeight{"rowHeight"};
inline constexpr FloatKey fontSize{"fontSize"};
inline constexpr IntKey CommandOption{"CommandOption"};
} // namespace keys

// Settings of the launcher's own beyond the 33 keys, in the same file; the
// reset leaves them alone. Each is off or absent until the user sets it.
namespace ownKeys {
// The folder a log was last saved in.
inline constexpr TextKey LogFolder{"LogFolder"};
// The view switches of the game list.
inline constexpr BoolKey ShowOnlyAvailable{"ShowOnlyAvailable"};
inline constexpr BoolKey ShowOnlyFavourites{"ShowOnlyFavourites"};
} // namespace ownKeys

// One row of the table of initial values.
struct SettingKey {
    const char* name;
    SettingKind kind;
    QVariant initialValue;
};

// The 33 keys with their initial values, in the order the table is built.
std::span<const SettingKey> settingKeys();
// The key of that name among the 33, or null.
const SettingKey* findSettingKey(QStringView name);

// Converts a stored value to the key's kind; nothing when it is not of that kind
// (a value of the wrong kind counts as not stored).
std::optional<QVariant> coerceToKind(const QVariant& value, SettingKind kind);

// The same, as the C++ type of the kind.
template <SettingKind K>
std::optional<typename SettingValue<K>::Type> coerceTo(const QVariant& value) {
    const std::optional<QVariant> coerced = coerceToKind(value, K);
    if (!coerced)
        return std::nullopt;
    return coerced->value<typename SettingValue<K>::Type>();
}

} // namespace kd
