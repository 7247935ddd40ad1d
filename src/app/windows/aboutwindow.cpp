#include "app/windows/aboutwindow.h"

#include "platform/desktop/plainlabel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kd {

AboutWindow::AboutWindow(const QString& homePage, const QString& projectPage, QWidget* parent)
    : ToolWindow(QStringLiteral("aboutWindow"), parent) {
    setWindowTitle(tr("About Kaleidrome Launcher"));

    auto* icon = plainLabel();
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto* name = plainLabel(QStringLiteral("Kaleidrome Launcher"));
    QFont larger = name->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.4);
    larger.setBold(true);
    name->setFont(larger);
    auto* version = plainLabel(tr("Version %1").arg(QStringLiteral(KD_VERSION)));
    version->setObjectName(QStringLiteral("version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* what = plainLabel(tr("Starts games in the Kaleidrome arcade emulator."));
    auto* licence = plainLabel(tr("Licensed under the GNU General Public License, version 3 or "
                                  "later (GPL-3.0-or-later)."));
    licence->setObjectName(QStringLiteral("licence"));
    licence->setWordWrap(true);

    auto link = [this](const QString& label, const QString& address) {
        auto* text = new QLabel(QStringLiteral("%1: <a href=\"%2\">%2</a>")
                                    .arg(label.toHtmlEscaped(), address.toHtmlEscaped()));
        // Our own markup, the one rich text of the launcher.
        text->setTextFormat(Qt::RichText);
        text->setTextInteractionFlags(Qt::TextBrowserInteraction);
        connect(text, &QLabel::linkActivated, this, &AboutWindow::linkClicked);
        return text;
    };

    auto* close = new QPushButton(tr("&Close"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(what);
    texts->addWidget(licence);
    texts->addSpacing(8);
    texts->addWidget(link(tr("Home page"), homePage));
    texts->addWidget(link(tr("Project page"), projectPage));
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace kd
