#include <QApplication>
#include <gtest/gtest.h>

// The tests of widgets run inside a QApplication on the offscreen platform, so
// widgets, timers and the event loop behave as in the launcher. Tests speak
// English whatever the machine's locale; those of another language say so.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LANGUAGE", "en");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kaleidrome Launcher"));
    return RUN_ALL_TESTS();
}
