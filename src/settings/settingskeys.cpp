#include "settings/settingskeys.h"

#include <array>
#include <limits>

namespace kd {

namespace {

// A row whose initial value has the key's own type.
template <SettingKind K>
SettingKey row(TypedKey<K> key, typename SettingValue<K>::Type initialValue) {
    return {key.latin1, K, QVariant::fromValue(initialValue)};
}

} // namespace

std::span<const SettingKey> settingKeys() {
    static const std::array<SettingKey, 33> table{{
        row(keys::StartWindow, 1),
        row(keys::Button_packege1, true),
        row(keys::Button_packege2, true),
        row(keys::Button_packege3, true),
        row(keys::ExecutionPath, QString()),
        row(keys::RomsPath, QString()),
        row(keys::SnapPath, QString()),
        row(keys::IconPath, QString()),
        row(keys::PowerPCFrequency, QStringLiteral("50")),
        row(keys::MultiThreaded, true),
        row(keys::GPUmultithreaded, true),
        row(keys::ResolutionX, QStringLiteral("496")),
        row(keys::ResolutionY, QStringLiteral("384")),
        row(keys::Button_videomode, false),
        row(keys::Videomode, 0),
        row(keys::Widescreen, false),
        row(keys::Multitexture, false),
        row(keys::Nothrottle, true),
        row(keys::ShowFPS, false),
        row(keys::CrosshairsConfig, 0),
        row(keys::VertexShader, QString()),
        row(keys::FragmentShader, QString()),
        row(keys::SoundEffects, false),
        row(keys::MPEGmusic, false),
        row(keys::SwapChannels, false),
        row(keys::VolumeSoundeffects, QStringLiteral("100")),
        row(keys::VolumeMPEGmusic, QStringLiteral("100")),
        row(keys::RelativeBalance, QStringLiteral("0")),
        row(keys::Inputsystem, 0),
        row(keys::ForceFeedback, false),
        row(keys::rowHeight, 20.0f),
        row(keys::fontSize, 13.0f),
        row(keys::CommandOption, 0),
    }};
    return table;
}

const SettingKey* findSettingKey(QStringView name) {
    for (const SettingKey& key : settingKeys())
        if (name == QLatin1StringView(key.name))
            return &key;
    return nullptr;
}

namespace {

// Stored values come back from the INI file as text; a list means the text held a comma.
std::optional<QString> asText(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    if (value.canConvert<QString>())
        return value.toString();
    return std::nullopt;
}

std::optional<qint64> asInteger(const QString& text) {
    bool ok = false;
    const qint64 number = text.trimmed().toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

} // namespace

std::optional<QVariant> coerceToKind(const QVariant& value, SettingKind kind) {
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    if (kind == SettingKind::String) {
        const std::optional<QString> text = asText(value);
        return text ? std::optional(QVariant(*text)) : std::nullopt;
    }
    if (value.typeId() == QMetaType::Bool && kind == SettingKind::Boolean)
        return value;
    const std::optional<QString> text = asText(value);
    if (!text)
        return std::nullopt;
    switch (kind) {
    case SettingKind::Boolean: {
        const QString t = text->trimmed().toLower();
        if (t == u"true" || t == u"1" || t == u"yes")
            return QVariant(true);
        if (t == u"false" || t == u"0" || t == u"no")
            return QVariant(false);
        return std::nullopt;
    }
    case SettingKind::Integer: {
        const std::optional<qint64> n = asInteger(*text);
        return n ? std::optional(QVariant(*n)) : std::nullopt;
    }
    case SettingKind::Int: {
        const std::optional<qint64> n = asInteger(*text);
        if (!n || *n < std::numeric_limits<int>::min() || *n > std::numeric_limits<int>::max())
            return std::nullopt;
        return QVariant(int(*n));
    }
    case SettingKind::Float: {
        bool ok = false;
        const float f = text->trimmed().toFloat(&ok);
        return ok ? std::optional(QVariant(f)) : std::nullopt;
    }
    case SettingKind::String:
        break;
    }
    return std::nullopt;
}

} // namespace kd
