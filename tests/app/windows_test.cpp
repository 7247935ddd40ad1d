// The windows as a keyboard user meets them, the About window, and controls
// that say what they do.
#include "app/menus/launcheractions.h"
#include "app/translations.h"
#include "app/windows/gametableview.h"
#include "catalogue/gamelistmodel.h"
#include "log/view/logfindbar.h"
#include "support/delegatefixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolTip>

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
    // Turns the column of that title on or off through the header's menu, where
    // every column but Name (always shown) can be turned off.
    static void toggleColumn(QTableView* table, const QString& title) {
        std::unique_ptr<QMenu> menu(static_cast<GameTableView*>(table)->columnMenu());
        for (QAction* column : menu->actions()) {
            EXPECT_EQ(column->isEnabled(), column->text() != "Name");
            if (column->text() == title)
                column->trigger();
        }
    }
};

// Both main windows give the arrow keys to their table from the start; Home and
// End, with or without Ctrl, go to the first and last game; Tab leaves the table
// for the next control without changing the game.
TEST_F(Windows, TheTableHasTheKeysAndTabLeavesIt) {
    const qint64 last = qint64(list()->content().size()) - 1;
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, qint64> presses[] = {
        {Qt::Key_Down, Qt::NoModifier, 1},      {Qt::Key_End, Qt::NoModifier, last},
        {Qt::Key_Home, Qt::ControlModifier, 0}, {Qt::Key_End, Qt::ControlModifier, last},
        {Qt::Key_Home, Qt::NoModifier, 0},      {Qt::Key_Down, Qt::NoModifier, 1}};
    for (const char* show : {"mainWindow2", "mainWindow1"}) {
        SCOPED_TRACE(show);
        action(show)->trigger();
        ASSERT_TRUE(activate(app->window()->isVisible() ? app->window() : app->window2()));
        QTableView* games = app->window()->isVisible() ? table() : table(2);
        EXPECT_EQ(QApplication::focusWidget(), games);
        app->setSelectionIndex(0);
        for (const auto& [key, modifiers, row] : presses) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
            EXPECT_EQ(app->selectionIndex(), row) << key;
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), games);
        EXPECT_EQ(app->selectionIndex(), 1);
    }
}

