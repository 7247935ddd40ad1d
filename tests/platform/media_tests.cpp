#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <cctype>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace kd {
namespace {

const QString bundle = QStringLiteral(KD_SOURCE_DIR "/resources/bundle/");

struct Picture {
    const char* path;
    int width;
    int height;
};

void PrintTo(const Picture& picture, std::ostream* out) {
    *out << picture.path;
}

class BundlePictures : public ::testing::TestWithParam<Picture> {};

TEST_P(BundlePictures, ReadWithQtsOwnPluginsAtTheirSize) {
    const QString path = bundle + QString::fromUtf8(GetParam().path);
    ASSERT_TRUE(QFileInfo::exists(path)) << GetParam().path;
    EXPECT_LT(QFileInfo(path).size(), 40 * 1024);
    QImageReader reader(path);
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << GetParam().path << ": " << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), QSize(GetParam().width, GetParam().height));
}

INSTANTIATE_TEST_SUITE_P(All, BundlePictures,
                         ::testing::Values(Picture{"no_image.jpg", 320, 240},
                                           Picture{"no_icon.ico", 32, 32},
                                           Picture{"kaleidrome-launcher.png", 128, 128},
                                           Picture{"kdromepak/Snaps/astrovex.png", 320, 240},
                                           Picture{"kdromepak/Snaps/astrovex.jpg", 320, 240},
                                           Picture{"kdromepak/Snaps/boltrunner.jpg", 320, 240},
                                           Picture{"kdromepak/Snaps/cometkai.png", 320, 240},
                                           Picture{"kdromepak/Snaps/drumtek.jpg", 320, 240},
                                           Picture{"kdromepak/Snaps/fenlight.png", 320, 240},
                                           Picture{"kdromepak/Snaps/hexaball.png", 320, 240},
                                           Picture{"kdromepak/Icons/astrovex.ico", 32, 32},
                                           Picture{"kdromepak/Icons/boltrunner.ico", 32, 32},
                                           Picture{"kdromepak/Icons/cometkai.ico", 32, 32},
                                           Picture{"kdromepak/Icons/drumtek.ico", 32, 32},
                                           Picture{"kdromepak/Icons/glimmora.ico", 32, 32}),
                         [](const ::testing::TestParamInfo<Picture>& info) {
                             std::string name;
                             for (const char* c = info.param.path; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(BundleMedia, IconsCarryBothSizes) {
    QImageReader reader(bundle + QStringLiteral("no_icon.ico"));
    QSet<int> widths;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        widths.insert(reader.read().width());
    }
    EXPECT_EQ(widths, (QSet<int>{16, 32}));
}

TEST(BundleMedia, TheTwoAstrovexSnapshotsDiffer) {
    // Tests of the artwork order tell them apart by the colour of the top left.
    const QImage png(bundle + QStringLiteral("kdromepak/Snaps/astrovex.png"));
    const QImage jpg(bundle + QStringLiteral("kdromepak/Snaps/astrovex.jpg"));
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
