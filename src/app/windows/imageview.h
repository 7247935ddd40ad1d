#pragma once

#include <QImage>
#include <QWidget>

namespace kd {

// Shows one picture scaled to fit the view with its aspect ratio kept.
class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);

    void setImage(const QImage& image, const QString& sourcePath = QString());
    const QImage& image() const { return m_image; }
    // The file the picture came from, for tests and tooltips.
    const QString& sourcePath() const { return m_sourcePath; }

    QSize sizeHint() const override { return {160, 120}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    QString m_sourcePath;
};

} // namespace kd
