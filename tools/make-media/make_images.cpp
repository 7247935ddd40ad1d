// Draws the bundle's invented pictures: placeholders, the application icon and
// artwork for the sample games. Snapshots are drawn at arcade resolution and
// doubled, which keeps them small and crisp.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&, const QSize&)>;

QImage render(QSize size, const Draw& draw, bool smooth) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    painter.setRenderHint(QPainter::TextAntialiasing, smooth);
    draw(painter, size);
    return image;
}

QFont arcadeFont(int pixels, bool smooth = false) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(pixels);
    font.setBold(true);
    if (!smooth)
        font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

void title(QPainter& p, const QRect& box, const QString& text, QColor color, int pixels) {
    p.setFont(arcadeFont(pixels));
    p.setPen(QColor(0, 0, 0, 200));
    p.drawText(box.translated(1, 1), Qt::AlignCenter, text);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, text);
}

void stars(QPainter& p, const QSize& s, quint32 seed, int count) {
    QRandomGenerator random(seed);
    for (int i = 0; i < count; ++i) {
        const int shade = 120 + random.bounded(136);
        p.setPen(QColor(shade, shade, 255));
        p.drawPoint(random.bounded(s.width()), random.bounded(s.height()));
    }
}

bool save(const QImage& image, const QString& path, int quality = -1) {
    if (!image.save(path, nullptr, quality)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%-60s %6lld bytes\n", qPrintable(path), QFile(path).size());
    return true;
}

// A snapshot: drawn at 160x120, shown at 320x240.
bool snapshot(const QString& path, const Draw& draw, int quality = -1) {
    const QImage small = render({160, 120}, draw, false);
    QImage big = small.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (path.endsWith(QStringLiteral(".jpg")))
        big = big.convertToFormat(QImage::Format_RGB32);
    else
        big = big.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    return save(big, path, quality);
}

// ICO with one 32-bit DIB per size (the layout every reader understands).
bool writeIco(const QString& path, const QList<QImage>& images) {
    QByteArray out;
    auto u16 = [&](int v) {
        out.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    };
    auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xff));
    };
    QList<QByteArray> bodies;
    for (const QImage& source : images) {
        const QImage image = source.convertToFormat(QImage::Format_ARGB32);
        const int w = image.width(), h = image.height();
        QByteArray body;
        QBuffer buffer(&body);
        buffer.open(QIODevice::WriteOnly);
        auto b32 = [&](quint32 v) {
            for (int i = 0; i < 4; ++i)
                body.append(char((v >> (8 * i)) & 0xff));
        };
        auto b16 = [&](int v) {
            body.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
        };
        b32(40), b32(w), b32(2 * h), b16(1), b16(32), b32(0), b32(0), b32(0), b32(0), b32(0),
            b32(0);
        for (int y = h - 1; y >= 0; --y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < w; ++x)
                b32(line[x]); // BGRA in memory on little-endian, as the DIB wants
        }
        const int maskStride = ((w + 31) / 32) * 4;
        for (int y = h - 1; y >= 0; --y) {
            QByteArray mask(maskStride, 0);
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                if (qAlpha(line[x]) == 0)
                    mask[x / 8] = char(mask[x / 8] | (0x80 >> (x % 8)));
            }
            body.append(mask);
        }
        bodies.append(body);
    }
    u16(0), u16(1), u16(int(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        const int w = images[i].width(), h = images[i].height();
        out.append(char(w >= 256 ? 0 : w))
            .append(char(h >= 256 ? 0 : h))
            .append(char(0))
            .append(char(0));
        u16(1), u16(32), u32(quint32(bodies[i].size())), u32(offset);
        offset += quint32(bodies[i].size());
    }
    for (const QByteArray& body : bodies)
        out.append(body);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%-60s %6lld bytes\n", qPrintable(path), file.size());
    return true;
}

bool icon(const QString& path, const Draw& draw) {
    return writeIco(path, {render({32, 32}, draw, true), render({16, 16}, draw, true)});
}

// Rounded tile with a two-colour gradient, the common ground of the game icons.
void tile(QPainter& p, const QSize& s, QColor top, QColor bottom) {
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    const qreal r = s.width() / 6.0;
    p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), r, r);
}

