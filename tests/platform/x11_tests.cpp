#include "platform/qtdesktop.h"
#include "platform/x11windows.h"
#include "testutil.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kd {
namespace {

using test::waitUntil;

void say(const QString& line) {
    std::printf("kdx11 %s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// Helper mode: a second copy of this binary on the X display shows a window
// named by KD_X11_HELPER_NAME, prints what its Desktop lists, then raises
// applications by name as told on standard input until that closes.
TEST(X11Helper, DISABLED_Window) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const QString name = qEnvironmentVariable("KD_X11_HELPER_NAME");
    // Becomes the class part of WM_CLASS and the name the Desktop lists us under.
    QApplication::setApplicationName(name);
    QWidget window;
    window.setWindowTitle(name);
    window.resize(240, 120);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.windowHandle()->isExposed(); }));
    say(QStringLiteral("window %1").arg(window.winId()));

    QtDesktop desktop{QString()};
    for (const RunningApplication& app : desktop.runningApplications())
        say(QStringLiteral("app %1 %2 %3").arg(app.pid).arg(app.handle).arg(app.name));
    say(QStringLiteral("listed"));

    QEventLoop loop;
    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            loop.quit();
            return;
        }
        pending.append(buffer, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QString wanted = QString::fromUtf8(pending.left(end)).section(u' ', 1);
            bool raised = false;
            for (const RunningApplication& app : desktop.runningApplications()) {
                if (app.name == wanted) {
                    raised = desktop.raiseApplication(app);
                    break;
                }
            }
            say(QStringLiteral("raised %1").arg(int(raised)));
        }
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
}

// One helper process and the lines it printed.
class Helper {
public:
    Helper(const QString& name, const QString& display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("KD_X11_HELPER_NAME"), name);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(QStringLiteral("kdx11 ")))
                    lines.append(line.mid(6));
            }
        });
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--gtest_also_run_disabled_tests"),
                       QStringLiteral("--gtest_filter=X11Helper.DISABLED_Window")});
    }
    ~Helper() {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished();
    }
    bool waitFor(const QString& prefix) {
        return waitUntil([&] { return !lineStarting(prefix).isEmpty(); }, 15000);
    }
    QString lineStarting(const QString& prefix) const {
        for (const QString& line : lines) {
            if (line.startsWith(prefix))
                return line;
        }
        return {};
    }
    quint64 window() const { return lineStarting(QStringLiteral("window ")).mid(7).toULongLong(); }
    QStringList apps() const { return lines.filter(QRegularExpression(QStringLiteral("^app "))); }
    void command(const QString& line) { process.write(line.toUtf8() + '\n'); }

    QProcess process;
    QStringList lines;
};

TEST(X11Desktop, ListsOtherWindowsByClassAndRaisesThem) {
    const QString display = qEnvironmentVariable("KD_TEST_X11_DISPLAY");
    if (display.isEmpty())
        GTEST_SKIP() << "KD_TEST_X11_DISPLAY is not set";
    X11Session x11(display.toLocal8Bit());
    ASSERT_TRUE(x11.isOpen()) << "no EWMH window manager on " << display.toStdString();

    const QString alphaName = QStringLiteral("Kd Probe Alpha");
    const QString betaName = QStringLiteral("Kd Probe Beta");
    Helper alpha(alphaName, display);
    ASSERT_TRUE(alpha.waitFor(QStringLiteral("window ")));
    const quint64 alphaWindow = alpha.window();
    const auto managed = [&](quint64 window) {
        for (const X11Session::Client& client : x11.clients()) {
            if (client.window == window)
                return true;
        }
        return false;
    };
    ASSERT_TRUE(waitUntil([&] { return managed(alphaWindow); }));

    Helper beta(betaName, display);
    ASSERT_TRUE(beta.waitFor(QStringLiteral("listed")));
    const qint64 alphaPid = alpha.process.processId();
    const qint64 betaPid = beta.process.processId();
    const QStringList apps = beta.apps();
    ASSERT_FALSE(apps.isEmpty());
    // Itself first, with no window handle; its own window is not listed again.
    EXPECT_EQ(apps.first(), QStringLiteral("app %1 0 %2").arg(betaPid).arg(betaName));
    EXPECT_TRUE(
        apps.contains(QStringLiteral("app %1 %2 %3").arg(alphaPid).arg(alphaWindow).arg(alphaName)))
        << apps.join(u'\n').toStdString();
    EXPECT_EQ(apps.filter(QStringLiteral("app %1 ").arg(betaPid)).size(), 1);

    const quint64 betaWindow = beta.window();
    ASSERT_TRUE(waitUntil([&] { return x11.activeWindow() == betaWindow; }))
        << "a new window should have the focus";
    // Openbox refuses to move the focus within a second of the user time a
    // window had when it was mapped ("the user is working in it").
    waitUntil([] { return false; }, 1200);
    beta.command(QStringLiteral("raise ") + alphaName);
    ASSERT_TRUE(beta.waitFor(QStringLiteral("raised")));
    EXPECT_EQ(beta.lineStarting(QStringLiteral("raised")), QStringLiteral("raised 1"));
    EXPECT_TRUE(waitUntil([&] { return x11.activeWindow() == alphaWindow; }))
        << "active " << x11.activeWindow() << ", alpha " << alphaWindow << ", beta " << betaWindow;

    // The launcher's own entry raises its own windows.
    beta.lines.clear();
    beta.command(QStringLiteral("raise ") + betaName);
    ASSERT_TRUE(beta.waitFor(QStringLiteral("raised")));
    EXPECT_EQ(beta.lineStarting(QStringLiteral("raised")), QStringLiteral("raised 1"));
    EXPECT_TRUE(waitUntil([&] { return x11.activeWindow() == betaWindow; }));
}

TEST(X11Desktop, WithoutX11OnlyTheLauncherIsListed) {
    if (QGuiApplication::platformName() == QStringLiteral("xcb"))
        GTEST_SKIP() << "runs on a platform without X11";
    QtDesktop desktop{QString()};
    const QList<RunningApplication> apps = desktop.runningApplications();
    ASSERT_EQ(apps.size(), 1);
    EXPECT_EQ(apps[0].name, QStringLiteral("Kaleidrome Launcher"));
    EXPECT_EQ(apps[0].pid, QCoreApplication::applicationPid());
    EXPECT_FALSE(desktop.raiseApplication({QStringLiteral("Kaleidrome"), 1, 42}));
}

TEST(X11Desktop, UnreachableDisplayIsNotAnError) {
    X11Session x11("unix:/nonexistent/socket:7");
    EXPECT_FALSE(x11.isOpen());
    EXPECT_TRUE(x11.clients().isEmpty());
    EXPECT_FALSE(x11.activate(1));
    EXPECT_EQ(x11.activeWindow(), 0u);
}

} // namespace
} // namespace kd
