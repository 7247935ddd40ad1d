#include "app/windows/preferenceswindow.h"

#include "app/windows/activityindicator.h"
#include "app/windows/numberproblem.h"
#include "app/windows/windowarrangement.h"
#include "platform/desktop/plainlabel.h"
#include "settings/defaultscontroller.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kd {

namespace {

using Page = FormControl::Page;

// The line under a number field that says what is wrong with its text.
QLabel* problemLabel(const FormControl& control) {
    auto* label = plainLabel();
    label->setObjectName(QStringLiteral("problem_") + QLatin1StringView(control.outlet));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x20));
    label->setPalette(palette);
    label->hide();
    return label;
}

// Says, on a page, that the fields below it are not passed to the emulator.
QLabel* notPassedNote() {
    auto* note = plainLabel(PreferencesWindow::tr("Kept for the emulator's own configuration; "
                                                  "not passed on its command line:"));
    note->setObjectName(QStringLiteral("notPassedNote"));
    note->setWordWrap(true);
    QFont font = note->font();
    font.setItalic(true);
    note->setFont(font);
    return note;
}

// A field that cannot be typed into looks it: the window's colour behind it.
void setReadOnly(QLineEdit* field, bool readOnly) {
    field->setReadOnly(readOnly);
    QPalette palette = field->palette();
    palette.setBrush(QPalette::Base, QApplication::palette(field).brush(readOnly ? QPalette::Window
                                                                                 : QPalette::Base));
    field->setPalette(palette);
}

} // namespace

PreferencesWindow::PreferencesWindow(DefaultsController& defaults, const LauncherPaths& paths,
                                     QWidget* parent)
    : ToolWindow(QStringLiteral("preferencesWindow"), parent), m_defaults(defaults),
      m_paths(paths) {
    setWindowTitle(tr("Preferences"));
    buildPages();
    for (const FormControl& control : controls())
        bindControl(control);
    connect(&m_defaults, &DefaultsController::valueChanged, this, &PreferencesWindow::showValue);
}

PreferencesWindow::~PreferencesWindow() = default;

QWidget* PreferencesWindow::makeControl(const FormControl& control) {
    QWidget* widget = std::visit(
        [&](auto member) -> QWidget* {
            using Control = std::remove_pointer_t<std::remove_reference_t<decltype(this->*member)>>;
            auto* made = new Control(this);
            this->*member = made;
            return made;
        },
        control.member);
    widget->setObjectName(QLatin1StringView(control.outlet));
    if (auto* box = qobject_cast<QCheckBox*>(widget))
        box->setText(tr(control.label));
    if (auto* field = qobject_cast<QLineEdit*>(widget); field && control.page == Page::Paths)
        field->setMinimumWidth(420);
    if (auto* popUp = qobject_cast<QComboBox*>(widget)) {
        for (const char* item : control.items)
            popUp->addItem(control.translatedItems ? tr(item) : QString::fromLatin1(item));
    }
    return widget;
}

// A field with its Choose… and Show buttons beside it.
QWidget* PreferencesWindow::withButtons(QWidget* control, const FormControl& row) {
    if (!row.chooser && !row.reveal)
        return control;
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(control, 1);
    if (row.chooser) {
        auto* choose = new QPushButton(tr("Choose…"));
        choose->setObjectName(QStringLiteral("button_choose%1").arg(row.chooser));
        const auto tag = ChooserTag(row.chooser);
        connect(choose, &QPushButton::clicked, this, [this, tag, folder = row.choosesFolder] {
            folder ? emit chooseFolderClicked(tag) : emit chooseFileClicked(tag);
        });
        layout->addWidget(choose);
    }
    if (row.reveal) {
        auto* reveal = new QPushButton(tr("Show"));
        reveal->setObjectName(QStringLiteral("button_show%1").arg(row.reveal));
        reveal->setToolTip(tr("Show in the file manager"));
        connect(reveal, &QPushButton::clicked, this,
                [this, tag = RevealTag(row.reveal)] { emit revealClicked(tag); });
        layout->addWidget(reveal);
    }
    return box;
}

