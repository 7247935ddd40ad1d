#include "platform/desktop/qtdesktop.h"
#include "platform/desktop/x11windows.h"
#include "testutil.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTest>
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
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
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
    say("listed");

    // One request and its answer at a time, so a line is all there is to read.
    QEventLoop loop;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[256];
        if (!std::fgets(line, sizeof line, stdin))
            return loop.quit();
        const QString wanted = QString::fromUtf8(line).trimmed().section(u' ', 1);
        const QList<RunningApplication> apps = desktop.runningApplications();
        const auto app = std::find_if(apps.begin(), apps.end(), [&](const RunningApplication& a) {
            return a.name == wanted;
        });
        say(QStringLiteral("raised %1")
                .arg(int(app != apps.end() && desktop.raiseApplication(*app))));
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
}

// One helper process and the lines it printed.
class Helper {
public:
    Helper(const QString& name, const QString& display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("KD_X11_HELPER_NAME", name);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith("kdx11 "))
                    lines.append(line.mid(6));
            }
        });
        process.start(
            QCoreApplication::applicationFilePath(),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=X11Helper.DISABLED_Window"});
    }
    ~Helper() {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished();
    }
    QString lineStarting(const QString& prefix) const {
        return lines.filter(QRegularExpression(u'^' + prefix)).value(0);
    }
    bool waitFor(const QString& prefix) {
        return waitUntil([&] { return !lineStarting(prefix).isEmpty(); }, 15000);
    }
    quint64 window() const { return lineStarting("window ").mid(7).toULongLong(); }
    // Has the helper raise the application of that name; its answer.
    QString raise(const QString& name) {
        lines.clear();
        process.write("raise " + name.toUtf8() + '\n');
        return waitFor("raised") ? lineStarting("raised") : QString();
    }

    QProcess process;
    QStringList lines;
};

TEST(X11Desktop, ListsOtherWindowsByClassAndRaisesThem) {
    const QString display = qEnvironmentVariable("KD_TEST_X11_DISPLAY");
    if (display.isEmpty())
        GTEST_SKIP() << "KD_TEST_X11_DISPLAY is not set";
    X11Session x11(display.toLocal8Bit());
    ASSERT_TRUE(x11.isOpen()) << "no EWMH window manager on " << display.toStdString();

    const QString alphaName = "Kd Probe Alpha";
    const QString betaName = "Kd Probe Beta";
    Helper alpha(alphaName, display);
    ASSERT_TRUE(alpha.waitFor("window "));
    const quint64 alphaWindow = alpha.window();
    ASSERT_TRUE(waitUntil([&] {
        const QList<X11Session::Client> clients = x11.clients();
        return std::any_of(clients.begin(), clients.end(),
                           [&](const X11Session::Client& c) { return c.window == alphaWindow; });
    }));

    Helper beta(betaName, display);
    ASSERT_TRUE(beta.waitFor("listed"));
    const qint64 alphaPid = alpha.process.processId();
    const qint64 betaPid = beta.process.processId();
    const QStringList apps = beta.lines.filter(QRegularExpression("^app "));
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
    QTest::qWait(1200);
    EXPECT_EQ(beta.raise(alphaName), "raised 1");
    EXPECT_TRUE(waitUntil([&] { return x11.activeWindow() == alphaWindow; }))
        << "active " << x11.activeWindow() << ", alpha " << alphaWindow << ", beta " << betaWindow;

    // The launcher's own entry raises its own windows.
    EXPECT_EQ(beta.raise(betaName), "raised 1");
    EXPECT_TRUE(waitUntil([&] { return x11.activeWindow() == betaWindow; }));
}

TEST(X11Desktop, WithoutX11OnlyTheLauncherIsListed) {
    X11Session unreachable("unix:/nonexistent/socket:7");
    EXPECT_FALSE(unreachable.isOpen());
    EXPECT_TRUE(unreachable.clients().isEmpty());
    EXPECT_FALSE(unreachable.activate(1));
    EXPECT_EQ(unreachable.activeWindow(), 0u);

    if (QGuiApplication::platformName() == "xcb")
        GTEST_SKIP() << "the rest runs on a platform without X11";
    QtDesktop desktop{QString()};
    const QList<RunningApplication> apps = desktop.runningApplications();
    ASSERT_EQ(apps.size(), 1);
    EXPECT_EQ(apps[0].name, "Kaleidrome Launcher");
    EXPECT_EQ(apps[0].pid, QCoreApplication::applicationPid());
    EXPECT_FALSE(desktop.raiseApplication({"Kaleidrome", 1, 42}));
}

} // namespace
} // namespace kd
