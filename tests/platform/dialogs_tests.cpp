#include "platform/desktop/qtdesktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
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
                shown.append(button->text());
            seen = {box->defaultButton() ? box->defaultButton()->text() : QString(),
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