// A picture frame holding a sun over two hills, the sign of a picture that is
// not there; `frame` is the frame's outer edge.
void framedPicture(QPainter& p, const QRectF& frame, qreal pen, QColor color) {
    const qreal x = frame.x(), y = frame.y(), w = frame.width(), h = frame.height();
    p.setPen(QPen(color, pen));
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2));
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(x + w * 0.72, y + h * 0.3), w * 0.09, w * 0.09);
    QPainterPath hills;
    hills.moveTo(x + pen, y + h - pen);
    hills.lineTo(x + w * 0.3, y + h * 0.5);
    hills.lineTo(x + w * 0.5, y + h * 0.72);
    hills.lineTo(x + w * 0.65, y + h * 0.58);
    hills.lineTo(x + w - pen, y + h - pen);
    hills.closeSubpath();
    p.drawPath(hills);
}

// The application icon: a kaleidoscope of mirrored petals on a dark disc,
// drawn on a 128-unit square. appIconSvg() is the same drawing as SVG.
constexpr QRgb kIconBackInner = 0xff2d1b5e;
constexpr QRgb kIconBackOuter = 0xff0d0824;
constexpr QRgb kIconPetals[] = {0xffff4f8b, 0xffffc13b, 0xff3be3ff};
constexpr int kIconPetalAlpha = 210;

void appIcon(QPainter& p, const QSize& s) {
    p.scale(s.width() / 128.0, s.height() / 128.0);
    const QPointF c(64, 64);
    QRadialGradient back(c, 64);
    back.setColorAt(0, QColor::fromRgb(kIconBackInner));
    back.setColorAt(1, QColor::fromRgb(kIconBackOuter));
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawEllipse(c, 62, 62);
    for (int i = 0; i < 12; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 30.0);
        QPainterPath petal;
        petal.moveTo(0, -6);
        petal.quadTo(14, -30, 0, -54);
        petal.quadTo(-14, -30, 0, -6);
        QColor color = QColor::fromRgb(kIconPetals[i % 3]);
        color.setAlpha(kIconPetalAlpha);
        p.setBrush(color);
        p.drawPath(petal);
        p.restore();
    }
    p.setBrush(Qt::white);
    p.drawEllipse(c, 8, 8);
}

QString appIconSvg() {
    auto hex = [](QRgb rgb) {
        return QColor::fromRgb(rgb).name();
    };
    QString svg =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                       "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"128\" height=\"128\" "
                       "viewBox=\"0 0 128 128\">\n"
                       "  <defs>\n"
                       "    <radialGradient id=\"back\" cx=\"64\" cy=\"64\" r=\"64\" "
                       "gradientUnits=\"userSpaceOnUse\">\n"
                       "      <stop offset=\"0\" stop-color=\"%1\"/>\n"
                       "      <stop offset=\"1\" stop-color=\"%2\"/>\n"
                       "    </radialGradient>\n"
                       "    <path id=\"petal\" d=\"M0,-6 Q14,-30 0,-54 Q-14,-30 0,-6 Z\"/>\n"
                       "  </defs>\n"
                       "  <circle cx=\"64\" cy=\"64\" r=\"62\" fill=\"url(#back)\"/>\n"
                       "  <g transform=\"translate(64 64)\" fill-opacity=\"%3\">\n")
            .arg(hex(kIconBackInner), hex(kIconBackOuter))
            .arg(kIconPetalAlpha / 255.0, 0, 'f', 3);
    for (int i = 0; i < 12; ++i)
        svg += QStringLiteral(
                   "    <use xlink:href=\"#petal\" transform=\"rotate(%1)\" fill=\"%2\"/>\n")
                   .arg(i * 30)
                   .arg(hex(kIconPetals[i % 3]));
    svg += QStringLiteral("  </g>\n"
                          "  <circle cx=\"64\" cy=\"64\" r=\"8\" fill=\"#ffffff\"/>\n"
                          "</svg>\n");
    return svg;
}

