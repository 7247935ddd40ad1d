#include "platform/gamepad/padbuttons.h"

namespace kd {

namespace {

constexpr const char* Names[] = {"a",
                                 "b",
                                 "x",
                                 "y",
                                 "back",
                                 "guide",
                                 "start",
                                 "leftstick",
                                 "rightstick",
                                 "leftshoulder",
                                 "rightshoulder",
                                 "dpup",
                                 "dpdown",
                                 "dpleft",
                                 "dpright"};
static_assert(std::size(Names) == std::size_t(PadButton::Count));

} // namespace

QString padButtonName(PadButton button) {
    const auto index = std::size_t(button);
    return index < std::size(Names) ? QString::fromLatin1(Names[index]) : QString();
}

std::optional<PadButton> padButtonFromName(QStringView name) {
    for (std::size_t index = 0; index < std::size(Names); ++index) {
        if (name == QLatin1StringView(Names[index]))
            return PadButton(index);
    }
    return std::nullopt;
}

} // namespace kd
