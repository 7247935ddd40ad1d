// Play history through the controller, with the demo emulator as the child:
// the status lines, the History window, the figure columns, favourites, Open
// Recent, and a database the launcher cannot use.
#include "catalogue/gamelistcontroller.h"
#include "catalogue/playhistory.h"
#include "log/logview.h"
#include "support/delegatefixture.h"
#include "support/runhelpers.h"
#include "support/sqlfile.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>

namespace kd::test {
namespace {

class HistoryView : public LaunchFixture {
protected:
    void SetUp() override {
        LaunchFixture::SetUp();
        roms = home.filePath("roms");
        ASSERT_TRUE(QDir().mkpath(roms));
        app->textfild_roms->setText(roms);
    }
    // What the stored list's record `name` shows in `column`.
    QString cell(const QString& name, int column) const {
        const GameListModel* model = app->arrayController_list->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, GameListModel::Name).data().toString() == name)
                return model->index(row, column).data().toString();
        return "(no such game)";
    }
    QStringList shown(int column = GameListModel::Name) const {
        QStringList cells;
        const QAbstractItemModel* model = app->tableView_list->model();
        for (int row = 0; row < model->rowCount(); ++row)
            cells << model->index(row, column).data().toString();
        return cells;
    }
    QStringList historyColumn(int column) const {
        QStringList cells;
        for (int row = 0; row < app->historyTable->rowCount(); ++row)
            cells << app->historyTable->item(row, column)->text();
        return cells;
    }
    // Runs the selected game with `script` and waits for both of its ends.
    void play(const QByteArray& script) {
        ScopedEnv env("KD_DEMO_SCRIPT", script);
        desktop.clear();
        app->start_game();
        ASSERT_TRUE(finished());
    }
    QString roms;
};

const QString kDash = QStringLiteral(" \u2014 ");

// An exit status and a signal of the same number are told apart.
TEST_F(HistoryView, EveryRunIsRecordedAndTheStatusLinesSayHowItEnded) {
    app->setSelectionIndex(1);
    const std::pair<const char*, QString> runs[] = {
        {"exit 0", "ended normally"},
        {"exit 5", "ended with status 5"},
        {"signal 11", "killed by signal 11 (SIGSEGV)"},
        {"exit 11", "ended with status 11"},
    };
    for (const auto& [script, outcome] : runs) {
        SCOPED_TRACE(script);
        ScopedEnv env("KD_DEMO_SCRIPT", QByteArray("out playing\nsleep 300\n") + script);
        desktop.clear();
        app->start_game();
        EXPECT_EQ(app->statusLine->text(), "Bolt Runner" + kDash + "running for 0:00");
        ASSERT_TRUE(finished());
        EXPECT_TRUE(app->statusLine->text().startsWith("Bolt Runner" + kDash + outcome + kDash))
            << app->statusLine->text().toStdString();
        EXPECT_EQ(app->statusLine2->text(), app->statusLine->text());
    }
    EXPECT_EQ(cell("boltrunner", GameListModel::TimesPlayed), "4");
    EXPECT_FALSE(cell("boltrunner", GameListModel::LastPlayed).isEmpty());
    // Four runs of at least 0.3 s each.
    EXPECT_TRUE(QRegularExpression("^0:0[1-9]$")
                    .match(cell("boltrunner", GameListModel::PlayTime))
                    .hasMatch());
    EXPECT_EQ(cell("astrovex", GameListModel::TimesPlayed), "");

    app->show_History();
    EXPECT_EQ(historyColumn(0), QStringList(4, "Bolt Runner"));
    EXPECT_EQ(historyColumn(3),
              (QStringList{"ended with status 11", "killed by signal 11 (SIGSEGV)",
                           "ended with status 5", "ended normally"}));
    EXPECT_EQ(historyColumn(2).filter(QRegularExpression("^0:0[0-9]$")).size(), 4);
    EXPECT_TRUE(app->historyNote->isHidden());

    // A run under way shows as running; the window follows its end.
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "sleep 300\nexit 0");
        app->start_game();
        EXPECT_EQ(historyColumn(3).value(0), "running");
        ASSERT_TRUE(finished());
        EXPECT_EQ(historyColumn(3).value(0), "ended normally");
    }

    restart();
    app->awakeFromNib();
    EXPECT_EQ(cell("boltrunner", GameListModel::TimesPlayed), "5");
    EXPECT_TRUE(app->statusLine->text().startsWith("Bolt Runner" + kDash + "ended normally"));
    EXPECT_EQ(desktop.systemLogLines().filter("history"), QStringList());
}

