#include <QCoreApplication>
#include <gtest/gtest.h>

// The core's tests run inside a QCoreApplication: timers, the event loop and
// child processes behave as in the launcher, and no display of any kind is
// needed. Tests speak English whatever the machine's locale; those of another
// language say so.
int main(int argc, char** argv) {
    qputenv("LANGUAGE", "en");
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kaleidrome Launcher"));
    return RUN_ALL_TESTS();
}
