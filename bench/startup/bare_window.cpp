// The reference for the launcher's start-up: a Qt application with one main
// window, printing "shown" once the window is exposed, then quitting.
#include "firstexpose.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kd::bench::FirstExpose watch([](const QString&) {
        std::printf("shown\n");
        std::fflush(stdout);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.resize(800, 600);
    window.show();
    return QApplication::exec();
}
