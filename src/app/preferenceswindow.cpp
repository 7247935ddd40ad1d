#include "app/activityindicator.h"
#include "app/appdelegate.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kd {

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

QPushButton* tagged(QPushButton* button, int tag) {
    AppDelegate::setTag(button, tag);
    return button;
}

// Number fields take only digits (a sign too where negative values make sense);
// what is typed still reaches the command line as it stands.
void acceptNumbers(QLineEdit* field, bool signedNumber) {
    static const QRegularExpression unsignedNumber(QStringLiteral("[0-9]{0,6}"));
    static const QRegularExpression anyNumber(QStringLiteral("-?[0-9]{0,6}"));
    field->setValidator(
        new QRegularExpressionValidator(signedNumber ? anyNumber : unsignedNumber, field));
}

// Says, on a page, that the fields below it are not passed to the emulator.
QLabel* notPassedNote() {
    auto* note = new QLabel(AppDelegate::tr("Kept for the emulator's own configuration; not "
                                            "passed on its command line:"));
    note->setObjectName(QStringLiteral("notPassedNote"));
    note->setWordWrap(true);
    QFont font = note->font();
    font.setItalic(true);
    note->setFont(font);
    return note;
}

} // namespace

// The preferences form: every control bound to its settings key, the packaged
// toggles, the choosers and the folder-reveal buttons with their tags.
void AppDelegate::buildPreferencesWindow() {
    auto owned = std::make_unique<QWidget>();
    QWidget* prefs = owned.get();
    m_topLevelWindows.push_back(std::move(owned));
    preferencesWindow = prefs;
    prefs->setObjectName(QStringLiteral("preferencesWindow"));
    prefs->setWindowTitle(tr("Preferences"));

    auto* tabs = new QTabWidget;

    auto lineEdit = [prefs](const char* name) {
        auto* field = new QLineEdit(prefs);
        field->setObjectName(QString::fromLatin1(name));
        return field;
    };
    auto checkBox = [prefs](const char* name, const QString& label) {
        auto* box = new QCheckBox(label, prefs);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    auto popUp = [prefs](const char* name, const QStringList& items) {
        auto* popup = new QComboBox(prefs);
        popup->setObjectName(QString::fromLatin1(name));
        popup->addItems(items);
        return popup;
    };
    auto chooser = [this](int tag, bool folder) {
        auto* button = tagged(new QPushButton(tr("Choose…")), tag);
        connect(button, &QPushButton::clicked, this, [this, button, folder] {
            folder ? Choicethefolder(button) : Choicethefile(button);
        });
        return button;
    };
    auto reveal = [this](int tag) {
        auto* button = tagged(new QPushButton(tr("Show")), tag);
        button->setToolTip(tr("Show in the file manager"));
        connect(button, &QPushButton::clicked, this,
                [this, button] { openFileSystemfolder(button); });
        return button;
    };
    auto row = [](std::initializer_list<QWidget*> widgets) {
        auto* layout = new QHBoxLayout;
        for (QWidget* w : widgets)
            layout->addWidget(w, qobject_cast<QLineEdit*>(w) ? 1 : 0);
        return layout;
    };

    // Paths.
    button_exe = checkBox("button_exe", tr("Use the packaged emulator"));
    button_snapfolder = checkBox("button_snapfolder", tr("Use the packaged snapshots"));
    button_Iconfolder = checkBox("button_Iconfolder", tr("Use the packaged icons"));
    setTag(button_exe, 0);
    setTag(button_snapfolder, 1);
    setTag(button_Iconfolder, 2);
    textfild_exe = lineEdit("textfild_exe");
    textfild_roms = lineEdit("textfild_roms");
    textfild_snaps = lineEdit("textfild_snaps");
    textfild_icons = lineEdit("textfild_icons");
    for (QLineEdit* field : {textfild_exe, textfild_roms, textfild_snaps, textfild_icons})
        field->setMinimumWidth(420);
    for (QCheckBox* toggle : {button_exe, button_snapfolder, button_Iconfolder})
        connect(toggle, &QCheckBox::clicked, this, [this, toggle] { PackagePathChange(toggle); });

    auto* pathsPage = new QWidget;
    auto* paths = new QFormLayout(pathsPage);
    paths->addRow(button_exe);
    paths->addRow(tr("Emulator:"), row({textfild_exe, chooser(1, false), reveal(1)}));
    paths->addRow(tr("ROMs folder:"), row({textfild_roms, chooser(2, true), reveal(2)}));
    paths->addRow(button_snapfolder);
    paths->addRow(tr("Snapshots:"), row({textfild_snaps, chooser(3, true), reveal(3)}));
    paths->addRow(button_Iconfolder);
    paths->addRow(tr("Icons:"), row({textfild_icons, chooser(4, true), reveal(4)}));
    tabs->addTab(pathsPage, tr("Paths"));

    // Emulation and video.
    textfild_ppcfreq = lineEdit("textfild_ppcfreq");
    button_nothreads = checkBox("button_nothreads", tr("Run without extra threads (-no-threads)"));
    button_gputhreads = checkBox("button_gputhreads", tr("Multi-threaded graphics"));
    textfild_resolution_x = lineEdit("textfild_resolution_x");
    textfild_resolution_y = lineEdit("textfild_resolution_y");
    popup_videomode = popUp("popup_videomode", {tr("Full screen"), tr("Window")});
    button_widescreen = checkBox("button_widescreen", tr("Wide screen"));
    button_multitexture = checkBox("button_multitexture", tr("Multi-texture rendering"));
    button_throttle = checkBox("button_throttle", tr("Run unthrottled (-no-throttle)"));
    button_showfps = checkBox("button_showfps", tr("Show frame rate"));
    popup_crosshairs =
        popUp("popup_crosshairs", {tr("No crosshairs"), tr("Player 1"), tr("Players 1 and 2")});
    textfild_vert = lineEdit("textfild_vert");
    textfild_frag = lineEdit("textfild_frag");

    auto* videoPage = new QWidget;
    auto* video = new QFormLayout(videoPage);
    video->addRow(tr("CPU frequency (MHz):"), textfild_ppcfreq);
    video->addRow(button_nothreads);
    video->addRow(button_gputhreads);
    auto* resolution = new QHBoxLayout;
    resolution->addWidget(textfild_resolution_x);
    resolution->addWidget(new QLabel(QStringLiteral("×")));
    resolution->addWidget(textfild_resolution_y);
    video->addRow(tr("Resolution:"), resolution);
    video->addRow(tr("Display:"), popup_videomode);
    video->addRow(button_widescreen);
    video->addRow(button_multitexture);
    video->addRow(button_throttle);
    video->addRow(button_showfps);
    video->addRow(tr("Crosshairs:"), popup_crosshairs);
    video->addRow(notPassedNote());
    video->addRow(tr("Vertex shader:"), row({textfild_vert, chooser(5, false)}));
    video->addRow(tr("Fragment shader:"), row({textfild_frag, chooser(6, false)}));
    tabs->addTab(videoPage, tr("Video"));

    // Sound and input.
    button_SoundEffects = checkBox("button_SoundEffects", tr("Mute sound effects (-no-sound)"));
    button_MPEGmusic = checkBox("button_MPEGmusic", tr("Mute music (-no-dsb)"));
    button_flipstereo = checkBox("button_flipstereo", tr("Swap left and right channels"));
    textfild_sound = lineEdit("textfild_sound");
    textfild_music = lineEdit("textfild_music");
    textfild_balance = lineEdit("textfild_balance");
    popup_inputsys =
        popUp("popup_inputsys", {tr("Keyboard and mouse"), tr("Game controller"), tr("Raw input")});
    button_feedback = checkBox("button_feedback", tr("Force feedback"));

    auto* soundPage = new QWidget;
    auto* sound = new QFormLayout(soundPage);
    sound->addRow(button_SoundEffects);
    sound->addRow(button_MPEGmusic);
    sound->addRow(button_flipstereo);
    sound->addRow(notPassedNote());
    sound->addRow(tr("Sound effects volume:"), textfild_sound);
    sound->addRow(tr("Music volume:"), textfild_music);
    sound->addRow(tr("Balance:"), textfild_balance);
    sound->addRow(tr("Input system:"), popup_inputsys);
    sound->addRow(button_feedback);
    tabs->addTab(soundPage, tr("Sound and Input"));
    for (QLineEdit* field : {textfild_ppcfreq, textfild_resolution_x, textfild_resolution_y,
                             textfild_sound, textfild_music})
        acceptNumbers(field, false);
    acceptNumbers(textfild_balance, true);

    // Command option, reset and the activity indicator.
    popup_command =
        popUp("popup_command",
              {QStringLiteral("-help"), QStringLiteral("-version"), QStringLiteral("-list-games"),
               QStringLiteral("-show-config"), QStringLiteral("-print-inputs")});
    auto* runOption = new QPushButton(tr("Run"));
    runOption->setObjectName(QStringLiteral("button_runOption"));
    connect(runOption, &QPushButton::clicked, this,
            [this, runOption] { returnButtonAction(runOption); });
    auto* reset = new QPushButton(tr("Reset to Initial Values…"));
    reset->setObjectName(QStringLiteral("button_reset"));
    connect(reset, &QPushButton::clicked, this, [this, reset] { resetPreferences(reset); });
    progressInd = new ActivityIndicator;
    progressInd->setObjectName(QStringLiteral("progressInd"));

    auto* commandBox = new QGroupBox(tr("Command option"));
    auto* command = new QHBoxLayout(commandBox);
    command->addWidget(popup_command, 1);
    command->addWidget(runOption);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(reset);
    bottom->addStretch(1);
    bottom->addWidget(progressInd);

    auto* layout = new QVBoxLayout(prefs);
    layout->addWidget(tabs);
    layout->addWidget(commandBox);
    layout->addLayout(bottom);
    makeClosableFromKeyboard(prefs);

    // Each control shows its key; four boxes add an option that negates their key.
    m_defaults.bind(button_exe, key(keys::Button_packege1));
    m_defaults.bind(button_snapfolder, key(keys::Button_packege2));
    m_defaults.bind(button_Iconfolder, key(keys::Button_packege3));
    m_defaults.bind(textfild_exe, key(keys::ExecutionPath));
    m_defaults.bind(textfild_roms, key(keys::RomsPath));
    m_defaults.bind(textfild_snaps, key(keys::SnapPath));
    m_defaults.bind(textfild_icons, key(keys::IconPath));
    m_defaults.bind(textfild_ppcfreq, key(keys::PowerPCFrequency));
    m_defaults.bind(button_nothreads, key(keys::MultiThreaded), /*inverted=*/true);
    m_defaults.bind(button_gputhreads, key(keys::GPUmultithreaded));
    m_defaults.bind(textfild_resolution_x, key(keys::ResolutionX));
    m_defaults.bind(textfild_resolution_y, key(keys::ResolutionY));
    m_defaults.bind(popup_videomode, key(keys::Videomode));
    m_defaults.bind(button_widescreen, key(keys::Widescreen));
    m_defaults.bind(button_multitexture, key(keys::Multitexture));
    m_defaults.bind(button_throttle, key(keys::Nothrottle), /*inverted=*/true);
    m_defaults.bind(button_showfps, key(keys::ShowFPS));
    m_defaults.bind(popup_crosshairs, key(keys::CrosshairsConfig));
    m_defaults.bind(textfild_vert, key(keys::VertexShader));
    m_defaults.bind(textfild_frag, key(keys::FragmentShader));
    m_defaults.bind(button_SoundEffects, key(keys::SoundEffects));
    m_defaults.bind(button_MPEGmusic, key(keys::MPEGmusic));
    m_defaults.bind(button_flipstereo, key(keys::SwapChannels));
    m_defaults.bind(textfild_sound, key(keys::VolumeSoundeffects));
    m_defaults.bind(textfild_music, key(keys::VolumeMPEGmusic));
    m_defaults.bind(textfild_balance, key(keys::RelativeBalance));
    m_defaults.bind(popup_inputsys, key(keys::Inputsystem));
    m_defaults.bind(button_feedback, key(keys::ForceFeedback));
    m_defaults.bind(popup_command, key(keys::CommandOption));
    connect(&m_store, &SettingsStore::valueChanged, this, &AppDelegate::followPackagedToggle);
    PackagePath_ini();
}

EmulatorForm AppDelegate::currentEmulatorForm() const {
    EmulatorForm form;
    form.ppcFrequency = textfild_ppcfreq->text();
    form.noThreads = button_nothreads->checkState();
    form.gpuThreads = button_gputhreads->checkState();
    form.resolutionX = textfild_resolution_x->text();
    form.resolutionY = textfild_resolution_y->text();
    form.videoMode = popup_videomode->currentIndex();
    form.wideScreen = button_widescreen->checkState();
    form.multiTexture = button_multitexture->checkState();
    form.throttle = button_throttle->checkState();
    form.showFps = button_showfps->checkState();
    form.crosshairs = popup_crosshairs->currentIndex();
    form.soundEffects = button_SoundEffects->checkState();
    form.mpegMusic = button_MPEGmusic->checkState();
    form.flipStereo = button_flipstereo->checkState();
    return form;
}

} // namespace kd
