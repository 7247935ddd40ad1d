// Finding a game, seeing which are playable and growing the list, through the
// real windows' controls.
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "settings/settingskeys.h"
#include "support/delegatefixture.h"
#include "support/runhelpers.h"

#include <QAction>
#include <QLineEdit>
#include <QTableView>

namespace kd::test {
namespace {

class GameListView : public LaunchFixture {
protected:
    void SetUp() override {
        LaunchFixture::SetUp();
        roms = home.filePath("roms");
        ASSERT_TRUE(QDir().mkpath(roms));
    }
    QStringList shown(QTableView* table) const {
        QStringList names;
        for (int row = 0; row < table->model()->rowCount(); ++row)
            names << table->model()->index(row, GameListModel::Name).data().toString();
        return names;
    }
    QString availableMark(const QString& name) const {
        const GameListModel* model = app->arrayController_list->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, GameListModel::Name).data().toString() == name)
                return model->index(row, GameListModel::Available).data().toString();
        return QStringLiteral("(no such game)");
    }
    QStringList savedNames() {
        app->applicationWillTerminate();
        QStringList names;
        for (const plist::Value& record : loadGameList(bundle.path("Kaleidrome.xml")).records)
            names << gameName(record).value_or(QStringLiteral("-"));
        return names;
    }
    QString roms;
};

// Typing filters both tables; the list as arranged and as saved keeps every game.
TEST_F(GameListView, TheSearchFieldFiltersWhatTheTablesShowOnly) {
    const QStringList stored = savedNames();
    app->tableView_list->sortByColumn(GameListModel::Year, Qt::DescendingOrder);
    QTest::keyClicks(app->searchField, QStringLiteral("CAFE"));
    EXPECT_EQ(app->searchField2->text(), QStringLiteral("CAFE"));
    EXPECT_EQ(shown(app->tableView_list2), QStringList{"lumora"});
    // The lone game left is selected; Return in the field starts it.
    EXPECT_EQ(app->selectedGameName(), QStringLiteral("lumora"));
    app->textfild_roms->setText(roms);
    QTest::keyClick(app->searchField, Qt::Key_Return);
    ASSERT_TRUE(finished());
    EXPECT_EQ(desktop.argsOf("recent"), QList<QStringList>{{roms + "/lumora.zip"}});

    // Two words must both match; Escape clears the field and shows every game.
    QTest::keyClick(app->searchField2, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(app->searchField2, QStringLiteral("puzzle octavo"));
    EXPECT_EQ(shown(app->tableView_list), QStringList{"jadeknot"});
    EXPECT_EQ(app->arrayController_list->arrangedObjects().size(), 12u);
    QTest::keyClick(app->searchField2, Qt::Key_Escape);
    EXPECT_EQ(app->searchField->text(), QString());
    EXPECT_EQ(shown(app->tableView_list).size(), 12);

    // Filtered and sorted at exit: every record is written, in stored order.
    QTest::keyClicks(app->searchField, QStringLiteral("racing"));
    EXPECT_EQ(savedNames(), stored);
}

TEST_F(GameListView, TheAvailableColumnFollowsTheFolderAndTheField) {
    ASSERT_TRUE(writeFile(roms + "/astrovex.zip", "zip"));
    app->textfild_roms->setText(roms);
    ASSERT_TRUE(waitUntil([&] { return availableMark("astrovex") == u"\u2713"; }));
    EXPECT_EQ(availableMark("boltrunner"), QString());

    // The folder is watched: an archive that appears or goes shows at once.
    ASSERT_TRUE(writeFile(roms + "/boltrunner.zip", "zip"));
    ASSERT_TRUE(waitUntil([&] { return availableMark("boltrunner") == u"\u2713"; }));
    ASSERT_TRUE(QFile::remove(roms + "/astrovex.zip"));
    ASSERT_TRUE(waitUntil([&] { return availableMark("astrovex").isEmpty(); }));

    // Only the available games; the switch is remembered, and a reset leaves it.
    app->action("onlyAvailable")->trigger();
    EXPECT_EQ(shown(app->tableView_list), QStringList{"boltrunner"});
    app->DefaultAction();
    restart();
    app->awakeFromNib();
    EXPECT_TRUE(app->action("onlyAvailable")->isChecked());
    EXPECT_EQ(shown(app->tableView_list), QStringList()) << "the reset emptied the ROMs field";

    // Another folder in the field: the column and the filter follow it.
    const QString other = home.filePath("other roms");
    ASSERT_TRUE(QDir().mkpath(other));
    ASSERT_TRUE(writeFile(other + "/mosspath.zip", "zip"));
    app->textfild_roms->setText(other);
    ASSERT_TRUE(waitUntil([&] { return shown(app->tableView_list) == QStringList{"mosspath"}; }));
    app->action("onlyAvailable")->trigger();
    EXPECT_EQ(shown(app->tableView_list).size(), 12);
}

TEST_F(GameListView, GamesAreAddedFromTheRomsFolderAndRemovedOnRequest) {
    for (const char* archive :
         {"astrovex.zip", "zephyr_strike-2.zip", "aqua-drift.zip", "notes.txt"})
        ASSERT_TRUE(writeFile(roms + "/" + archive, "x"));
    app->textfild_roms->setText(roms);
    desktop.alertAnswers = {1}; // Cancel
    app->action("addGames")->trigger();
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts[0].message, formatText(app->text("Alert_Add"), 2));
    EXPECT_EQ(desktop.alerts[0].cancelButton, 1);
    EXPECT_EQ(app->arrayController_list->content().size(), 12u);

    desktop.alertAnswers = {0}; // Add
    app->action("addGames")->trigger();
    ASSERT_EQ(app->arrayController_list->content().size(), 14u);
    EXPECT_EQ(app->selectedGameName(), QStringLiteral("aqua-drift"));
    EXPECT_EQ(GameListModel::displayText(app->arrayController_list->content().back(),
                                         GameListModel::Title),
              QStringLiteral("Zephyr Strike 2"));
    ASSERT_TRUE(waitUntil([&] { return availableMark("zephyr_strike-2") == u"\u2713"; }));

    // Nothing more to add: the alert says so.
    desktop.clear();
    app->action("addGames")->trigger();
    EXPECT_EQ(desktop.alerts.value(0).message, app->text("Alert_AddNone"));

    // Removing asks first, Cancel being the default; the game after it is selected.
    app->setSelectionIndex(1);
    desktop.clear();
    desktop.alertAnswers = {0};
    app->action("removeGame")->trigger();
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts[0].defaultButton, 1);
    EXPECT_EQ(desktop.alerts[0].message, formatText(app->text("Alert_Remove"), 0, "Bolt Runner"));
    EXPECT_EQ(app->selectedGameName(), QStringLiteral("cometkai"));
    EXPECT_TRUE(QFile::exists(roms + "/astrovex.zip"));

    const QStringList saved = savedNames();
    EXPECT_EQ(saved.size(), 13);
    EXPECT_FALSE(saved.contains("boltrunner"));
    EXPECT_EQ(saved.mid(11), (QStringList{"aqua-drift", "zephyr_strike-2"}));
}

} // namespace
} // namespace kd::test
