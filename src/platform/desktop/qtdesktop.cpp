#include "platform/desktop/qtdesktop.h"

#include "platform/desktop/filemanager.h"
#include "platform/desktop/notifications.h"
#include "platform/desktop/recentdocuments.h"
#include "platform/desktop/x11windows.h"
#include "platform/showntext.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <syslog.h>

namespace kd {

namespace {

bool onX11() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

// Platforms without desktop services (offscreen, minimal) answer false at once;
// the freedesktop opener is still there for them.
bool openWithDesktop(const QUrl& url) {
    if (QDesktopServices::openUrl(url))
        return true;
    return QProcess::startDetached(QStringLiteral("xdg-open"),
                                   {QString::fromUtf8(url.toEncoded())});
}

bool openLocalPath(const QString& path) {
    if (path.isEmpty())
        return false;
    return openWithDesktop(QUrl::fromLocalFile(path));
}

// Room a title bar takes beside the title (icon, buttons, margins), in lines
// of the title's font.
constexpr int TitleBarAllowance = 8;

QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
    case AlertStyle::Informational:
        return QMessageBox::Information;
    case AlertStyle::Critical:
        return QMessageBox::Critical;
    case AlertStyle::Warning:
        break;
    }
    return QMessageBox::Warning;
}

bool hasMnemonic(const QString& title) {
    for (qsizetype i = title.indexOf(u'&'); i >= 0 && i + 1 < title.size();
         i = title.indexOf(u'&', i + 2)) {
        if (title.at(i + 1) != u'&')
            return true;
    }
    return false;
}

// Each button gets an Alt key of its own, in any language: the first letter of
// a word that no other button has taken, else any free letter.
QStringList withMnemonics(const QStringList& titles) {
    QSet<QChar> taken;
    for (const QString& title : titles) {
        const qsizetype mark = title.indexOf(u'&');
        if (hasMnemonic(title))
            taken.insert(title.at(mark + 1).toLower());
    }
    QStringList marked;
    for (QString title : titles) {
        if (!hasMnemonic(title)) {
            qsizetype chosen = -1;
            for (bool wordStartsOnly : {true, false}) {
                for (qsizetype i = 0; chosen < 0 && i < title.size(); ++i) {
                    const bool wordStart = i == 0 || !title.at(i - 1).isLetterOrNumber();
                    if (title.at(i).isLetterOrNumber() && (wordStart || !wordStartsOnly) &&
                        !taken.contains(title.at(i).toLower()))
                        chosen = i;
                }
            }
            if (chosen >= 0) {
                taken.insert(title.at(chosen).toLower());
                title.insert(chosen, u'&');
            }
        }
        marked.append(title);
    }
    return marked;
}

QStringList patternsFor(const QStringList& types) {
    QStringList patterns;
    for (const QString& type : types) {
        if (!type.isEmpty())
            patterns.append(QStringLiteral("*.") + type);
    }
    return patterns;
}

// Our own dialog on every platform, so behaviour (and tests) do not depend on
// which desktop portal happens to be installed.
void prepare(QFileDialog& dialog, const QStringList& types) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList patterns = patternsFor(types);
    if (!patterns.isEmpty())
        dialog.setNameFilter(patterns.join(u' '));
}

std::optional<QString> chosenFile(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files.first();
}

bool raiseOwnWindows() {
    QWidget* active = QApplication::activeWindow();
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (widget->isVisible() && widget != active && (type == Qt::Window || type == Qt::Dialog))
            windows.append(widget);
    }
    // Raised last, the active window stays on top.
    if (active && active->isVisible())
        windows.append(active);
    for (QWidget* window : windows) {
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
    }
    return !windows.isEmpty();
}

} // namespace

QtDesktop::QtDesktop(QString resourcePath)
    : m_resources(std::move(resourcePath)), m_sounds(m_resources + QStringLiteral("/sounds")) {}

QtDesktop::~QtDesktop() = default;

void QtDesktop::notify(const QString& summary, const QString& body, const QString& actionLabel,
                       std::function<void()> onAction) {
    if (!m_notifications)
        m_notifications = std::make_unique<Notifications>(QDBusConnection::sessionBus());
    m_notifications->notify(summary, body, actionLabel, std::move(onAction));
}

