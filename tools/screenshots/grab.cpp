// Saves a picture of an X window, taken from the screen at the window's place:
// grab <window-id> <x> <y> <width> <height> <file.png>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 7) {
        std::fprintf(stderr, "usage: grab <window-id> <x> <y> <width> <height> <file.png>\n");
        return 2;
    }
    int geometry[4];
    for (int i = 0; i < 4; ++i)
        geometry[i] = QString::fromLocal8Bit(argv[2 + i]).toInt();
    // The root window at the window's place: what a person sees there.
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(
        0, geometry[0], geometry[1], geometry[2], geometry[3]);
    return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[6]), "PNG") ? 0 : 1;
}
