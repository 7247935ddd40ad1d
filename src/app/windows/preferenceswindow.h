#pragma once

#include "app/windows/toolwindow.h"
#include "emulator/commandline.h"
#include "settings/launcherpaths.h"

#include <optional>
#include <span>
#include <variant>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QTabWidget;

namespace kd {

class ActivityIndicator;
class DefaultsController;
struct FormControl;

// The preferences window. It owns the form: every control shows its settings
// key and writes the user's edits into the store at once; the controls are made
// from one table (controls()). The emulator's options are read from the same
// table, through the settings, never from the widgets.
class PreferencesWindow : public ToolWindow {
    Q_OBJECT
public:
    PreferencesWindow(DefaultsController& defaults, const LauncherPaths& paths,
                      QWidget* parent = nullptr);
    ~PreferencesWindow() override;

    // The form's values a game run passes on.
    EmulatorForm emulatorForm() const;
    // The title of the selected command option; nothing when none is selected.
    std::optional<QString> selectedCommandOption() const;
    // Shows in the path field of `item` what is in force (see
    // LauncherPaths::shownPath); while the packaged one is used the field
    // cannot be typed into.
    void showPackagedPath(PackagedItem item);
    // Turns while a reset or a command option runs.
    ActivityIndicator& progressInd() { return *m_progressInd; }

    // A page of controls made elsewhere, after the form's own.
    void addPage(QWidget* page, const QString& title);

    // Every control of the form, in the order the pages show them.
    static std::span<const FormControl> controls();

signals:
    // The user clicked a packaged item's box (after its key was stored).
    void packagedToggleClicked(PackagedItem item);
    void chooseFileClicked(ChooserTag tag);
    void chooseFolderClicked(ChooserTag tag);
    void revealClicked(RevealTag tag);
    void runOptionClicked();
    void resetClicked();

private:
    void buildPages();
    QWidget* makeControl(const FormControl& control);
    QWidget* withButtons(QWidget* control, const FormControl& row);
    void bindControl(const FormControl& control);
    void showValue(const QString& key);
    void show(const FormControl& control);
    void markProblem(const FormControl& control);
    static std::optional<PackagedItem> packagedItemOf(const FormControl& control);

    DefaultsController& m_defaults;
    const LauncherPaths& m_paths;
    ActivityIndicator* m_progressInd = nullptr;
    QTabWidget* m_tabs = nullptr;

    // The controls, by the names the launcher has always given them (their
    // object names too).
    QCheckBox* button_exe = nullptr;
    QCheckBox* button_snapfolder = nullptr;
    QCheckBox* button_Iconfolder = nullptr;
    QLineEdit* textfild_exe = nullptr;
    QLineEdit* textfild_roms = nullptr;
    QLineEdit* textfild_snaps = nullptr;
    QLineEdit* textfild_icons = nullptr;
    QLineEdit* textfild_ppcfreq = nullptr;
    QCheckBox* button_nothreads = nullptr;
    QCheckBox* button_gputhreads = nullptr;
    QLineEdit* textfild_resolution_x = nullptr;
    QLineEdit* textfild_resolution_y = nullptr;
    QComboBox* popup_videomode = nullptr;
    QCheckBox* button_widescreen = nullptr;
    QCheckBox* button_multitexture = nullptr;
    QCheckBox* button_throttle = nullptr;
    QCheckBox* button_showfps = nullptr;
    QComboBox* popup_crosshairs = nullptr;
    QLineEdit* textfild_vert = nullptr;
    QLineEdit* textfild_frag = nullptr;
    QCheckBox* button_SoundEffects = nullptr;
    QCheckBox* button_MPEGmusic = nullptr;
    QCheckBox* button_flipstereo = nullptr;
    QLineEdit* textfild_sound = nullptr;
    QLineEdit* textfild_music = nullptr;
    QLineEdit* textfild_balance = nullptr;
    QComboBox* popup_inputsys = nullptr;
    QCheckBox* button_feedback = nullptr;
    QComboBox* popup_command = nullptr;
};

// One control of the preferences form: the member that holds it (its object
// name is `outlet`), its key, how it shows the key, its label and page, and
// the buttons beside it. Made with check(), text() and popUp(), which pair each
// kind of control with the kind of key it can show.
struct FormControl {
    enum class Page { Paths, Video, Sound, Command };
    // The whole numbers the emulator accepts in a number field; a field
    // without one takes any text.
    struct Range {
        int min;
        int max;
        bool isNumber() const { return min < max; }
    };
    using Member = std::variant<QCheckBox * PreferencesWindow::*, QLineEdit * PreferencesWindow::*,
                                QComboBox * PreferencesWindow::*>;

    Member member;
    const char* outlet = "";
    const char* key = "";
    const char* label = ""; // a box's own text, or the label of its row
    Page page = Page::Paths;
    bool inverted = false;              // a box that is on when its key is false
    Range range{0, 0};                  // number fields
    std::span<const char* const> items; // pop-ups
    bool translatedItems = true;
    // Buttons beside the control, by their tags; 0 for none.
    int chooser = 0;
    bool choosesFolder = false;
    int reveal = 0;
    // Not passed on the emulator's command line (a note says so on its page).
    bool notPassed = false;
    // Sits beside the control before it, after its label.
    bool besidePrevious = false;

    static FormControl check(QCheckBox* PreferencesWindow::*member, const char* outlet, BoolKey key,
                             const char* label, Page page, bool inverted = false);
    static FormControl text(QLineEdit* PreferencesWindow::*member, const char* outlet, TextKey key,
                            const char* label, Page page, Range range = {0, 0});
    static FormControl popUp(QComboBox* PreferencesWindow::*member, const char* outlet, IntKey key,
                             const char* label, Page page, std::span<const char* const> items);
    FormControl& choose(int tag, bool folder) {
        chooser = tag;
        choosesFolder = folder;
        return *this;
    }
    // A path field's Choose… and Show buttons, with the same tag.
    FormControl& chooseAndShow(int tag, bool folder) {
        reveal = tag;
        return choose(tag, folder);
    }
    FormControl& notOnCommandLine() {
        notPassed = true;
        return *this;
    }
    FormControl& beside() {
        besidePrevious = true;
        return *this;
    }
    FormControl& untranslatedItems() {
        translatedItems = false;
        return *this;
    }
};

} // namespace kd
