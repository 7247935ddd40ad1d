#include "app/windows/gamepadpage.h"

#include "platform/desktop/plainlabel.h"
#include "settings/gamepadkeys.h"
#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

namespace kd {

namespace {

// In the order of PadButton.
constexpr const char* ButtonTitles[] = {QT_TRANSLATE_NOOP("kd::GamepadPage", "A (south)"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "B (east)"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "X (west)"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "Y (north)"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "Back"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "Guide"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "Start"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "Left stick"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "Right stick"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "Left shoulder"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "Right shoulder"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "D-pad up"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "D-pad down"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "D-pad left"),
                                        QT_TRANSLATE_NOOP("kd::GamepadPage", "D-pad right")};
static_assert(std::size(ButtonTitles) == std::size_t(PadButton::Count));

QComboBox* buttonPopUp(const QString& name) {
    auto* popUp = new QComboBox;
    popUp->setObjectName(name);
    for (const char* title : ButtonTitles)
        popUp->addItem(GamepadPage::tr(title));
    return popUp;
}

} // namespace

QuitCombination GamepadPage::quitCombination(const SettingsStore& store) {
    QuitCombination combination;
    combination.enabled = store.value(ownKeys::GamepadQuit).value_or(true);
    auto button = [&](TextKey key, PadButton fallback) {
        const std::optional<QString> name = store.value(key);
        return name ? padButtonFromName(*name).value_or(fallback) : fallback;
    };
    combination.first = button(ownKeys::GamepadQuitFirst, combination.first);
    combination.second = button(ownKeys::GamepadQuitSecond, combination.second);
    if (const std::optional<qint64> hold = store.value(ownKeys::GamepadQuitHold);
        hold && *hold >= MinHoldMs && *hold <= MaxHoldMs)
        combination.hold = std::chrono::milliseconds(*hold);
    return combination;
}

GamepadPage::GamepadPage(SettingsStore& store, QWidget* parent) : QWidget(parent), m_store(store) {
    setObjectName(QStringLiteral("gamepadPage"));
    m_enabled = new QCheckBox(tr("Stop a running game when two buttons are held together"));
    m_enabled->setObjectName(QStringLiteral("button_padQuit"));
    m_first = buttonPopUp(QStringLiteral("popup_padQuitFirst"));
    m_second = buttonPopUp(QStringLiteral("popup_padQuitSecond"));
    m_hold = new QSpinBox;
    m_hold->setObjectName(QStringLiteral("textfild_padQuitHold"));
    m_hold->setRange(MinHoldMs, MaxHoldMs);
    m_hold->setSingleStep(100);
    m_hold->setSuffix(tr(" ms"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_first, 1);
    buttons->addWidget(plainLabel(QStringLiteral("+")));
    buttons->addWidget(m_second, 1);
    auto* map = plainLabel(tr("In the launcher's windows: D-pad or left stick moves the "
                              "selection, the shoulder buttons page, A starts the game, Y "
                              "toggles the favourite, B clears the search or closes the "
                              "window, Back opens History, Start shows only available games "
                              "or all. In an alert, A gives its default answer, B cancels. "
                              "While a game runs, the pad belongs to the game."));
    map->setWordWrap(true);

    auto* form = new QFormLayout(this);
    form->addRow(m_enabled);
    form->addRow(plainLabel(tr("Buttons:")), buttons);
    // A number, not a line of text: it keeps its own width.
    auto* hold = new QHBoxLayout;
    hold->addWidget(m_hold);
    hold->addStretch(1);
    form->addRow(plainLabel(tr("Held for:")), hold);
    form->addRow(map);

    auto store_ = [this](auto key, const QVariant& value) {
        m_store.setObject(value, key);
        m_store.synchronize();
    };
    connect(m_enabled, &QCheckBox::clicked, this,
            [store_](bool on) { store_(ownKeys::GamepadQuit, on); });
    connect(m_first, &QComboBox::activated, this, [store_](int index) {
        store_(ownKeys::GamepadQuitFirst, padButtonName(PadButton(index)));
    });
    connect(m_second, &QComboBox::activated, this, [store_](int index) {
        store_(ownKeys::GamepadQuitSecond, padButtonName(PadButton(index)));
    });
    connect(m_hold, &QSpinBox::valueChanged, this,
            [store_](int ms) { store_(ownKeys::GamepadQuitHold, qint64(ms)); });
    connect(&m_store, &SettingsStore::valueChanged, this, [this](const QString& key) {
        if (key.startsWith(QLatin1StringView("GamepadQuit")))
            showStored();
    });
    showStored();
}

void GamepadPage::showStored() {
    const QuitCombination shown = quitCombination(m_store);
    const QSignalBlocker quiet1(m_enabled), quiet2(m_first), quiet3(m_second), quiet4(m_hold);
    m_enabled->setChecked(shown.enabled);
    m_first->setCurrentIndex(int(shown.first));
    m_second->setCurrentIndex(int(shown.second));
    m_hold->setValue(int(shown.hold.count()));
    for (QWidget* part : {static_cast<QWidget*>(m_first), static_cast<QWidget*>(m_second),
                          static_cast<QWidget*>(m_hold)})
        part->setEnabled(shown.enabled);
}

} // namespace kd