// The selected game stays in view after a sort; the two tables share one sort,
// and both headers show it.
TEST_F(Windows, BothTablesShowTheSortAndTheSelectedGameStaysInView) {
    QTableView* games = table();
    app->window()->resize(640, 200);
    QCoreApplication::processEvents();
    app->setSelectionIndex(0);
    for (int column = 0; column < 2; ++column) {
        games->sortByColumn(column, Qt::DescendingOrder);
        QCoreApplication::processEvents();
        ASSERT_GT(app->selectionIndex(), 5); // moved well below the first rows
        const QRect cell = games->visualRect(games->currentIndex());
        EXPECT_TRUE(games->viewport()->rect().contains(cell)) << column;
        games->sortByColumn(column, Qt::AscendingOrder);
        QCoreApplication::processEvents();
    }
    QHeaderView* second = table(2)->horizontalHeader();
    games->sortByColumn(1, Qt::DescendingOrder);
    EXPECT_EQ(second->sortIndicatorSection(), 1);
    EXPECT_EQ(second->sortIndicatorOrder(), Qt::DescendingOrder);
    table(2)->sortByColumn(2, Qt::AscendingOrder);
    EXPECT_EQ(games->horizontalHeader()->sortIndicatorSection(), 2);
    EXPECT_EQ(games->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
}

// Every window opens inside the screen's free area and can be made smaller than
// a 1440x900 screen at scale 2 shows (720x450): pages scroll instead. Each comes
// back from the dock as it was left; Escape and Ctrl+W close the log,
// preferences, About and History windows.
TEST_F(Windows, WindowsOpenOnTheScreenComeBackAsLeftAndTheSmallOnesCloseFromTheKeyboard) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize smallScreen(720, 450);
    auto press = [](QWidget* window, QKeyCombination key) {
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(focus, key.key(), key.keyboardModifiers());
    };
    for (const auto& [name, shown] : {std::pair{"mainWindow1", "window"},
                                      {"mainWindow2", "window2"},
                                      {"preferences", "preferencesWindow"},
                                      {"showLog", "logWindow"},
                                      {"history", "historyWindow"},
                                      {"about", "aboutWindow"}}) {
        action(name)->trigger();
        QWidget* window = topLevel(shown);
        ASSERT_TRUE(window && window->isVisible()) << name;
        SCOPED_TRACE(shown);
        QApplication::processEvents();
        EXPECT_TRUE(screen.contains(window->frameGeometry()))
            << window->frameGeometry().width() << "x" << window->frameGeometry().height();
        const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
        EXPECT_TRUE(least.width() <= smallScreen.width() && least.height() <= smallScreen.height())
            << least.width() << "x" << least.height();

        window->showMaximized();
        window->showMinimized();
        action(name)->trigger();
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->isMinimized());
        EXPECT_TRUE(window->isMaximized());
        if (window == app->window() || window == app->window2())
            continue;
        for (const QKeyCombination key :
             {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
            action(name)->trigger();
            ASSERT_TRUE(activate(window));
            press(window, key);
            EXPECT_FALSE(window->isVisible());
        }
    }
    // In the log's find bar, Escape closes the bar first, then the window.
    action("showLog")->trigger();
    ASSERT_TRUE(activate(logWindow()));
    in<LogFindBar>("logWindow", "logFindBar")->open();
    QTest::keyClick(in<LogFindBar>("logWindow", "logFindBar")->field(), Qt::Key_Escape);
    EXPECT_FALSE(in<LogFindBar>("logWindow", "logFindBar")->isVisible());
    EXPECT_TRUE(logWindow()->isVisible());
    press(logWindow(), Qt::Key_Escape);
    EXPECT_FALSE(logWindow()->isVisible());

    // A main window stays.
    action("mainWindow1")->trigger();
    ASSERT_TRUE(activate(app->window()));
    QTest::keyClick(table(), Qt::Key_Escape);
    EXPECT_TRUE(app->window()->isVisible());
}

TEST_F(Windows, AboutShowsTheVersionTheLicenceAndTheTwoAddresses) {
    action("about")->trigger();
    QString all;
    for (QLabel* label : topLevel("aboutWindow")->findChildren<QLabel*>()) {
        all += label->text() + '\n';
        // The addresses open through the launcher (which says when nothing opened
        // them: WorkspaceActions.OpenOrRevealOrSayWhatFailed).
        if (label->text().contains("href"))
            emit label->linkActivated(label->text().section('"', 1, 1));
    }
    EXPECT_TRUE(all.contains(QRegularExpression("Version \\d+\\.\\d+\\.\\d+")))
        << all.toStdString();
    EXPECT_TRUE(all.contains("GPL-3.0-or-later"));
    EXPECT_EQ(desktop.argsOf("openUrl"),
              (QList<QStringList>{{AppDelegate::HomePage}, {AppDelegate::ProjectPage}}));
    for (QPushButton* button : topLevel("aboutWindow")->findChildren<QPushButton*>())
        button->click(); // its one button closes it
    EXPECT_FALSE(topLevel("aboutWindow")->isVisible());
}

// No label of ours reads markup: one left on Qt::AutoText would show a name or
// a path that looks like markup as rich text. The About window's two links are
// the launcher's one rich text.
TEST_F(Windows, EveryLabelShowsPlainTextButTheAboutWindowsLinks) {
    QStringList automatic, rich;
    int labels = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (QLabel* label : window->findChildren<QLabel*>()) {
            ++labels;
            if (label->textFormat() == Qt::AutoText)
                automatic << window->objectName() + ": " + label->text();
            else if (label->textFormat() == Qt::RichText)
                rich << window->objectName();
        }
    }
    EXPECT_EQ(automatic, QStringList());
    EXPECT_EQ(rich, (QStringList{"aboutWindow", "aboutWindow"}));
    EXPECT_GT(labels, 20);
}

