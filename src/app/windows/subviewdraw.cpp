#include "app/windows/subviewdraw.h"

#include <QLinearGradient>
#include <QPainter>

namespace kd {

SubViewDraw::SubViewDraw(QWidget* parent) : QWidget(parent) {}

void SubViewDraw::paintEvent(QPaintEvent*) {
    // The whole bounds, whatever part was asked for: the gradient depends on the height.
    const QRectF bounds = rect();
    QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
    gradient.setColorAt(0.0, startingColor());
    gradient.setColorAt(1.0, endingColor());
    QPainter painter(this);
    painter.fillRect(bounds, gradient);
}

} // namespace kd
