#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace kd {
namespace {

const QString bundle = QStringLiteral(KD_SOURCE_DIR "/resources/bundle/");

TEST(BundleMedia, PicturesReadWithQtsOwnPluginsAtTheirSize) {
    const std::pair<QSize, QStringList> pictures[] = {
        {{320, 240},
         {"no_image.jpg", "kdromepak/Snaps/astrovex.png", "kdromepak/Snaps/astrovex.jpg",
          "kdromepak/Snaps/boltrunner.jpg", "kdromepak/Snaps/cometkai.png",
          "kdromepak/Snaps/drumtek.jpg", "kdromepak/Snaps/fenlight.png",
          "kdromepak/Snaps/hexaball.png"}},
        {{32, 32},
         {"no_icon.ico", "kdromepak/Icons/astrovex.ico", "kdromepak/Icons/boltrunner.ico",
          "kdromepak/Icons/cometkai.ico", "kdromepak/Icons/drumtek.ico",
          "kdromepak/Icons/glimmora.ico"}},
        {{128, 128}, {"kaleidrome-launcher.png"}},
    };
    for (const auto& [size, files] : pictures)
        for (const QString& file : files) {
            SCOPED_TRACE(file.toStdString());
            const QString path = bundle + file;
            ASSERT_TRUE(QFileInfo::exists(path));
            EXPECT_LT(QFileInfo(path).size(), 40 * 1024);
            QImageReader reader(path);
            const QImage image = reader.read();
            ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
            EXPECT_EQ(image.size(), size);
        }
}

TEST(BundleMedia, IconsCarryBothSizes) {
    QImageReader reader(bundle + "no_icon.ico");
    QSet<int> widths;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        widths.insert(reader.read().width());
    }
    EXPECT_EQ(widths, (QSet<int>{16, 32}));
}

// The placeholders carry no words (they show in every language): below the
// framed picture each row of the snapshot is one shade, where letters would
// be strokes. The missing icon is no prohibition sign: no light ring.
TEST(BundleMedia, PlaceholdersCarryNoWordsAndNoProhibitionSign) {
    const QImage picture(bundle + "no_image.jpg");
    ASSERT_FALSE(picture.isNull());
    for (int y = 160; y < 200; ++y) {
        int lightest = 0, darkest = 255;
        for (int x = 40; x < 280; ++x) {
            lightest = std::max(lightest, qGray(picture.pixel(x, y)));
            darkest = std::min(darkest, qGray(picture.pixel(x, y)));
        }
        EXPECT_LT(lightest - darkest, 16) << "row " << y;
    }
    const QImage icon(bundle + "no_icon.ico");
    ASSERT_EQ(icon.width(), 32);
    int lightOnRing = 0;
    for (int step = 0; step < 16; ++step) {
        const double angle = step * M_PI / 8;
        const QRgb pixel =
            icon.pixel(qRound(16 + 9.6 * std::cos(angle)), qRound(16 + 9.6 * std::sin(angle)));
        lightOnRing += qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
    }
    EXPECT_LT(lightOnRing, 8);
}

TEST(BundleMedia, TheTwoAstrovexSnapshotsDiffer) {
    // Tests of the artwork order tell them apart by the colour of the top left.
    const QImage png(bundle + "kdromepak/Snaps/astrovex.png");
    const QImage jpg(bundle + "kdromepak/Snaps/astrovex.jpg");
    ASSERT_FALSE(png.isNull());
    ASSERT_FALSE(jpg.isNull());
    EXPECT_LT(qRed(png.pixel(2, 2)), 64);
    EXPECT_GT(qRed(jpg.pixel(2, 2)), 192);
}

TEST(BundleMedia, SoundsAreShortPcmWaves) {
    for (const char* name : {"sounds/Pop.wav", "sounds/Tink.wav"}) {
        QFile file(bundle + QString::fromUtf8(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QByteArray data = file.readAll();
        EXPECT_LT(data.size(), 30 * 1024) << name;
        EXPECT_TRUE(data.startsWith("RIFF")) << name;
        EXPECT_EQ(data.mid(8, 8), QByteArray("WAVEfmt ")) << name;
    }
}

} // namespace
} // namespace kd