// While a "Use the packaged …" box is on, its field shows the fixed text and
// cannot be typed into, however the box was turned on or off; off, it shows the
// stored path, or nothing, and the emulator is the one it names.
TEST_F(Windows, PackagedFieldsAreReadOnlyWhileTheirBoxIsOn) {
    auto shows = [](QLineEdit* field, const QString& text, bool readOnly) {
        EXPECT_EQ(field->text(), text);
        EXPECT_EQ(field->isReadOnly(), readOnly);
    };
    shows(field("textfild_exe"), packaged("Kaleidrome"), true);
    box("button_exe")->click();
    shows(field("textfild_exe"), "", false);
    QTest::keyClicks(field("textfild_exe"), "/opt/kd/emu");
    box("button_exe")->click();
    shows(field("textfild_exe"), packaged("Kaleidrome"), true);
    EXPECT_EQ(store->stringForKey(keys::ExecutionPath), "/opt/kd/emu");
    shows(field("textfild_icons"), packaged("Icons"), true);
    box("button_Iconfolder")->click();
    shows(field("textfild_icons"), "", false);

    // The emulator's chooser turns the box off and shows what was chosen.
    desktop.openPanelAnswers = {QStringLiteral("/usr/games/Kaleidrome")};
    app->Choicethefile(ChooserTag(1));
    shows(field("textfild_exe"), "/usr/games/Kaleidrome", false);

    // A snapshot folder chosen while its box is on is stored for later.
    desktop.openPanelAnswers = {QStringLiteral("/art/snaps")};
    app->Choicethefolder(ChooserTag(3));
    shows(field("textfild_snaps"), packaged("Snaps"), true);
    box("button_snapfolder")->click();
    shows(field("textfild_snaps"), "/art/snaps", false);

    app->DefaultAction();
    shows(field("textfild_exe"), packaged("Kaleidrome"), true);
    shows(field("textfild_snaps"), packaged("Snaps"), true);
    shows(field("textfild_icons"), packaged("Icons"), true);

    // Tags other than the three boxes' change no field; the emulator is found
    // only where its field says once its box is off. (The paths: SettingsCore.)
    const QString before = field("textfild_exe")->text() + field("textfild_snaps")->text() +
                           field("textfild_icons")->text();
    for (int tag : {-1, 3, 5})
        app->PackagePathChange(PackagedItem(tag));
    EXPECT_EQ(field("textfild_exe")->text() + field("textfild_snaps")->text() +
                  field("textfild_icons")->text(),
              before);

    EXPECT_TRUE(app->ExefileCheck());
    box("button_exe")->click(); // off: the user's own emulator, here one that is not there
    EXPECT_FALSE(app->ExefileCheck());
    type(field("textfild_exe"), "/opt/my emu/Kaleidrome");
    EXPECT_FALSE(app->ExefileCheck());
    type(field("textfild_exe"), bundle.path("kdromepak/Kaleidrome"));
    EXPECT_TRUE(app->ExefileCheck());
}

