// The windows as a keyboard user meets them, the About window, and controls
// that say what they do.
#include "catalogue/gamelistcontroller.h"
#include "emulator/emulatorprocess.h"
#include "settings/settingskeys.h"
#include "support/delegatefixture.h"
#include "support/runhelpers.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>

namespace kd::test {
namespace {

class Windows : public DelegateFixture {
protected:
    void SetUp() override {
        DelegateFixture::SetUp();
        app->awakeFromNib();
        app->applicationDidFinishLaunching();
        desktop.clear();
    }
    static bool activate(QWidget* window) {
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }
};

TEST_F(Windows, HomeAndEndGoToTheFirstAndLastGame) {
    const int last = int(app->arrayController_list->content().size()) - 1;
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        qint64 row;
    } cases[] = {{Qt::Key_End, Qt::NoModifier, last},
                 {Qt::Key_Home, Qt::NoModifier, 0},
                 {Qt::Key_End, Qt::ControlModifier, last},
                 {Qt::Key_Home, Qt::ControlModifier, 0}};
    for (QTableView* table : {app->tableView_list, app->tableView_list2}) {
        for (const auto& c : cases) {
            app->setSelectionIndex(5);
            QTest::keyClick(table, c.key, c.modifiers);
            EXPECT_EQ(app->selectionIndex(), c.row) << table->objectName().toStdString();
        }
    }
}

// Both main windows give the arrow keys to their table from the start, and Tab
// leaves the table for the next control without changing the game.
TEST_F(Windows, TheTableHasTheKeysAndTabLeavesIt) {
    for (const auto& show : {std::function<void()>([&] { app->show_Mainwindow2(); }),
                             std::function<void()>([&] { app->show_Mainwindow(); })}) {
        show();
        QWidget* window = app->window->isVisible() ? app->window : app->window2;
        ASSERT_TRUE(activate(window));
        QTableView* table = app->window->isVisible() ? app->tableView_list : app->tableView_list2;
        EXPECT_EQ(QApplication::focusWidget(), table);
        app->setSelectionIndex(0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        EXPECT_EQ(app->selectionIndex(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), table);
        EXPECT_EQ(app->selectionIndex(), 1);
        table->setFocus();
    }
}

TEST_F(Windows, TheSelectedGameStaysInViewAfterASort) {
    QTableView* table = app->tableView_list;
    app->window->resize(640, 200);
    QCoreApplication::processEvents();
    app->setSelectionIndex(0);
    for (int column = 0; column < 2; ++column) {
        table->sortByColumn(column, Qt::DescendingOrder);
        QCoreApplication::processEvents();
        ASSERT_GT(app->selectionIndex(), 5); // moved well below the first rows
        const QRect cell = table->visualRect(table->currentIndex());
        EXPECT_TRUE(table->viewport()->rect().contains(cell)) << column;
        table->sortByColumn(column, Qt::AscendingOrder);
        QCoreApplication::processEvents();
    }
}

TEST_F(Windows, EscapeAndCtrlWCloseTheLogPreferencesAndAboutWindows) {
    const struct {
        const char* action;
        QWidget* window;
    } windows[] = {{"showLog", app->logWindow},
                   {"preferences", app->preferencesWindow},
                   {"about", app->aboutWindow}};
    for (const auto& w : windows) {
        SCOPED_TRACE(w.action);
        for (const QKeyCombination key :
             {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
            app->action(w.action)->trigger();
            ASSERT_TRUE(activate(w.window));
            QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : w.window;
            QTest::keyClick(focus, key.key(), key.keyboardModifiers());
            EXPECT_FALSE(w.window->isVisible());
        }
    }
    // A main window stays.
    ASSERT_TRUE(activate(app->window));
    QTest::keyClick(app->tableView_list, Qt::Key_Escape);
    EXPECT_TRUE(app->window->isVisible());
}

TEST_F(Windows, AboutShowsTheVersionTheLicenceAndTheTwoAddresses) {
    app->action("about")->trigger();
    ASSERT_TRUE(app->aboutWindow->isVisible());
    QStringList texts;
    QList<QLabel*> links;
    for (QLabel* label : app->aboutWindow->findChildren<QLabel*>()) {
        texts << label->text();
        if (label->text().contains("href"))
            links << label;
    }
    const QString all = texts.join('\n');
    EXPECT_TRUE(all.contains(QRegularExpression("Version \\d+\\.\\d+\\.\\d+")))
        << all.toStdString();
    EXPECT_TRUE(all.contains("GPL-3.0-or-later"));
    // The addresses open through the launcher, which says when nothing opened them.
    desktop.opens = false;
    ASSERT_EQ(links.size(), 2);
    for (QLabel* link : links) {
        const QString href = link->text().section('"', 1, 1);
        emit link->linkActivated(href);
    }
    EXPECT_EQ(desktop.argsOf("openUrl"),
              (QList<QStringList>{{AppDelegate::HomePage}, {AppDelegate::ProjectPage}}));
    EXPECT_EQ(desktop.count("alert"), 2);
}

TEST_F(Windows, StopAndBringToFrontOnlyWhileAnEmulatorRuns) {
    QAction* stop = app->action("stopEmulator");
    QAction* raise = app->action("showEmulator");
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(raise->isEnabled());
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out running\nrun");
        app->LaunchTask({});
    }
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_TRUE(raise->isEnabled());
    app->task()->kill();
    ASSERT_TRUE(waitUntil([&] { return app->task()->hasEnded(); }));
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(raise->isEnabled());
    // One that never started leaves them off.
    app->button_exe->click();
    app->textfild_exe->setText("/nowhere/Kaleidrome");
    app->LaunchTask({});
    EXPECT_FALSE(stop->isEnabled());
}

// Typing into a number field keeps only what a number of its kind can hold;
// the text then reaches the store and the command line as it stands.
TEST_F(Windows, NumberFieldsRefuseWhatIsNotANumber) {
    const struct {
        QLineEdit* field;
        const char* key;
        const char* typed;
        const char* kept;
    } cases[] = {
        {app->textfild_ppcfreq, keys::PowerPCFrequency, "6a6.5", "665"},
        {app->textfild_resolution_x, keys::ResolutionX, "-640", "640"},
        {app->textfild_resolution_y, keys::ResolutionY, "4 80", "480"},
        {app->textfild_sound, keys::VolumeSoundeffects, "8o", "8"},
        {app->textfild_music, keys::VolumeMPEGmusic, "+50", "50"},
        {app->textfild_balance, keys::RelativeBalance, "-1-5", "-15"},
    };
    for (const auto& c : cases) {
        c.field->clear();
        QTest::keyClicks(c.field, c.typed);
        EXPECT_EQ(c.field->text(), c.kept) << c.key;
        EXPECT_EQ(store->stringForKey(c.key), c.kept) << c.key;
    }
    const QStringList args = emulatorArguments({}, app->currentEmulatorForm());
    EXPECT_TRUE(args.contains("-ppc-frequency=665"));
    EXPECT_TRUE(args.contains("-res=640,480"));
}

// The pages that hold fields the command line does not pass say so.
TEST_F(Windows, PagesSayWhichFieldsAreNotPassed) {
    auto* tabs = app->preferencesWindow->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    auto pageOf = [tabs](QWidget* control) {
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->widget(i)->isAncestorOf(control))
                return i;
        return -1;
    };
    QSet<int> pagesWithUnpassed;
    for (QWidget* control : std::initializer_list<QWidget*>{
             app->textfild_vert, app->textfild_frag, app->textfild_sound, app->textfild_music,
             app->textfild_balance, app->popup_inputsys, app->button_feedback})
        pagesWithUnpassed.insert(pageOf(control));
    ASSERT_FALSE(pagesWithUnpassed.contains(-1));
    for (int i = 0; i < tabs->count(); ++i) {
        const auto notes = tabs->widget(i)->findChildren<QLabel*>("notPassedNote");
        EXPECT_EQ(notes.size(), pagesWithUnpassed.contains(i) ? 1 : 0) << i;
    }
}

} // namespace
} // namespace kd::test