bool saveText(const QString& text, const QString& path) {
    QFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%-60s %6lld bytes\n", qPrintable(path), file.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make-images RESOURCES_FOLDER\n");
        return 2;
    }
    const QDir resources(QString::fromLocal8Bit(argv[1]));
    const QString bundle = resources.filePath(QStringLiteral("bundle"));
    const QString snaps = bundle + QStringLiteral("/kdromepak/Snaps/");
    const QString icons = bundle + QStringLiteral("/kdromepak/Icons/");
    QDir().mkpath(snaps);
    QDir().mkpath(icons);
    bool ok = true;

    // Placeholders: a framed picture (a sun over two hills) and no words, so
    // they read the same in every language.
    ok &= save(render(
                   {320, 240},
                   [](QPainter& p, const QSize& s) {
                       QLinearGradient g(0, 0, 0, s.height());
                       g.setColorAt(0, QColor(0x4a, 0x4e, 0x57));
                       g.setColorAt(1, QColor(0x2b, 0x2d, 0x33));
                       p.fillRect(QRect(QPoint(), s), g);
                       p.setPen(QPen(QColor(0x8a, 0x8f, 0x99), 3, Qt::DashLine));
                       p.setBrush(Qt::NoBrush);
                       p.drawRoundedRect(QRect(18, 18, s.width() - 36, s.height() - 36), 12, 12);
                       framedPicture(p, QRectF(112, 78, 96, 72), 3, QColor(0xb8, 0xbd, 0xc6));
                   },
                   true)
                   .convertToFormat(QImage::Format_RGB32),
               bundle + QStringLiteral("/no_image.jpg"), 85);

    ok &= icon(bundle + QStringLiteral("/no_icon.ico"), [](QPainter& p, const QSize& s) {
        const qreal w = s.width();
        tile(p, s, QColor(0x9a, 0x9f, 0xa8), QColor(0x60, 0x64, 0x6c));
        framedPicture(p, QRectF(w * 0.2, w * 0.28, w * 0.6, w * 0.44), w / 16,
                      QColor(0xf2, 0xf2, 0xf2));
    });

    // Application icon: the window's, the desktop's at every usual size, and
    // the same drawing as SVG for the scalable one.
    ok &= save(render({128, 128}, appIcon, true),
               bundle + QStringLiteral("/kaleidrome-launcher.png"));
    const QString hicolor = resources.filePath(QStringLiteral("icons/hicolor"));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = hicolor + QStringLiteral("/%1x%1/apps").arg(size);
        QDir().mkpath(folder);
        ok &= save(render({size, size}, appIcon, true),
                   folder + QStringLiteral("/kaleidrome-launcher.png"));
    }
    QDir().mkpath(hicolor + QStringLiteral("/scalable/apps"));
    ok &=
        saveText(appIconSvg(), hicolor + QStringLiteral("/scalable/apps/kaleidrome-launcher.svg"));

    // Snapshots. The two Astrovex pictures differ on purpose: night and dusk.
    ok &= snapshot(snaps + QStringLiteral("astrovex.png"), [](QPainter& p, const QSize& s) {
        p.fillRect(QRect(QPoint(), s), QColor(0x05, 0x06, 0x1a));
        stars(p, s, 7, 90);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x4d, 0xf0, 0xff));
        p.drawPolygon(QPolygon({QPoint(80, 84), QPoint(72, 100), QPoint(88, 100)}));
        p.setBrush(QColor(0xff, 0x5a, 0x36));
        for (int x = 30; x <= 130; x += 20)
            p.drawRect(x, 30, 10, 6);
        title(p, QRect(0, 4, s.width(), 20), QStringLiteral("ASTROVEX"), QColor(0xff, 0xe0, 0x3a),
              14);
    });
    ok &= snapshot(
        snaps + QStringLiteral("astrovex.jpg"),
        [](QPainter& p, const QSize& s) {
            QLinearGradient sky(0, 0, 0, s.height());
            sky.setColorAt(0, QColor(0xff, 0x9a, 0x3c));
            sky.setColorAt(1, QColor(0x8a, 0x1e, 0x52));
            p.fillRect(QRect(QPoint(), s), sky);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0xff, 0xe6, 0x8a));
            p.drawEllipse(QPoint(110, 70), 22, 22);
            p.setBrush(QColor(0x2a, 0x0a, 0x2e));
            p.drawRect(0, 92, s.width(), 28);
            title(p, QRect(0, 96, s.width(), 20), QStringLiteral("ASTROVEX"), Qt::white, 14);
        },
        80);
    ok &= snapshot(
        snaps + QStringLiteral("boltrunner.jpg"),
        [](QPainter& p, const QSize& s) {
            p.fillRect(QRect(QPoint(), s), QColor(0x3a, 0x12, 0x6e));
            p.setPen(QPen(QColor(0xd0, 0x9c, 0xff), 1));
            for (int i = 0; i < 9; ++i)
                p.drawLine(80, 40, -60 + i * 35, 120);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0xff, 0xe8, 0x2e));
            p.drawPolygon(QPolygon({QPoint(84, 44), QPoint(70, 76), QPoint(80, 76), QPoint(72, 106),
                                    QPoint(94, 68), QPoint(84, 68), QPoint(92, 44)}));
            title(p, QRect(0, 6, s.width(), 20), QStringLiteral("BOLT RUNNER"),
                  QColor(0xff, 0xe8, 0x2e), 13);
        },
        80);
    ok &= snapshot(snaps + QStringLiteral("cometkai.png"), [](QPainter& p, const QSize& s) {
        p.fillRect(QRect(QPoint(), s), QColor(0x00, 0x14, 0x2a));
        stars(p, s, 11, 60);
        p.setPen(Qt::NoPen);
        const QColor tail[] = {QColor(0x1f, 0x6f, 0xb8), QColor(0x3f, 0xa4, 0xe8),
                               QColor(0x9c, 0xe0, 0xff)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(tail[i]);
            p.drawPolygon(QPolygon(
                {QPoint(20 + i * 14, 30 + i * 6), QPoint(112, 78 - i), QPoint(104, 88 + i)}));
        }
        p.setBrush(Qt::white);
        p.drawEllipse(QPoint(110, 84), 7, 7);
        title(p, QRect(0, 96, s.width(), 20), QStringLiteral("COMET KAI"), QColor(0x9c, 0xe0, 0xff),
              14);
    });
    ok &= snapshot(
        snaps + QStringLiteral("drumtek.jpg"),
        [](QPainter& p, const QSize& s) {
            p.fillRect(QRect(QPoint(), s), QColor(0x14, 0x14, 0x14));
            const QColor pads[] = {QColor(0xff, 0x3b, 0x3b), QColor(0x3b, 0xff, 0x7a),
                                   QColor(0x3b, 0x8c, 0xff), QColor(0xff, 0xd2, 0x3b)};
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 4; ++col) {
                    p.setPen(Qt::NoPen);
                    p.setBrush(pads[(row + col) % 4].darker(row == 1 && col == 2 ? 100 : 180));
                    p.drawRect(18 + col * 32, 30 + row * 26, 26, 20);
                }
            }
            title(p, QRect(0, 4, s.width(), 20), QStringLiteral("DRUMTEK"), Qt::white, 14);
        },
        80);
    ok &= snapshot(snaps + QStringLiteral("fenlight.png"), [](QPainter& p, const QSize& s) {
        p.fillRect(QRect(QPoint(), s), QColor(0x0b, 0x24, 0x16));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x12, 0x3d, 0x25));
        p.drawRect(0, 84, s.width(), 36);
        p.setBrush(QColor(0x1d, 0x5c, 0x36));
        for (int x = 6; x < s.width(); x += 22)
            p.drawRect(x, 62 + (x % 3) * 6, 4, 40);
        QRandomGenerator random(5);
        p.setBrush(QColor(0xe8, 0xff, 0x6a));
        for (int i = 0; i < 14; ++i)
            p.drawRect(random.bounded(150) + 5, random.bounded(60) + 22, 2, 2);
        title(p, QRect(0, 4, s.width(), 20), QStringLiteral("FENLIGHT"), QColor(0xe8, 0xff, 0x6a),
              14);
    });
    ok &= snapshot(snaps + QStringLiteral("hexaball.png"), [](QPainter& p, const QSize& s) {
        p.fillRect(QRect(QPoint(), s), QColor(0x22, 0x0f, 0x2e));
        p.setPen(QPen(QColor(0xff, 0x7a, 0xd9), 1));
        p.setBrush(QColor(0x3a, 0x1a, 0x4e));
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 8; ++col) {
                const QPoint c(10 + col * 20 + (row % 2) * 10, 30 + row * 17);
                QPolygon hex;
                for (int k = 0; k < 6; ++k) {
                    const double a = qDegreesToRadians(60.0 * k + 30);
                    hex << QPoint(c.x() + qRound(9 * std::cos(a)), c.y() + qRound(9 * std::sin(a)));
                }
                p.drawPolygon(hex);
            }
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xff, 0xf1, 0x4d));
        p.drawEllipse(QPoint(92, 64), 6, 6);
        title(p, QRect(0, 4, s.width(), 20), QStringLiteral("HEXABALL"), QColor(0xff, 0x7a, 0xd9),
              14);
    });

    // Game icons.
    ok &= icon(icons + QStringLiteral("astrovex.ico"), [](QPainter& p, const QSize& s) {
        const qreal w = s.width();
        tile(p, s, QColor(0x1a, 0x1f, 0x5c), QColor(0x05, 0x06, 0x1a));
        p.setBrush(QColor(0x4d, 0xf0, 0xff));
        p.drawPolygon(QPolygonF(
            {QPointF(w / 2, w * 0.18), QPointF(w * 0.25, w * 0.8), QPointF(w * 0.75, w * 0.8)}));
    });
    ok &= icon(icons + QStringLiteral("boltrunner.ico"), [](QPainter& p, const QSize& s) {
        const qreal w = s.width() / 32.0;
        tile(p, s, QColor(0x6a, 0x2c, 0xb8), QColor(0x3a, 0x12, 0x6e));
        p.setBrush(QColor(0xff, 0xe8, 0x2e));
        p.drawPolygon(
            QPolygonF({QPointF(18 * w, 3 * w), QPointF(8 * w, 18 * w), QPointF(15 * w, 18 * w),
                       QPointF(12 * w, 29 * w), QPointF(24 * w, 13 * w), QPointF(17 * w, 13 * w),
                       QPointF(21 * w, 3 * w)}));
    });
    ok &= icon(icons + QStringLiteral("cometkai.ico"), [](QPainter& p, const QSize& s) {
        const qreal w = s.width();
        tile(p, s, QColor(0x0a, 0x3a, 0x6a), QColor(0x00, 0x14, 0x2a));
        QLinearGradient tail(w * 0.1, w * 0.1, w * 0.65, w * 0.65);
        tail.setColorAt(0, QColor(0x3f, 0xa4, 0xe8, 0));
        tail.setColorAt(1, QColor(0x9c, 0xe0, 0xff));
        p.setBrush(tail);
        p.drawPolygon(QPolygonF(
            {QPointF(w * 0.1, w * 0.2), QPointF(w * 0.72, w * 0.58), QPointF(w * 0.58, w * 0.72)}));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(w * 0.68, w * 0.68), w * 0.14, w * 0.14);
    });
    ok &= icon(icons + QStringLiteral("drumtek.ico"), [](QPainter& p, const QSize& s) {
        const qreal w = s.width();
        tile(p, s, QColor(0x3a, 0x3a, 0x3a), QColor(0x14, 0x14, 0x14));
        const QColor pads[] = {QColor(0xff, 0x3b, 0x3b), QColor(0x3b, 0xff, 0x7a),
                               QColor(0x3b, 0x8c, 0xff), QColor(0xff, 0xd2, 0x3b)};
        for (int i = 0; i < 4; ++i) {
            p.setBrush(pads[i]);
            p.drawRoundedRect(
                QRectF(w * (0.16 + 0.38 * (i % 2)), w * (0.16 + 0.38 * (i / 2)), w * 0.3, w * 0.3),
                w * 0.05, w * 0.05);
        }
    });
    ok &= icon(icons + QStringLiteral("glimmora.ico"), [](QPainter& p, const QSize& s) {
        const qreal w = s.width();
        tile(p, s, QColor(0x1b, 0x5e, 0x57), QColor(0x08, 0x26, 0x24));
        QRadialGradient glow(QPointF(w / 2, w / 2), w * 0.42);
        glow.setColorAt(0, QColor(0xff, 0xff, 0xd8));
        glow.setColorAt(0.5, QColor(0x7b, 0xff, 0xc8));
        glow.setColorAt(1, QColor(0x7b, 0xff, 0xc8, 0));
        p.setBrush(glow);
        QPainterPath gem;
        gem.moveTo(w / 2, w * 0.1);
        gem.lineTo(w * 0.85, w / 2);
        gem.lineTo(w / 2, w * 0.9);
        gem.lineTo(w * 0.15, w / 2);
        gem.closeSubpath();
        p.drawPath(gem);
    });

    return ok ? 0 : 1;
}
