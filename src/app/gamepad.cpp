// The pad: its commands in the launcher's windows and alerts, the quit
// combination while a game runs, its name on the status lines.
#include "platform/gamepad/gamepad.h"

#include "app/appdelegate.h"
#include "app/menus/launcheractions.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/aboutwindow.h"
#include "app/windows/gamepadpage.h"
#include "app/windows/gametableview.h"
#include "app/windows/historywindow.h"
#include "app/windows/logwindow.h"
#include "app/windows/mainwindow.h"
#include "app/windows/preferenceswindow.h"
#include "catalogue/gamelistcontroller.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>

namespace kd {

namespace {

void pressKey(QWidget* target, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

std::optional<Qt::Key> keyOf(PadCommand command) {
    switch (command) {
    case PadCommand::Up:
        return Qt::Key_Up;
    case PadCommand::Down:
        return Qt::Key_Down;
    case PadCommand::PageUp:
        return Qt::Key_PageUp;
    case PadCommand::PageDown:
        return Qt::Key_PageDown;
    default:
        return std::nullopt;
    }
}

} // namespace

void AppDelegate::wireGamepad() {
    m_gamepad = new Gamepad(this);
    if (!m_gamepad->problem().isEmpty())
        m_desktop.systemLog(QStringLiteral("Gamepads not read: ") + m_gamepad->problem());
    auto* page = new GamepadPage(m_store);
    preferencesWindow->addPage(page, tr("Gamepad"));
    auto applySettings = [this] {
        m_gamepad->setQuitCombination(GamepadPage::quitCombination(m_store));
    };
    applySettings();
    connect(&m_store, &SettingsStore::valueChanged, m_gamepad, [applySettings](const QString& key) {
        if (key.startsWith(QLatin1StringView("GamepadQuit")))
            applySettings();
    });
    connect(m_runs, &RunSupervisor::runningChanged, m_gamepad,
            [this] { m_gamepad->setGameRunning(m_runs->isRunning()); });
    connect(m_gamepad, &Gamepad::command, this, &AppDelegate::gamepadCommand);
    connect(m_gamepad, &Gamepad::padsChanged, this, &AppDelegate::showPadName);
    connect(m_gamepad, &Gamepad::notice, this,
            [this](const QString& line) { m_desktop.systemLog(line); });
    // The same stop as Stop Emulator, with its grace and its log lines.
    connect(m_gamepad, &Gamepad::quitRequested, this, [this] {
        if (!m_runs->isRunning())
            return;
        m_desktop.systemLog(
            QStringLiteral("Gamepad: quit combination held; stopping the emulator"));
        quit_emulator();
    });
}

void AppDelegate::showPadName(const QString& name) {
    const QString shown = name.isEmpty() ? QString() : tr("Gamepad: %1").arg(name);
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->setPadText(shown);
}

void AppDelegate::gamepadCommand(PadCommand command) {
    if (m_runs->isRunning())
        return; // the pad belongs to the game
    // An alert: A gives its default answer, B its cancel answer (Return and Escape).
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (command == PadCommand::Cancel)
            pressKey(modal, Qt::Key_Escape);
        else if (command == PadCommand::Accept && qobject_cast<QMessageBox*>(modal))
            pressKey(modal, Qt::Key_Return);
        return;
    }
    QWidget* active = QApplication::activeWindow();
    MainWindow* main = nullptr;
    for (MainWindow* each : {m_window.get(), m_window2.get()}) {
        if (active == each)
            main = each;
    }
    const std::initializer_list<QWidget*> others{preferencesWindow.get(), logWindow.get(),
                                                 m_historyWindow.get(), m_aboutWindow.get()};
    if (!main && std::find(others.begin(), others.end(), active) == others.end())
        return; // no launcher window is active
    switch (command) {
    case PadCommand::Accept:
        if (main)
            start_game(); // as Return does
        break;
    case PadCommand::Favourite:
        toggleFavourite();
        break;
    case PadCommand::Cancel:
        if (main && !arrayController_list->searchText().isEmpty())
            setSearchText(QString());
        else if (!main)
            active->close();
        break;
    case PadCommand::History:
        show_History();
        break;
    case PadCommand::ToggleAvailable:
        m_actions->onlyAvailable->trigger();
        break;
    default:
        if (QWidget* target = main ? &main->table() : active->focusWidget())
            pressKey(target, *keyOf(command));
        break;
    }
}

} // namespace kd