int QtDesktop::runAlert(const AlertRequest& request) {
    QMessageBox box(QApplication::activeWindow());
    box.setIcon(iconFor(request.style));
    // Alerts carry names, paths and errors from outside: never markup, images or
    // links. The informative text gets a label of its own, on Qt::AutoText.
    box.setTextFormat(Qt::PlainText);
    box.setText(shownText(request.message, ShownMessageLimit));
    box.setInformativeText(shownText(request.informativeText, ShownMessageLimit));
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    // The button that does nothing has the reject role, so the platform's
    // button order places it, whatever order the request names them in.
    QList<QAbstractButton*> buttons;
    const QStringList titles = withMnemonics(request.buttons);
    for (qsizetype i = 0; i < titles.size(); ++i) {
        QPushButton* button = nullptr;
        if (!titles[i].isEmpty()) {
            button = box.addButton(titles[i], i == request.cancelButton ? QMessageBox::RejectRole
                                                                        : QMessageBox::AcceptRole);
        }
        buttons.append(button);
    }
    if (QPushButton* preferred = qobject_cast<QPushButton*>(buttons.value(request.defaultButton)))
        box.setDefaultButton(preferred);
    if (QAbstractButton* cancel = buttons.value(request.cancelButton))
        box.setEscapeButton(cancel);
    // Wide enough for its title beside the window manager's buttons: a short
    // alert would otherwise show the launcher's name cut short.
    box.setWindowTitle(QGuiApplication::applicationDisplayName());
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const QFontMetrics title(titleFont);
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid)
        grid->addItem(new QSpacerItem(title.horizontalAdvance(box.windowTitle()) +
                                          TitleBarAllowance * title.height(),
                                      0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    return clicked ? int(buttons.indexOf(clicked)) : -1;
}

std::optional<QString> QtDesktop::runOpenPanel(const OpenPanelRequest& request) {
    QFileDialog dialog(QApplication::activeWindow());
    prepare(dialog, request.allowedTypes);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's dialog picks files or folders, not both: files win, as the request's default.
    if (request.chooseDirectories && !request.chooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, request.prompt);
    if (!request.startDirectory.isEmpty())
        dialog.setDirectory(request.startDirectory);
    return chosenFile(dialog);
}

std::optional<QString> QtDesktop::runSavePanel(const SavePanelRequest& request) {
    QFileDialog dialog(QApplication::activeWindow());
    prepare(dialog, request.allowedTypes);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!request.allowedTypes.isEmpty())
        dialog.setDefaultSuffix(request.allowedTypes.first());
    if (!request.startDirectory.isEmpty())
        dialog.setDirectory(request.startDirectory);
    if (!request.suggestedName.isEmpty())
        dialog.selectFile(request.suggestedName);
    return chosenFile(dialog);
}

std::optional<int> QtDesktop::runChoice(const ChoiceRequest& request) {
    QDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(QStringLiteral("choiceDialog"));
    dialog.setWindowTitle(QApplication::applicationDisplayName());
    auto* layout = new QVBoxLayout(&dialog);
    for (const QString& text : {request.message, request.informativeText}) {
        auto* label = new QLabel(text);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("choiceList"));
    list->addItems(request.items);
    list->setCurrentRow(0);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* accept = buttons->addButton(request.acceptButton, QDialogButtonBox::AcceptRole);
    accept->setDefault(true);
    accept->setEnabled(!request.items.isEmpty());
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    // Return or a double click on a line takes it.
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    buttons->button(QDialogButtonBox::Cancel)->setAutoDefault(false);
    layout->addWidget(buttons);
    // Wide enough for a path in the text without wrapping every few words.
    dialog.resize(dialog.fontMetrics().averageCharWidth() * 70, dialog.sizeHint().height());
    list->setFocus();
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return std::nullopt;
    return list->currentRow();
}

void QtDesktop::beep() {
    QApplication::beep();
}

void QtDesktop::playSound(const QString& name) {
    if (m_sounds.play(name) || m_soundFailureLogged)
        return;
    m_soundFailureLogged = true;
    systemLog(QStringLiteral("Sound \"") + name +
              QStringLiteral("\" cannot be played (no such sound, or no sound device); "
                             "later failures are not logged"));
}

void QtDesktop::systemLog(const QString& line) {
    static const bool opened = [] {
        openlog("kaleidrome-launcher", LOG_PID, LOG_USER);
        return true;
    }();
    Q_UNUSED(opened);
    const QByteArray text = line.toUtf8();
    syslog(LOG_NOTICE, "%s", text.constData());
    std::fprintf(stderr, "%s\n", text.constData());
    std::fflush(stderr);
}

bool QtDesktop::openPath(const QString& path) {
    return openLocalPath(path);
}

bool QtDesktop::openUrl(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    if (url.isEmpty() || !parsed.isValid() || parsed.scheme().isEmpty())
        return false;
    return openWithDesktop(parsed);
}

bool QtDesktop::revealInFileViewer(const QString& item, const QString& root) {
    const std::optional<RevealTarget> target = revealTargetFor(item, root);
    if (!target)
        return false;
    // The fallback may run after this object is gone: it holds only the folder.
    return requestReveal(QDBusConnection::sessionBus(), *target,
                         [folder = target->folder] { return openLocalPath(folder); });
}

QList<RunningApplication> QtDesktop::runningApplications() {
    QString ownName = QGuiApplication::applicationDisplayName();
    if (ownName.isEmpty())
        ownName = QCoreApplication::applicationName();
    const qint64 ownPid = QCoreApplication::applicationPid();
    QList<RunningApplication> result{{ownName, ownPid, 0}};
    if (!onX11()) {
        // Other programs' windows are the compositor's business there.
        if (!std::exchange(m_notX11Said, true))
            systemLog(QStringLiteral("Other applications' windows are not looked for or raised: "
                                     "the display is not X11 but ") +
                      QGuiApplication::platformName());
        return result;
    }
    X11Session session;
    for (const X11Session::Client& client : session.clients()) {
        if (client.pid != ownPid)
            result.append({client.name, client.pid, client.window});
    }
    return result;
}

bool QtDesktop::raiseApplication(const RunningApplication& application) {
    if (application.pid == QCoreApplication::applicationPid())
        return raiseOwnWindows();
    if (!onX11() || application.handle == 0)
        return false;
    return X11Session().activate(application.handle);
}

void QtDesktop::noteRecentDocument(const QString& path) {
    QString error;
    addRecentDocument(recentlyUsedFile(), path, &error);
    // Said once, not at every game start while the list stays unusable.
    if (!error.isEmpty() && error != m_recentDocumentsError)
        systemLog(QStringLiteral("Recent documents not updated: ") + error);
    m_recentDocumentsError = error;
}

} // namespace kd
