#include "platform/desktop/qtdesktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace kd {
namespace {

// Runs `act` on the modal dialog as soon as it is up, from inside its loop.
template <typename Dialog> void whenModal(std::function<void(Dialog*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

TEST(Alerts, AnswerIsTheIndexInTheRequestSkippingEmptyTitles) {
    const QStringList titles{"Quit", QString(), "Retry"};
    QtDesktop desktop{QString()};
    for (const int clicked : {0, 2}) {
        QStringList shown, seen; // the buttons; the default one, the text and the icon
        whenModal<QMessageBox>([&](QMessageBox* box) {
            for (QAbstractButton* button : box->buttons())
                shown.append(button->text().remove(u'&'));
            seen = {box->defaultButton() ? box->defaultButton()->text().remove(u'&') : QString(),
                    box->informativeText(), QString::number(box->icon())};
            box->buttons().at(shown.indexOf(titles[clicked]))->click();
        });
        EXPECT_EQ(
            desktop.runAlert({"Emulator missing", "Choose another", titles, AlertStyle::Critical}),
            clicked);
        shown.sort();
        EXPECT_EQ(shown, (QStringList{"Quit", "Retry"}));
        EXPECT_EQ(seen,
                  (QStringList{"Quit", "Choose another", QString::number(QMessageBox::Critical)}));
    }
}

// Confirmations show their buttons in the platform's order, the one that does
// nothing in its place, whichever order the request names them in; each
// button has an Alt key of its own.
TEST(Alerts, ButtonsInThePlatformsOrderEachWithItsOwnKey) {
    QtDesktop desktop{QString()};
    const auto laidOut = [&](const AlertRequest& request) {
        QStringList shown;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            QList<QAbstractButton*> buttons = box->buttons();
            std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
                return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
            });
            for (QAbstractButton* button : buttons)
                shown << (button == box->escapeButton() ? "cancel:" : "") + button->text();
            box->escapeButton()->click();
        });
        desktop.runAlert(request);
        return shown;
    };
    const QStringList remove = laidOut({"Remove?", QString(), {"Remove", "Cancel"}, {}, 1});
    const QStringList reset = laidOut({"Reset?", QString(), {"Cancel", "Reset"}, {}, 0});
    ASSERT_EQ(remove.size(), 2);
    EXPECT_EQ(remove.indexOf("cancel:&Cancel"), reset.indexOf("cancel:&Cancel"));
    EXPECT_TRUE(reset.contains("&Reset"));
    // The keys each button is given, sorted.
    for (const auto& [titles, keys] :
         {std::pair<QStringList, QStringList>{{"Choose…", "Cancel"}, {"&Choose…", "C&ancel"}},
          {{"Auswählen …", "Abbrechen"}, {"&Auswählen …", "A&bbrechen"}},
          {{"OK", "&Log", "Open Log"}, {"&Log", "&OK", "O&pen Log"}}}) {
        QStringList shown =
            laidOut({"?", QString(), titles, {}, 0}).replaceInStrings("cancel:", "");
        shown.sort();
        EXPECT_EQ(shown, keys);
    }
}

// A real Escape key and the close box answer with the alert's cancel button;
// an alert without one answers -1 when closed all the same.
TEST(Alerts, EscapeAndTheCloseBoxGiveTheCancelButtonsAnswer) {
    QtDesktop desktop{QString()};
    const auto answer = [&](const AlertRequest& request, void (*act)(QMessageBox*)) {
        whenModal<QMessageBox>(act);
        return desktop.runAlert(request);
    };
    AlertRequest request{
        "No ROMs folder", QString(), {"Choose…", "Cancel"}, AlertStyle::Warning, 1};
    EXPECT_EQ(answer(request, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }), 1);
    EXPECT_EQ(answer(request, [](QMessageBox* box) { box->close(); }), 1);
    request.buttons = {"OK", "Log"};
    request.cancelButton = 0;
    EXPECT_EQ(answer(request, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }), 0);
    request.cancelButton = -1;
    EXPECT_EQ(answer(request, [](QMessageBox* box) { box->reject(); }), -1);
}

