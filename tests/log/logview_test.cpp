// The log view and its find bar, driven as the user drives them.
#include "log/view/logfindbar.h"
#include "log/view/logview.h"
#include "support/runhelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace kd {
namespace {

class LogViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(400, 300);
        view.show();
        QApplication::processEvents();
    }

    void mouse(QEvent::Type type, QPoint point, Qt::KeyboardModifiers modifiers = {}) {
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, point, view.viewport()->mapToGlobal(point), Qt::LeftButton, buttons,
                          modifiers);
        QApplication::sendEvent(view.viewport(), &event);
    }
    // Just right of the boundary before `column`.
    QPoint at(qint64 line, qint64 column) {
        const QRect cell = view.cellRect(line, column);
        return QPoint(cell.left() + 1, cell.center().y());
    }

    LogView view;
};

TEST_F(LogViewTest, ChunksAreOneTextUntilClearedSelectionAndCopyKeepEveryCharacter) {
    view.appendUtf8("caf\xC3\xA9 \xE2\x82\xAC\n");
    view.appendText(u"日本語\r");
    view.appendUtf8("\nlast");
    EXPECT_EQ(view.text(), u"café €\n日本語\r\nlast");
    EXPECT_EQ(view.byteLength(), view.text().toUtf8().size());
    EXPECT_EQ(view.lineCount(), 3);
    EXPECT_FALSE(view.isEmpty());

    view.selectAll();
    view.clear();
    EXPECT_TRUE(view.isEmpty());
    EXPECT_EQ(view.lineCount(), 1);
    EXPECT_FALSE(view.hasSelection());
    view.appendUtf8("after\n");
    EXPECT_EQ(view.text(), u"after\n");
    view.setText("reset notice\n");
    EXPECT_EQ(view.text(), u"reset notice\n");
    EXPECT_EQ(view.lineCount(), 2);
    view.setText(QString());
    EXPECT_TRUE(view.isEmpty());

    // U+FEFF is a character of the output wherever it stands: the text, a
    // selection and the clipboard keep it at their start too, and it takes its
    // cell on screen like any other character. A selection's end inside a
    // character moves to the character's start.
    view.appendUtf8("\xEF\xBB\xBF"
                    "first\n\xEF\xBB\xBFsecond \xC3\xA9\n");
    EXPECT_EQ(view.text(), u"\uFEFFfirst\n\uFEFFsecond é\n");
    view.setSelection(9, 20);
    EXPECT_EQ(view.selectedText(), u"\uFEFFsecond ");
    view.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), u"\uFEFFsecond ");
    view.setSelection(3, 3);
    view.copy(); // nothing selected: the clipboard keeps what it had
    EXPECT_EQ(QApplication::clipboard()->text(), u"\uFEFFsecond ");
    view.selectAll();
    EXPECT_EQ(view.selectedText(), view.text());
    EXPECT_EQ(LogView::shownText("\xEF\xBB\xBFx\ty\x01", 0), u"\uFEFFx      y\u2401");
    EXPECT_EQ(LogView::shownText("\tz", 3), u"     z");
}

TEST_F(LogViewTest, MouseAndKeyboardSelect) {
    view.appendText(u"alpha beta\n\tgamma_1 delta\nend");
    mouse(QEvent::MouseButtonPress, at(0, 6));
    mouse(QEvent::MouseMove, at(1, 10));
    mouse(QEvent::MouseButtonRelease, at(1, 10));
    EXPECT_EQ(view.selectedText(), u"beta\n\tga"); // the tab fills cells 0 to 7

    mouse(QEvent::MouseButtonPress, at(2, 2), Qt::ShiftModifier);
    mouse(QEvent::MouseButtonRelease, at(2, 2), Qt::ShiftModifier);
    EXPECT_EQ(view.selectedText(), u"beta\n\tgamma_1 delta\nen");

    mouse(QEvent::MouseButtonDblClick, at(1, 11));
    EXPECT_EQ(view.selectedText(), u"gamma_1");

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view.selectedText(), view.text());
    QApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), view.text());
}

