// The About window: the launcher's version and licence, and the emulator
// project's two addresses.
#include "app/appdelegate.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kd {

void AppDelegate::buildAboutWindow() {
    auto* about = new QWidget;
    m_topLevelWindows.emplace_back(about);
    aboutWindow = about;
    about->setObjectName(QStringLiteral("aboutWindow"));
    about->setWindowTitle(tr("About Kaleidrome Launcher"));

    auto* icon = new QLabel;
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(QStringLiteral("<b>%1</b>").arg(LauncherName));
    QFont larger = name->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.4);
    name->setFont(larger);
    auto* version = new QLabel(tr("Version %1").arg(QStringLiteral(KD_VERSION)));
    version->setObjectName(QStringLiteral("version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* what = new QLabel(tr("Starts games in the Kaleidrome arcade emulator."));
    auto* licence = new QLabel(tr("Licensed under the GNU General Public License, version 3 or "
                                  "later (GPL-3.0-or-later)."));
    licence->setObjectName(QStringLiteral("licence"));
    licence->setWordWrap(true);

    // The links open through the launcher, so a failure is said, not lost.
    auto link = [this](const QString& label, const QString& address) {
        auto* text = new QLabel(QStringLiteral("%1: <a href=\"%2\">%2</a>")
                                    .arg(label.toHtmlEscaped(), address.toHtmlEscaped()));
        text->setTextInteractionFlags(Qt::TextBrowserInteraction);
        connect(text, &QLabel::linkActivated, this, [this, text](const QString& href) {
            href == HomePage ? openURL(text) : openURL2(text);
        });
        return text;
    };

    auto* close = new QPushButton(tr("Close"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, about, &QWidget::close);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(what);
    texts->addWidget(licence);
    texts->addSpacing(8);
    texts->addWidget(link(tr("Home page"), HomePage));
    texts->addWidget(link(tr("Project page"), ProjectPage));
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(about);
    layout->addLayout(top);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    makeClosableFromKeyboard(about);
}

void AppDelegate::show_About(QObject*) {
    showWindow(aboutWindow);
}

} // namespace kd
