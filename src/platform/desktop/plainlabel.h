#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace kd {

// Every label of ours is made here and shows plain text: a label left on
// Qt::AutoText reads anything that looks like markup as rich text, so an
// outside value could load a file as an image or show a link to any place.
// (Our own rich text, the About window's link, says Qt::RichText itself.)
QLabel* plainLabel(const QString& text = QString(), QWidget* parent = nullptr);

// Shows `text` in `label` as plain text, at most ShownMessageLimit characters.
void setPlainText(QLabel* label, const QString& text);

} // namespace kd