// A short alert is still wide enough for its title beside a title bar's icon
// and buttons (openbox needs about 120 pixels for those), so the name is not
// cut short.
TEST(Alerts, AShortAlertIsWideEnoughForItsTitle) {
    QtDesktop desktop{QString()};
    QString title;
    int width = 0;
    QFont font;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        width = box->width();
        font = box->font();
        box->close();
    });
    desktop.runAlert({"Not saved.", QString(), {"OK"}});
    EXPECT_EQ(title, QApplication::applicationDisplayName());
    font.setBold(true);
    EXPECT_GE(width, QFontMetrics(font).horizontalAdvance(title) + 120);
}

// Names and paths in an alert are shown as they are: markup in them is neither
// a link nor a picture loaded from a file, and a huge one is cut short.
TEST(Alerts, OutsideTextIsPlainTextAndCutShort) {
    QTemporaryDir dir;
    const QString picture = dir.filePath("tall.png");
    ASSERT_TRUE(QImage(8, 600, QImage::Format_RGB32).save(picture));
    const QString question = "Remove “<a href=\"file:/etc/passwd\">Hexaball</a>”?";
    const QString path = "<img src=\"file:" + picture + "\">" + QString(1 << 20, u'z');
    QtDesktop desktop{QString()};
    QList<Qt::TextFormat> formats;
    QStringList texts;
    int tallest = 0;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        for (QLabel* label : box->findChildren<QLabel*>()) {
            formats << label->textFormat();
            texts << label->text();
            tallest = std::max(tallest, label->sizeHint().height());
        }
        box->close();
    });
    desktop.runAlert({question, path, {"OK"}});
    EXPECT_EQ(formats.count(Qt::PlainText), formats.size());
    EXPECT_TRUE(texts.contains(question));
    texts = texts.filter("<img src=");
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(path.startsWith(texts[0].chopped(1)) && texts[0].size() < 2100);
    EXPECT_LT(tallest, 600);
}

TEST(FilePanels, ConfiguredAsAskedAndReturnTheChoice) {
    QTemporaryDir dir;
    const QString rom = dir.filePath("hexaball.zip");
    QFile(rom).open(QIODevice::WriteOnly);
    QtDesktop desktop{QString()};
    QFileDialog::FileMode mode{};
    QFileDialog::AcceptMode acceptMode{};
    QStringList filters;
    QString accept, start, suggested;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        mode = dialog->fileMode();
        filters = dialog->nameFilters();
        accept = dialog->labelText(QFileDialog::Accept);
        start = dialog->directory().absolutePath();
        dialog->selectFile(rom);
        static_cast<QDialog*>(dialog)->accept(); // the override reads the typed name
    });
    EXPECT_EQ(desktop.runOpenPanel({true, false, "Launch", {"zip"}, dir.path()}),
              std::optional<QString>(rom));
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_EQ(filters, QStringList{"*.zip"});
    EXPECT_EQ(accept, "Launch");
    EXPECT_EQ(start, QDir(dir.path()).absolutePath());

    // A folder, and cancelled.
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        mode = dialog->fileMode();
        dialog->reject();
    });
    EXPECT_EQ(desktop.runOpenPanel({false, true, QString(), {}, QString()}), std::nullopt);
    EXPECT_EQ(mode, QFileDialog::Directory);

    // Saving starts in its folder with the suggested name, and adds the first
    // allowed extension to a name that has none.
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        acceptMode = dialog->acceptMode();
        start = dialog->directory().absolutePath();
        suggested = QFileInfo(dialog->selectedFiles().value(0)).fileName();
        dialog->selectFile("runlog");
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(desktop.runSavePanel({{"txt", "log"}, "Kaleidrome.txt", dir.path()}),
              std::optional<QString>(dir.filePath("runlog.txt")));
    EXPECT_EQ(acceptMode, QFileDialog::AcceptSave);
    EXPECT_EQ(start, QDir(dir.path()).absolutePath());
    EXPECT_EQ(suggested, "Kaleidrome.txt");
}

} // namespace
} // namespace kd