void PreferencesWindow::buildPages() {
    auto* tabs = m_tabs = new QTabWidget;
    QFormLayout* pages[3] = {};
    const QString titles[3] = {tr("Paths"), tr("Video"), tr("Sound and Input")};
    // A page scrolls where the screen is too small for it.
    for (int page = 0; page < 3; ++page) {
        auto* widget = new QWidget;
        pages[page] = new QFormLayout(widget);
        auto* scroll = new QScrollArea;
        scroll->setWidget(widget);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        tabs->addTab(scroll, titles[page]);
    }
    auto* command = new QHBoxLayout;
    bool noteShown[3] = {};
    QHBoxLayout* lastRow = nullptr;
    for (const FormControl& row : controls()) {
        QWidget* control = makeControl(row);
        if (row.page == Page::Command) {
            command->addWidget(control, 1);
            continue;
        }
        QFormLayout* form = pages[int(row.page)];
        if (row.notPassed && !std::exchange(noteShown[int(row.page)], true))
            form->addRow(notPassedNote());
        if (row.besidePrevious && lastRow) {
            lastRow->addWidget(plainLabel(QString::fromUtf8(row.label)));
            lastRow->addWidget(control, 1);
        } else if (qobject_cast<QCheckBox*>(control)) {
            form->addRow(control);
        } else {
            lastRow = new QHBoxLayout;
            lastRow->addWidget(withButtons(control, row), 1);
            form->addRow(plainLabel(tr(row.label)), lastRow);
        }
        if (row.range.isNumber())
            form->addRow(static_cast<QWidget*>(nullptr), problemLabel(row));
    }

    auto* runOption = new QPushButton(tr("&Run"));
    runOption->setObjectName(QStringLiteral("button_runOption"));
    connect(runOption, &QPushButton::clicked, this, &PreferencesWindow::runOptionClicked);
    command->addWidget(runOption);
    auto* commandBox = new QGroupBox(tr("Command option"));
    commandBox->setLayout(command);

    auto* reset = new QPushButton(tr("Reset to &Initial Values…"));
    reset->setObjectName(QStringLiteral("button_reset"));
    connect(reset, &QPushButton::clicked, this, &PreferencesWindow::resetClicked);
    m_progressInd = new ActivityIndicator;
    m_progressInd->setObjectName(QStringLiteral("progressInd"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(reset);
    bottom->addStretch(1);
    bottom->addWidget(m_progressInd);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(commandBox);
    layout->addLayout(bottom);
    // It opens as large as its pages are without scrolling, where the screen allows.
    QSize growth(0, 0);
    for (int page = 0; page < tabs->count(); ++page) {
        const auto* scroll = static_cast<QScrollArea*>(tabs->widget(page));
        growth = growth.expandedTo(scroll->widget()->sizeHint() - scroll->sizeHint());
    }
    windowArrangement::sizeWithinScreen(*this, sizeHint() + growth);
}

void PreferencesWindow::addPage(QWidget* page, const QString& title) {
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_tabs->addTab(scroll, title);
}

// A user's edit is stored at once; what the store then holds comes back
// through showValue().
void PreferencesWindow::bindControl(const FormControl& control) {
    const QString key = QString::fromLatin1(control.key);
    std::visit(
        [&](auto member) {
            auto* widget = this->*member;
            using Control = std::remove_pointer_t<decltype(widget)>;
            if constexpr (std::is_same_v<Control, QCheckBox>) {
                const std::optional<PackagedItem> item = packagedItemOf(control);
                connect(widget, &QCheckBox::clicked, this,
                        [this, widget, key, item, inverted = control.inverted] {
                            if (widget->checkState() != Qt::PartiallyChecked)
                                m_defaults.setValue(key, widget->isChecked() != inverted);
                            if (item)
                                emit packagedToggleClicked(*item);
                        });
            } else if constexpr (std::is_same_v<Control, QLineEdit>) {
                connect(widget, &QLineEdit::textEdited, this,
                        [this, key, &control](const QString& text) {
                            m_defaults.setValue(key, text);
                            markProblem(control);
                        });
            } else {
                connect(widget, &QComboBox::activated, this,
                        [this, key](int index) { m_defaults.setValue(key, index); });
            }
        },
        control.member);
    show(control);
}

void PreferencesWindow::showValue(const QString& key) {
    for (const FormControl& control : controls()) {
        if (key == QLatin1StringView(control.key))
            show(control);
    }
    // A packaged item's field follows its box, and keeps the fixed text while
    // the box is on, whatever is stored as the user's path meanwhile.
    for (PackagedItem item :
         {PackagedItem::Emulator, PackagedItem::Snapshots, PackagedItem::Icons}) {
        if (key == LauncherPaths::toggleKey(item).name() ||
            key == LauncherPaths::userPathKey(item).name())
            showPackagedPath(item);
    }
}

void PreferencesWindow::show(const FormControl& control) {
    const QVariant value = m_defaults.value(QString::fromLatin1(control.key));
    std::visit(
        [&](auto member) {
            auto* widget = this->*member;
            const QSignalBlocker quiet(widget);
            using Control = std::remove_pointer_t<decltype(widget)>;
            if constexpr (std::is_same_v<Control, QCheckBox>) {
                widget->setChecked(value.toBool() != control.inverted);
            } else if constexpr (std::is_same_v<Control, QLineEdit>) {
                if (const std::optional<PackagedItem> item = packagedItemOf(control)) {
                    showPackagedPath(*item);
                } else if (widget->text() != value.toString()) {
                    widget->setText(value.toString());
                }
                markProblem(control);
            } else {
                bool ok = false;
                const int index = value.toInt(&ok);
                widget->setCurrentIndex(ok && index >= 0 && index < widget->count() ? index : -1);
            }
        },
        control.member);
}

// A number field's text is never changed: what the emulator would not accept
// is said under the field.
void PreferencesWindow::markProblem(const FormControl& control) {
    if (!control.range.isNumber())
        return;
    auto* field = findChild<QLineEdit*>(QLatin1StringView(control.outlet));
    auto* label =
        findChild<QLabel*>(QStringLiteral("problem_") + QLatin1StringView(control.outlet));
    if (!field || !label)
        return;
    const QString problem = numberProblem(field->text(), control.range.min, control.range.max);
    label->setText(problem);
    label->setVisible(!problem.isEmpty());
    field->setToolTip(problem);
}

// The packaged item whose box or path field `control` is.
std::optional<PackagedItem> PreferencesWindow::packagedItemOf(const FormControl& control) {
    using P = PreferencesWindow;
    const FormControl::Member boxes[] = {&P::button_exe, &P::button_snapfolder,
                                         &P::button_Iconfolder};
    const FormControl::Member fields[] = {&P::textfild_exe, &P::textfild_snaps, &P::textfild_icons};
    for (int item = 0; item < 3; ++item) {
        if (control.member == boxes[item] || control.member == fields[item])
            return PackagedItem(item);
    }
    return std::nullopt;
}

void PreferencesWindow::showPackagedPath(PackagedItem item) {
    QLineEdit* fields[] = {textfild_exe, textfild_snaps, textfild_icons};
    QLineEdit* field = fields[int(item)];
    const QString shown = m_paths.shownPath(item);
    if (field->text() != shown) {
        const QSignalBlocker quiet(field);
        field->setText(shown);
    }
    setReadOnly(field, m_paths.usesPackaged(item));
}

namespace {

template <class Control> const FormControl& rowOf(Control* PreferencesWindow::*member) {
    for (const FormControl& control : PreferencesWindow::controls()) {
        if (const auto* own = std::get_if<Control * PreferencesWindow::*>(&control.member);
            own && *own == member)
            return control;
    }
    Q_UNREACHABLE();
}

} // namespace

EmulatorForm PreferencesWindow::emulatorForm() const {
    auto on = [this](QCheckBox* PreferencesWindow::*box) {
        const FormControl& row = rowOf(box);
        return m_defaults.value(BoolKey{row.key}) != row.inverted;
    };
    auto text = [this](QLineEdit* PreferencesWindow::*field) {
        return m_defaults.value(TextKey{rowOf(field).key});
    };
    // An index the pop-up has no item for selects nothing.
    auto index = [this](QComboBox* PreferencesWindow::*popUp) {
        const FormControl& row = rowOf(popUp);
        const int value = m_defaults.value(IntKey{row.key});
        return value >= 0 && value < int(row.items.size()) ? value : -1;
    };
    using P = PreferencesWindow;
    EmulatorForm form;
    form.ppcFrequency = text(&P::textfild_ppcfreq);
    form.noThreads = on(&P::button_nothreads);
    form.gpuThreads = on(&P::button_gputhreads);
    form.resolutionX = text(&P::textfild_resolution_x);
    form.resolutionY = text(&P::textfild_resolution_y);
    form.videoMode = index(&P::popup_videomode);
    form.wideScreen = on(&P::button_widescreen);
    form.multiTexture = on(&P::button_multitexture);
    form.throttle = on(&P::button_throttle);
    form.showFps = on(&P::button_showfps);
    form.crosshairs = index(&P::popup_crosshairs);
    form.soundEffects = on(&P::button_SoundEffects);
    form.mpegMusic = on(&P::button_MPEGmusic);
    form.flipStereo = on(&P::button_flipstereo);
    return form;
}

std::optional<QString> PreferencesWindow::selectedCommandOption() const {
    const FormControl& row = rowOf(&PreferencesWindow::popup_command);
    const int index = m_defaults.value(IntKey{row.key});
    if (index < 0 || index >= int(row.items.size()))
        return std::nullopt;
    return QString::fromLatin1(row.items[std::size_t(index)]);
}

} // namespace kd
