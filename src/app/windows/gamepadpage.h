#pragma once

#include "platform/gamepad/padbuttons.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace kd {

class SettingsStore;

// The Gamepad page of the preferences: the quit combination (on or off, its two
// buttons, the hold time) and the button map. Its keys are the launcher's own,
// written at each edit and shown again when the store changes.
class GamepadPage : public QWidget {
    Q_OBJECT
public:
    explicit GamepadPage(SettingsStore& store, QWidget* parent = nullptr);

    // The combination the store holds; what is absent or unreadable keeps its default.
    static QuitCombination quitCombination(const SettingsStore& store);
    static constexpr int MinHoldMs = 200;
    static constexpr int MaxHoldMs = 5000;

private:
    void showStored();

    SettingsStore& m_store;
    QCheckBox* m_enabled = nullptr;
    QComboBox* m_first = nullptr;
    QComboBox* m_second = nullptr;
    QSpinBox* m_hold = nullptr;
};

} // namespace kd
