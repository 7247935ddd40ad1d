#include "platform/qtdesktop.h"

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

QAbstractButton* buttonTitled(QMessageBox* box, const QString& title) {
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

class Alerts : public ::testing::TestWithParam<int> {};

TEST_P(Alerts, AnswerIsTheIndexInTheRequestSkippingEmptyTitles) {
    const QStringList titles{QStringLiteral("Quit"), QString(), QStringLiteral("Retry")};
    const int clicked = GetParam();
    QtDesktop desktop{QString()};
    QStringList shown;
    QString defaultTitle;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString informative;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        for (QAbstractButton* button : box->buttons())
            shown.append(button->text());
        defaultTitle = box->defaultButton() ? box->defaultButton()->text() : QString();
        icon = box->icon();
        informative = box->informativeText();
        buttonTitled(box, titles[clicked])->click();
    });
    const int answer =
        desktop.runAlert({QStringLiteral("Emulator missing"), QStringLiteral("Choose another"),
                          titles, AlertStyle::Critical});
    EXPECT_EQ(answer, clicked);
    shown.sort();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Quit"), QStringLiteral("Retry")}));
    EXPECT_EQ(defaultTitle, QStringLiteral("Quit"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(informative, QStringLiteral("Choose another"));
}

INSTANTIATE_TEST_SUITE_P(EachButton, Alerts, ::testing::Values(0, 2));

TEST(AlertsClosed, EscapeWithoutACancelButtonAnswersMinusOne) {
    QtDesktop desktop{QString()};
    whenModal<QMessageBox>([](QMessageBox* box) { box->reject(); });
    EXPECT_EQ(desktop.runAlert({QStringLiteral("Question"),
                                QString(),
                                {QStringLiteral("Yes"), QStringLiteral("No")},
                                AlertStyle::Informational}),
              -1);
}

// A real Escape key and the close box answer with the alert's cancel button.
TEST(AlertsClosed, EscapeAndTheCloseBoxGiveTheCancelButtonsAnswer) {
    QtDesktop desktop{QString()};
    AlertRequest request{QStringLiteral("No ROMs folder"),
                         QString(),
                         {QStringLiteral("Choose…"), QStringLiteral("Cancel")},
                         AlertStyle::Warning,
                         1};
    whenModal<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(desktop.runAlert(request), 1);
    whenModal<QMessageBox>([](QMessageBox* box) { box->close(); });
    EXPECT_EQ(desktop.runAlert(request), 1);

    request.buttons = {QStringLiteral("OK"), QStringLiteral("Log")};
    request.cancelButton = 0;
    whenModal<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(desktop.runAlert(request), 0);
}

// A short alert is still wide enough for its title beside a title bar's icon
// and buttons (openbox needs about 120 pixels for those), so the name is not
// cut short.
TEST(AlertsClosed, AShortAlertIsWideEnoughForItsTitle) {
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
    desktop.runAlert({QStringLiteral("Not saved."), QString(), {QStringLiteral("OK")}});
    EXPECT_EQ(title, QApplication::applicationDisplayName());
    font.setBold(true);
    EXPECT_GE(width, QFontMetrics(font).horizontalAdvance(title) + 120);
}

TEST(OpenPanel, ConfiguresTheDialogAndReturnsTheChoice) {
    QTemporaryDir dir;
    const QString rom = dir.filePath(QStringLiteral("hexaball.zip"));
    QFile(rom).open(QIODevice::WriteOnly);
    QtDesktop desktop{QString()};
    QFileDialog::FileMode mode{};
    QStringList filters;
    QString accept;
    QString start;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        mode = dialog->fileMode();
        filters = dialog->nameFilters();
        accept = dialog->labelText(QFileDialog::Accept);
        start = dialog->directory().absolutePath();
        dialog->selectFile(rom);
        static_cast<QDialog*>(dialog)->accept(); // the override reads the typed name
    });
    const auto chosen = desktop.runOpenPanel(
        {true, false, QStringLiteral("Launch"), {QStringLiteral("zip")}, dir.path()});
    EXPECT_EQ(chosen, std::optional<QString>(rom));
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_EQ(filters, QStringList{QStringLiteral("*.zip")});
    EXPECT_EQ(accept, QStringLiteral("Launch"));
    EXPECT_EQ(start, QDir(dir.path()).absolutePath());
}

TEST(OpenPanel, FolderChoiceAndCancel) {
    QtDesktop desktop{QString()};
    QFileDialog::FileMode mode{};
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        mode = dialog->fileMode();
        dialog->reject();
    });
    EXPECT_EQ(desktop.runOpenPanel({false, true, QString(), {}, QString()}), std::nullopt);
    EXPECT_EQ(mode, QFileDialog::Directory);
}

TEST(SavePanel, StartsInItsFolderAndAddsTheFirstAllowedExtensionWhenTheNameHasNone) {
    QTemporaryDir dir;
    QtDesktop desktop{QString()};
    QString suggested;
    QString start;
    QFileDialog::AcceptMode acceptMode{};
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        acceptMode = dialog->acceptMode();
        start = dialog->directory().absolutePath();
        const QStringList selected = dialog->selectedFiles();
        suggested = selected.isEmpty() ? QString() : QFileInfo(selected.first()).fileName();
        dialog->selectFile(QStringLiteral("runlog"));
        static_cast<QDialog*>(dialog)->accept(); // the override reads the typed name
    });
    const auto chosen = desktop.runSavePanel({{QStringLiteral("txt"), QStringLiteral("log")},
                                              QStringLiteral("Kaleidrome.txt"),
                                              dir.path()});
    EXPECT_EQ(acceptMode, QFileDialog::AcceptSave);
    EXPECT_EQ(start, QDir(dir.path()).absolutePath());
    EXPECT_EQ(suggested, QStringLiteral("Kaleidrome.txt"));
    EXPECT_EQ(chosen, std::optional<QString>(dir.filePath(QStringLiteral("runlog.txt"))));
}

} // namespace
} // namespace kd
