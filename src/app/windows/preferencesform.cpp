// The form's table: every control of the preferences window, its setting and its page.
#include "app/windows/preferenceswindow.h"

namespace kd {

namespace {

using Page = FormControl::Page;
using Range = FormControl::Range;

// What the emulator accepts.
constexpr Range Frequency{1, 1000};
constexpr Range Pixels{1, 8192};
constexpr Range Volume{0, 200};
constexpr Range Balance{-100, 100};

constexpr const char* VideoModes[] = {QT_TRANSLATE_NOOP("kd::PreferencesWindow", "Full screen"),
                                      QT_TRANSLATE_NOOP("kd::PreferencesWindow", "Window")};
constexpr const char* Crosshairs[] = {
    QT_TRANSLATE_NOOP("kd::PreferencesWindow", "No crosshairs"),
    QT_TRANSLATE_NOOP("kd::PreferencesWindow", "Player 1"),
    QT_TRANSLATE_NOOP("kd::PreferencesWindow", "Players 1 and 2")};
constexpr const char* InputSystems[] = {
    QT_TRANSLATE_NOOP("kd::PreferencesWindow", "Keyboard and mouse"),
    QT_TRANSLATE_NOOP("kd::PreferencesWindow", "Game controller"),
    QT_TRANSLATE_NOOP("kd::PreferencesWindow", "Raw input")};
// Each item is a whole emulator argument, the same in every language.
constexpr const char* CommandOptions[] = {"-help", "-version", "-list-games", "-show-config",
                                          "-print-inputs"};

FormControl made(FormControl::Member member, const char* outlet, const char* key, const char* label,
                 Page page) {
    FormControl control;
    control.member = member;
    control.outlet = outlet;
    control.key = key;
    control.label = label;
    control.page = page;
    return control;
}

} // namespace

FormControl FormControl::check(QCheckBox* PreferencesWindow::*member, const char* outlet,
                               BoolKey key, const char* label, Page page, bool inverted) {
    FormControl control = made(member, outlet, key.latin1, label, page);
    control.inverted = inverted;
    return control;
}

FormControl FormControl::text(QLineEdit* PreferencesWindow::*member, const char* outlet,
                              TextKey key, const char* label, Page page, Range range) {
    FormControl control = made(member, outlet, key.latin1, label, page);
    control.range = range;
    return control;
}

FormControl FormControl::popUp(QComboBox* PreferencesWindow::*member, const char* outlet,
                               IntKey key, const char* label, Page page,
                               std::span<const char* const> items) {
    FormControl control = made(member, outlet, key.latin1, label, page);
    control.items = items;
    return control;
}

// The form, page by page. Four boxes add an option that negates their key, so
// they show it inverted.
std::span<const FormControl> PreferencesWindow::controls() {
    using P = PreferencesWindow;
    using C = FormControl;
#define KD_OUTLET(name) &P::name, #name
    static const FormControl table[] = {
        C::check(KD_OUTLET(button_exe), keys::Button_packege1,
                 QT_TR_NOOP("Use the packaged emulator"), Page::Paths),
        C::text(KD_OUTLET(textfild_exe), keys::ExecutionPath, QT_TR_NOOP("Emulator:"), Page::Paths)
            .chooseAndShow(1, false),
        C::text(KD_OUTLET(textfild_roms), keys::RomsPath, QT_TR_NOOP("ROMs folder:"), Page::Paths)
            .chooseAndShow(2, true),
        C::check(KD_OUTLET(button_snapfolder), keys::Button_packege2,
                 QT_TR_NOOP("Use the packaged snapshots"), Page::Paths),
        C::text(KD_OUTLET(textfild_snaps), keys::SnapPath, QT_TR_NOOP("Snapshots:"), Page::Paths)
            .chooseAndShow(3, true),
        C::check(KD_OUTLET(button_Iconfolder), keys::Button_packege3,
                 QT_TR_NOOP("Use the packaged icons"), Page::Paths),
        C::text(KD_OUTLET(textfild_icons), keys::IconPath, QT_TR_NOOP("Icons:"), Page::Paths)
            .chooseAndShow(4, true),
        C::text(KD_OUTLET(textfild_ppcfreq), keys::PowerPCFrequency,
                QT_TR_NOOP("CPU frequency (MHz):"), Page::Video, Frequency),
        C::check(KD_OUTLET(button_nothreads), keys::MultiThreaded,
                 QT_TR_NOOP("Run without extra threads (-no-threads)"), Page::Video, true),
        C::check(KD_OUTLET(button_gputhreads), keys::GPUmultithreaded,
                 QT_TR_NOOP("Multi-threaded graphics"), Page::Video),
        C::text(KD_OUTLET(textfild_resolution_x), keys::ResolutionX, QT_TR_NOOP("Resolution (px):"),
                Page::Video, Pixels),
        C::text(KD_OUTLET(textfild_resolution_y), keys::ResolutionY, "\u00d7", Page::Video, Pixels)
            .beside(),
        C::popUp(KD_OUTLET(popup_videomode), keys::Videomode, QT_TR_NOOP("Display:"), Page::Video,
                 VideoModes),
        C::check(KD_OUTLET(button_widescreen), keys::Widescreen, QT_TR_NOOP("Wide screen"),
                 Page::Video),
        C::check(KD_OUTLET(button_multitexture), keys::Multitexture,
                 QT_TR_NOOP("Multi-texture rendering"), Page::Video),
        C::check(KD_OUTLET(button_throttle), keys::Nothrottle,
                 QT_TR_NOOP("Run unthrottled (-no-throttle)"), Page::Video, true),
        C::check(KD_OUTLET(button_showfps), keys::ShowFPS, QT_TR_NOOP("Show frame rate"),
                 Page::Video),
        C::popUp(KD_OUTLET(popup_crosshairs), keys::CrosshairsConfig, QT_TR_NOOP("Crosshairs:"),
                 Page::Video, Crosshairs),
        C::text(KD_OUTLET(textfild_vert), keys::VertexShader, QT_TR_NOOP("Vertex shader:"),
                Page::Video)
            .choose(5, false)
            .notOnCommandLine(),
        C::text(KD_OUTLET(textfild_frag), keys::FragmentShader, QT_TR_NOOP("Fragment shader:"),
                Page::Video)
            .choose(6, false)
            .notOnCommandLine(),
        C::check(KD_OUTLET(button_SoundEffects), keys::SoundEffects,
                 QT_TR_NOOP("Mute sound effects (-no-sound)"), Page::Sound),
        C::check(KD_OUTLET(button_MPEGmusic), keys::MPEGmusic, QT_TR_NOOP("Mute music (-no-dsb)"),
                 Page::Sound),
        C::check(KD_OUTLET(button_flipstereo), keys::SwapChannels,
                 QT_TR_NOOP("Swap left and right channels"), Page::Sound),
        C::text(KD_OUTLET(textfild_sound), keys::VolumeSoundeffects,
                QT_TR_NOOP("Sound effects volume (%):"), Page::Sound, Volume)
            .notOnCommandLine(),
        C::text(KD_OUTLET(textfild_music), keys::VolumeMPEGmusic, QT_TR_NOOP("Music volume (%):"),
                Page::Sound, Volume)
            .notOnCommandLine(),
        C::text(KD_OUTLET(textfild_balance), keys::RelativeBalance, QT_TR_NOOP("Balance:"),
                Page::Sound, Balance)
            .notOnCommandLine(),
        C::popUp(KD_OUTLET(popup_inputsys), keys::Inputsystem, QT_TR_NOOP("Input system:"),
                 Page::Sound, InputSystems)
            .notOnCommandLine(),
        C::check(KD_OUTLET(button_feedback), keys::ForceFeedback, QT_TR_NOOP("Force feedback"),
                 Page::Sound)
            .notOnCommandLine(),
        C::popUp(KD_OUTLET(popup_command), keys::CommandOption, "", Page::Command, CommandOptions)
            .untranslatedItems(),
    };
#undef KD_OUTLET
    return table;
}

} // namespace kd