TEST_F(LogViewTest, ScrollToEndShowsTheEndOfALargeText) {
    QByteArray chunk;
    for (int i = 0; i < 1000; ++i)
        chunk.append("line of emulator output number " + QByteArray::number(i) + '\n');
    for (int i = 0; i < 100; ++i)
        view.appendUtf8(chunk);
    EXPECT_EQ(view.lineCount(), 100'001);
    EXPECT_FALSE(view.isEndVisible()); // appends do not scroll
    view.scrollToEnd();
    EXPECT_TRUE(view.isEndVisible());
    EXPECT_EQ(view.horizontalScrollBar()->value(), 0);

    // An unfinished last line wider than the view: its end is shown.
    view.appendUtf8(QByteArray(500, 'w'));
    EXPECT_FALSE(view.isEndVisible());
    view.scrollToEnd();
    EXPECT_TRUE(view.isEndVisible());
    EXPECT_GT(view.horizontalScrollBar()->value(), 0);
    view.appendUtf8("\n");
    view.scrollToEnd();
    EXPECT_TRUE(view.isEndVisible());
    EXPECT_EQ(view.horizontalScrollBar()->value(), 0);
}

TEST_F(LogViewTest, TabbedLineCanBeScrolledToItsEnd) {
    // 61 bytes but 481 cells wide; the scroll range learns it once painted.
    view.appendUtf8(QByteArray(QByteArray(60, '\t') + "x\nshort\n"));
    QTest::qWait(100);
    QScrollBar* bar = view.horizontalScrollBar();
    bar->setValue(bar->maximum());
    const QRect x = view.cellRect(0, 480);
    EXPECT_GE(x.left(), 0);
    EXPECT_LE(x.right(), view.viewport()->width());
}

TEST_F(LogViewTest, ManyAppendsInOnePassCostOneRepaint) {
    test::EventCounter paints(view.viewport(), QEvent::Paint);
    // Enough lines for the scroll bar to show, which resizes the viewport once.
    for (int i = 0; i < 100; ++i)
        view.appendUtf8("warm up\n");
    QTest::qWait(100);
    ASSERT_GT(paints.count, 0) << "the view never painted";

    paints.count = 0;
    for (int i = 0; i < 5000; ++i)
        view.appendUtf8("a short line of output\n");
    QTest::qWait(100);
    EXPECT_EQ(paints.count, 1);
    EXPECT_EQ(view.verticalScrollBar()->maximum() + view.verticalScrollBar()->pageStep(),
              view.lineCount());
}

// A find bar open on 300 lines "frame <n> rendered".
class FindBar : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(400, 200);
        view.show();
        for (int i = 0; i < 300; ++i)
            view.appendText(QStringLiteral("frame %1 rendered\n").arg(i));
        bar.open();
        QApplication::processEvents();
    }
    bool searched() {
        return QTest::qWaitFor([&] { return !bar.isSearching(); });
    }
    qint64 line(qint64 n) const { return view.logText().lineStart(n); }

    LogView view;
    LogFindBar bar{&view};
};

