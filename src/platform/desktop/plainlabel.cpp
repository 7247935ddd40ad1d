#include "platform/desktop/plainlabel.h"

#include "platform/showntext.h"

#include <QLabel>

namespace kd {

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    setPlainText(label, text);
    return label;
}

void setPlainText(QLabel* label, const QString& text) {
    label->setTextFormat(Qt::PlainText);
    label->setText(shownText(text, ShownMessageLimit));
}

} // namespace kd
