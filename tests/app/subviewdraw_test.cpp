#include "app/subviewdraw.h"

#include <QImage>
#include <gtest/gtest.h>

namespace kd {
namespace {

// The background runs from opaque blue-grey at the top edge to transparent
// light grey at the bottom, the same across every row, at any height.
TEST(SubViewDraw, PaintsOneVerticalGradientOverItsWholeHeight) {
    for (const int height : {40, 300}) {
        SCOPED_TRACE(height);
        SubViewDraw view;
        view.resize(30, height);
        QImage image(view.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren); // no window background

        const QColor top = image.pixelColor(15, 0);
        const int step = 255 / height + 2; // a pixel row of the gradient
        EXPECT_GE(top.alpha(), 255 - step);
        EXPECT_NEAR(top.red(), 160, 3);
        EXPECT_NEAR(top.green(), 165, 3);
        EXPECT_NEAR(top.blue(), 200, 3);
        EXPECT_LE(image.pixelColor(15, height - 1).alpha(), step);
        EXPECT_NEAR(image.pixelColor(15, height / 2).alpha(), 128, 10);
        for (const int y : {0, height / 2, height - 1})
            EXPECT_EQ(image.pixel(0, y), image.pixel(29, y)) << y;
    }
}

} // namespace
} // namespace kd
