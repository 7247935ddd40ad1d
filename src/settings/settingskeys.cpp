#include "settings/settingskeys.h"

#include <array>
#include <limits>

namespace kd {

std::span<const SettingKey> settingKeys() {
    using K = SettingKind;
    static const std::array<SettingKey, 33> table{{
        {keys::StartWindow, K::Integer, qint64(1)},
        {keys::Button_packege1, K::Boolean, true},
        {keys::Button_packege2, K::Boolean, true},
        {keys::Button_packege3, K::Boolean, true},
        {keys::ExecutionPath, K::String, QString()},
        {keys::RomsPath, K::String, QString()},
        {keys::SnapPath, K::String, QString()},
        {keys::IconPath, K::String, QString()},
        {keys::PowerPCFrequency, K::String, QStringLiteral("50")},
        {keys::MultiThreaded, K::Boolean, true},
        {keys::GPUmultithreaded, K::Boolean, true},
        {keys::ResolutionX, K::String, QStringLiteral("496")},
        {keys::ResolutionY, K::String, QStringLiteral("384")},
        {keys::Button_videomode, K::Boolean, false},
        {keys::Videomode, K::Int, 0},
        {keys::Widescreen, K::Boolean, false},
        {keys::Multitexture, K::Boolean, false},
        {keys::Nothrottle, K::Boolean, true},
        {keys::ShowFPS, K::Boolean, false},
        {keys::CrosshairsConfig, K::Int, 0},
        {keys::VertexShader, K::String, QString()},
        {keys::FragmentShader, K::String, QString()},
        {keys::SoundEffects, K::Boolean, false},
        {keys::MPEGmusic, K::Boolean, false},
        {keys::SwapChannels, K::Boolean, false},
        {keys::VolumeSoundeffects, K::String, QStringLiteral("100")},
        {keys::VolumeMPEGmusic, K::String, QStringLiteral("100")},
        {keys::RelativeBalance, K::String, QStringLiteral("0")},
        {keys::Inputsystem, K::Int, 0},
        {keys::ForceFeedback, K::Boolean, false},
        {keys::rowHeight, K::Float, 20.0f},
        {keys::fontSize, K::Float, 13.0f},
        {keys::CommandOption, K::Int, 0},
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