// Long titles and makers give way so that every column fits the default
// window; a cell cut short shows its whole text as a tooltip, markup and all.
TEST_F(Windows, ColumnsFitTheWindowAndLongCellsShowTheirText) {
    const QString longTitle =
        "The Extraordinarily Long <b>Adventures</b> of a Game Whose Title Never Ends";
    QString list = "<plist version=\"1.0\"><array>";
    for (int i = 0; i < 200; ++i)
        list += QStringLiteral("<dict><key>name</key><string>game%1</string><key>title</key>"
                               "<string>%2 %1</string><key>year</key><integer>1990</integer>"
                               "<key>maker</key><string>Brightwater Interactive Amusements "
                               "Company Limited</string><key>genre</key><string>shooter</string>"
                               "<key>players</key><integer>2</integer></dict>")
                    .arg(QString::number(i), longTitle.toHtmlEscaped());
    ASSERT_TRUE(writeFile(listFile(), (list + "</array></plist>").toUtf8()));
    relaunch();
    app->applicationDidFinishLaunching();
    // Its opening size on a usual screen (the test screen is smaller).
    app->window()->resize(900, 560);
    QCoreApplication::processEvents();
    QTableView* games = table();
    QHeaderView* header = games->horizontalHeader();
    EXPECT_LE(header->length(), games->viewport()->width());

    auto tooltipAt = [&](int column) {
        QToolTip::hideText();
        const QRect cell = games->visualRect(games->model()->index(0, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(),
                        games->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(games->viewport(), &help);
        // As the tooltip shows it: rich text when it looks like markup.
        QTextDocument shown;
        shown.setHtml(QToolTip::text());
        return !QToolTip::isVisible()                  ? QString()
               : Qt::mightBeRichText(QToolTip::text()) ? shown.toPlainText()
                                                       : QToolTip::text();
    };
    // Name, Year and Players are as wide as their contents; Title and Maker give way.
    for (int column : {GameListModel::Name, GameListModel::Year, GameListModel::Players})
        EXPECT_EQ(tooltipAt(column), QString()) << column;
    EXPECT_EQ(tooltipAt(GameListModel::Title), longTitle + " 0");
    EXPECT_TRUE(tooltipAt(GameListModel::Maker).startsWith("Brightwater"));

    // A wider window gives the room to the long texts, not to the last column.
    const int title = header->sectionSize(GameListModel::Title);
    const int players = header->sectionSize(GameListModel::Players);
    app->window()->resize(app->window()->width() + 300, app->window()->height());
    QCoreApplication::processEvents();
    EXPECT_GT(header->sectionSize(GameListModel::Title), title + 100);
    EXPECT_LT(header->sectionSize(GameListModel::Players), players + 50);

    // A column shown from the header's menu is fitted in with the others.
    toggleColumn(games, "Played");
    EXPECT_FALSE(header->isSectionHidden(GameListModel::TimesPlayed));
    EXPECT_LE(header->length(), games->viewport()->width());
}

// Column widths, order and visibility and the splitter come back after a
// restart and stay through a sort; the sort itself does not come back, nor does
// an arrangement that does not fit.
TEST_F(Windows, TheArrangementSurvivesARestartButNotTheSortNorWhatDoesNotFit) {
    for (QTableView* table : {table(), table(2)}) { // ROM mark, then star
        EXPECT_EQ(table->horizontalHeader()->logicalIndex(0), GameListModel::Available);
        EXPECT_EQ(table->horizontalHeader()->logicalIndex(1), GameListModel::Favourite);
    }
    QHeaderView* header = table()->horizontalHeader();
    header->resizeSection(GameListModel::Title, 333);
    header->moveSection(header->visualIndex(GameListModel::Year), 0);
    toggleColumn(table(), "Genre");
    toggleColumn(table(2), "Maker"); // hidden at first in the compact layout
    auto* splitter = app->window()->findChild<QSplitter*>();
    splitter->setSizes({500, 300});
    const QList<int> splitterSizes = splitter->sizes();
    table()->sortByColumn(GameListModel::Name, Qt::DescendingOrder);
    app->saveArrangement();

    relaunch();
    app->applicationDidFinishLaunching();
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        header = table()->horizontalHeader();
        EXPECT_EQ(header->sectionSize(GameListModel::Title), 333);
        EXPECT_EQ(header->visualIndex(GameListModel::Year), 0);
        EXPECT_TRUE(header->isSectionHidden(GameListModel::Genre));
        EXPECT_FALSE(table(2)->isColumnHidden(GameListModel::Maker));
        EXPECT_EQ(app->window()->findChild<QSplitter*>()->sizes(), splitterSizes);
        // A sort is the user's for this session.
        table()->sortByColumn(GameListModel::Title, Qt::AscendingOrder);
    }
    relaunch();
    EXPECT_EQ(table()->horizontalHeader()->sortIndicatorSection(), -1);
    app->setSelectionIndex(0);
    EXPECT_EQ(app->selectedGameName(), "astrovex"); // stored order

    // What does not restore (garbage, another header's state, a hidden Name) is
    // ignored or mended; the launcher starts with its own arrangement. (A text
    // or another version's columns: SettingsCore.ArrangementStates….)
    QHeaderView other(Qt::Horizontal);
    QStandardItemModel threeColumns(1, 3);
    other.setModel(&threeColumns);
    header = table()->horizontalHeader();
    header->hideSection(GameListModel::Name);
    header->resizeSection(GameListModel::Title, 222);
    app->saveArrangement();
    const QByteArray nameHidden = header->saveState();
    const QString columns = store->stringForKey("Arrangement/tableView_listColumns").value_or("");
    // Stored `state` and `columns`: the launcher starts with every column there
    // and Name shown, the stored Title width only if `restored`.
    auto start = [&](const char* what, const QVariant& state, const QString& columns,
                     bool restored) {
        SCOPED_TRACE(what);
        for (const char* key :
             {"Arrangement/tableView_list", "Arrangement/window", "Arrangement/splitter"})
            store->setObject(state, key);
        store->setObject(columns, "Arrangement/tableView_listColumns");
        store->synchronize();
        relaunch();
        app->applicationDidFinishLaunching();
        QHeaderView* header = table()->horizontalHeader();
        EXPECT_EQ(header->count(), GameListModel::ColumnCount);
        EXPECT_FALSE(header->isSectionHidden(GameListModel::Name));
        EXPECT_EQ(header->sectionSize(GameListModel::Title) == 222, restored);
        EXPECT_TRUE(app->window()->isVisible());
    };
    start("bytes", QByteArray("\x00\xff\x00\x01garbage", 11), columns, false);
    start("another header", other.saveState(), columns, false);
    start("Name hidden", nameHidden, columns, true);
}

// The Alt key marked in a text: the character after a single "&".
std::optional<QChar> altKey(const QString& text) {
    const QString plain = QString(text).remove(QStringLiteral("&&"));
    const qsizetype mark = plain.indexOf(u'&');
    if (mark < 0 || mark + 1 >= plain.size())
        return std::nullopt;
    return plain.at(mark + 1).toLower();
}

// Notes the texts in `texts` that share an Alt key.
void noteClashes(const QStringList& texts, QStringList& clashes) {
    QHash<QChar, QString> keys;
    for (const QString& text : texts) {
        if (const std::optional<QChar> key = altKey(text)) {
            if (keys.contains(*key))
                clashes << keys[*key] + " / " + text;
            keys.insert(*key, text);
        }
    }
}

// The same for the entries of a menu bar or menu, and of its submenus.
void noteMenuClashes(const QWidget* menu, QStringList& clashes) {
    QStringList texts;
    for (const QAction* entry : menu->actions()) {
        texts << entry->text();
        if (entry->menu())
            noteMenuClashes(entry->menu(), clashes);
    }
    noteClashes(texts, clashes);
}

// Within the menu bar, each menu and the tray's menu no two entries share an
// Alt key, in English and in German; in the smaller windows every button that
// has a title of its own has one, and no two share it.
TEST_F(Windows, MenusAndButtonsHaveAltKeysOfTheirOwnInEitherLanguage) {
    for (const char* language : {"en", "de"}) {
        SCOPED_TRACE(language);
        ScopedEnv env("LANGUAGE", language);
        const Translations translations(bundle.resources(), language);
        restart();
        QStringList clashes;
        for (MainWindow* window : {app->window(), app->window2()})
            noteMenuClashes(window->menuBar(), clashes);
        const LauncherActions actions;
        for (const auto make : {&LauncherActions::makeTrayMenu, &LauncherActions::makeGameMenu}) {
            const std::unique_ptr<QMenu> menu((actions.*make)(nullptr));
            noteMenuClashes(menu.get(), clashes);
        }
        for (const char* name : {"preferencesWindow", "logWindow", "aboutWindow"}) {
            QStringList titles;
            for (const QPushButton* button : topLevel(name)->findChildren<QPushButton*>())
                titles << button->text();
            for (const QString& title : titles)
                if (titles.count(title) == 1 && !altKey(title))
                    clashes << "no Alt key: " + title;
            noteClashes(titles, clashes);
        }
        EXPECT_EQ(clashes, QStringList());
    }
}

} // namespace
} // namespace kd::test