TEST_F(HistoryView, FavouritesByStarOrKeySurviveARestartAndAResort) {
    const QByteArray list = readFile(bundle.path("Kaleidrome.xml"));
    app->show_Mainwindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->window));
    QTableView* table = app->tableView_list;
    auto clickStar = [&](int row) {
        const QModelIndex star = table->model()->index(row, GameListModel::Favourite);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(star).center());
    };
    clickStar(2);
    clickStar(0);
    clickStar(0);
    app->setSelectionIndex(4);
    QTest::keyClick(table, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(app->action("favourite")->isChecked());
    EXPECT_EQ(shown(GameListModel::Favourite).count(u"\u2605"), 2);
    table->sortByColumn(GameListModel::Favourite, Qt::DescendingOrder);
    EXPECT_EQ(shown().mid(0, 2), (QStringList{"cometkai", "fenlight"}));

    app->action("onlyFavourites")->trigger();
    EXPECT_EQ(shown(), (QStringList{"cometkai", "fenlight"}));
    app->setSelectionIndex(1);
    app->action("favourite")->trigger(); // fenlight is no favourite now, so not shown
    EXPECT_EQ(shown(), QStringList{"cometkai"});

    app->applicationWillTerminate();
    EXPECT_EQ(readFile(bundle.path("Kaleidrome.xml")), list) << "favourites are not in the list";
    restart();
    app->awakeFromNib();
    EXPECT_TRUE(app->action("onlyFavourites")->isChecked());
    EXPECT_EQ(shown(), QStringList{"cometkai"});
    app->action("onlyFavourites")->trigger();
    app->tableView_list2->sortByColumn(GameListModel::Name, Qt::DescendingOrder);
    EXPECT_EQ(shown(GameListModel::Favourite).count(u"\u2605"), 1);
    EXPECT_EQ(cell("cometkai", GameListModel::Favourite), u"\u2605");
}

TEST_F(HistoryView, OpenRecentListsTheLastTenArchivesAndStartsThem) {
    QStringList archives;
    for (int i = 0; i < 12; ++i) {
        archives << roms + QString("/game%1.zip").arg(i, 2, 10, QChar(u'0'));
        ASSERT_TRUE(writeFile(archives.last(), "zip"));
        desktop.clear();
        app->task_cocking(archives.last());
        ASSERT_TRUE(finished());
    }
    auto entries = [&](QMainWindow* window) {
        QMenu* menu = window->menuBar()->findChild<QMenu*>("openRecentMenu");
        emit menu->aboutToShow();
        QStringList texts;
        for (QAction* entry : menu->actions())
            if (!entry->isSeparator())
                texts << (entry->isEnabled() ? "" : "(off) ") + entry->text();
        return texts;
    };
    QStringList newest;
    for (int i = 11; i >= 2; --i)
        newest << archives[i];
    EXPECT_EQ(entries(app->window), newest + QStringList{"Clear Menu"});

    // An archive that is gone cannot be chosen; another starts a game run.
    ASSERT_TRUE(QFile::remove(archives[5]));
    EXPECT_TRUE(entries(app->window2).contains("(off) " + archives[5]));
    QMenu* menu = app->window2->menuBar()->findChild<QMenu*>("openRecentMenu");
    desktop.clear();
    app->ClearLogAction();
    menu->actions().at(newest.indexOf(archives[3]))->trigger();
    ASSERT_TRUE(finished());
    EXPECT_EQ(desktop.argsOf("recent"), QList<QStringList>{{archives[3]}});
    EXPECT_TRUE(log().contains("[Perform a lunch task]"));
    EXPECT_EQ(entries(app->window).value(0), archives[3]);

    menu->actions().last()->trigger();
    EXPECT_EQ(entries(app->window), QStringList{"(off) Clear Menu"});
    restart();
    app->awakeFromNib();
    EXPECT_EQ(entries(app->window), QStringList{"(off) Clear Menu"});
}

// The launcher says once why it runs without history, keeps favourites and
// counts for the session, and never writes the file.
TEST_F(HistoryView, ADatabaseItCannotUseIsSaidOnceAndLeftAlone) {
    const QString file = PlayHistory::defaultFilePath();
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"damaged",
         [&] {
             ASSERT_TRUE(
                 writeFile(file, QByteArray("SQLite format 3\0", 16) + QByteArray(9000, '\x5a')));
         }},
        {"newer",
         [&] {
             QDir().mkpath(QFileInfo(file).absolutePath());
             ASSERT_EQ(runSql(file, {"PRAGMA user_version = 7"}), "");
         }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        app.reset();
        QFile::remove(file);
        make();
        const QByteArray bytes = readFile(file);
        restart();
        app->awakeFromNib();
        app->textfild_roms->setText(roms);
        EXPECT_EQ(desktop.systemLogLines().filter("Play history is off: " + file).size(), 1);
        EXPECT_EQ(log().count("*** Play history is off: " + file), 1);

        app->setSelectionIndex(0);
        play("exit 0");
        app->toggleFavourite();
        EXPECT_EQ(cell("astrovex", GameListModel::TimesPlayed), "1");
        EXPECT_EQ(cell("astrovex", GameListModel::Favourite), u"\u2605");
        EXPECT_TRUE(app->statusLine->text().startsWith("Astrovex: Orbit Breaker"));
        app->show_History();
        EXPECT_TRUE(app->historyNote->text().startsWith("Play history is off: "));
        EXPECT_EQ(app->historyTable->rowCount(), 0);
        app->applicationWillTerminate();
        app.reset();
        EXPECT_EQ(desktop.systemLogLines().filter("Play history is off"), QStringList());
        EXPECT_EQ(readFile(file), bytes);
    }
    EXPECT_EQ(sqlValue(file, "PRAGMA user_version").toInt(), 7);
}

} // namespace
} // namespace kd::test