TEST_F(FindBar, EnterAndShiftEnterAsInAnyFindBarALongSearchBetweenEvents) {
    const auto press = [&](Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(bar.field(), Qt::Key_Return, modifiers);
        ASSERT_TRUE(searched());
    };
    const auto find = [&](const QString& needle, Qt::KeyboardModifiers modifiers = {}) {
        bar.field()->setText(needle);
        press(modifiers);
    };
    const auto selectionShown = [&] {
        const QRect cell = view.cellRect(view.logText().lineOf(view.selectionStart()), 0);
        return view.viewport()->rect().contains(cell.center());
    };

    find("FRAME 250 ");
    EXPECT_EQ(view.selectedText(), "frame 250 ");
    EXPECT_TRUE(selectionShown());
    EXPECT_EQ(bar.status(), QString());

    bar.caseSwitch()->setChecked(true);
    find("FRAME 250 ");
    EXPECT_EQ(bar.status(), "Not found");
    EXPECT_EQ(view.selectedText(), "frame 250 ") << "a failed search leaves the last match";

    bar.caseSwitch()->setChecked(false);
    find("frame 29");
    EXPECT_EQ(view.selectionStart(), line(290));
    press();
    EXPECT_EQ(view.selectionStart(), line(291));
    press(Qt::ShiftModifier);
    press(Qt::ShiftModifier);
    EXPECT_EQ(view.selectionStart(), line(29));
    EXPECT_TRUE(selectionShown());

    find("frame 0 ", Qt::ShiftModifier);
    EXPECT_EQ(view.selectionStart(), 0);
    press(Qt::ShiftModifier);
    EXPECT_EQ(view.selectionStart(), 0);
    EXPECT_EQ(bar.status(), "Continued from the bottom");
    // Escape closes the bar: Windows.WindowsOpenOnTheScreenComeBackAsLeft….

    // A search longer than one slice lets the window work and stops when the
    // log is cleared.
    view.appendUtf8(QByteArray(3 * LogFindBar::SliceBytes, '.'));
    view.appendText(u"\nthe end\n");
    bar.field()->setText("the end");
    QTest::keyClick(bar.field(), Qt::Key_Return);
    EXPECT_TRUE(bar.isSearching());
    EXPECT_EQ(bar.status(), "Searching…");
    ASSERT_TRUE(searched());
    EXPECT_EQ(view.selectedText(), "the end");

    // Closing the bar stops it too; every button says what it does.
    QTest::keyClick(bar.field(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(bar.isSearching());
    for (QToolButton* button : bar.findChildren<QToolButton*>())
        EXPECT_FALSE(button->text().isEmpty() && button->icon().isNull());
    bar.findChild<QToolButton*>("findClose")->click();
    EXPECT_FALSE(bar.isSearching());
    bar.open();
    QTest::keyClick(bar.field(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(bar.isSearching());
    view.clear();
    EXPECT_FALSE(bar.isSearching());
    EXPECT_EQ(bar.status(), QString());
}

// Typing finds as it goes: after each keystroke the first match from where the
// last one began, the old highlight gone at once; Enter and F3 go on.
TEST_F(FindBar, FindsAsYouTypeAndEnterOrF3GoOn) {
    const auto press = [&](auto keys, Qt::KeyboardModifiers modifiers = {}) {
        if constexpr (std::is_same_v<decltype(keys), const char*>)
            QTest::keyClicks(bar.field(), keys);
        else
            QTest::keyClick(bar.field(), keys, modifiers);
        return searched();
    };
    ASSERT_TRUE(press("frame 2"));
    EXPECT_EQ(view.selectedText(), "frame 2");
    EXPECT_EQ(view.selectionStart(), line(2));
    ASSERT_TRUE(press("5"));
    EXPECT_EQ(view.selectedText(), "frame 25");
    EXPECT_EQ(view.selectionStart(), line(25));
    ASSERT_TRUE(press("x"));
    EXPECT_FALSE(view.hasSelection());
    EXPECT_EQ(bar.status(), "Not found");
    ASSERT_TRUE(press(Qt::Key_Backspace));
    EXPECT_EQ(view.selectionStart(), line(25));
    for (const auto& [key, modifiers, at] : {std::tuple{Qt::Key_Return, Qt::NoModifier, 250},
                                             {Qt::Key_F3, Qt::NoModifier, 251},
                                             {Qt::Key_F3, Qt::ShiftModifier, 250}}) {
        ASSERT_TRUE(press(key, modifiers));
        EXPECT_EQ(view.selectionStart(), line(at)) << at;
    }
}

} // namespace
} // namespace kd
