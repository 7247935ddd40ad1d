#include "app/windows/imageview.h"

#include "platform/showntext.h"

#include <QPainter>

namespace kd {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ImageView::setImage(const QImage& image, const QString& sourcePath) {
    m_image = image;
    m_sourcePath = sourcePath;
    setToolTip(plainToolTip(sourcePath));
    update();
}

void ImageView::paintEvent(QPaintEvent*) {
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize fitted = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                       fitted);
    painter.drawImage(target, m_image);
}

} // namespace kd
