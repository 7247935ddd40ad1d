#pragma once

#include <QColor>
#include <QWidget>

namespace kd {

// A background view: one vertical gradient over its whole bounds, opaque
// blue-grey along the top edge to fully transparent light grey along the bottom.
class SubViewDraw : public QWidget {
    Q_OBJECT
public:
    explicit SubViewDraw(QWidget* parent = nullptr);

    static QColor startingColor() {
        return QColor::fromRgbF(160 / 255.0, 165 / 255.0, 200 / 255.0, 1.0);
    }
    static QColor endingColor() {
        return QColor::fromRgbF(237 / 255.0, 237 / 255.0, 237 / 255.0, 0.0);
    }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kd
