// The message a later start sends and the running launcher's end of the socket.
#include "platform/instancechannel.h"
#include "platform/instancemessage.h"
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace kd::test {
namespace {

namespace msg = instancemessage;

// Malformed messages of every kind (other version, too many paths, cut short,
// bytes after the end, relative, NUL, bad or overlong UTF-8, two messages) are
// instance-message fuzz seeds, as are odd names, one ROM and the most paths;
// fuzz_replay_tests runs them through checks of their own: what the reader
// accepts is in the one form, with absolute bounded paths, and reads the same
// in pieces. Reader and writer share the path rules.
TEST(InstanceMessage, PathListsSurviveTheWireWholeAndInPieces) {
    const QList<QStringList> lists{
        {},
        {"/r/" + QString(msg::MaxPathBytes / 2 - 2, u'\u00e9') + u'x'},
        QStringList(msg::MaxPaths, "/r/" + QString(498, u'\u00e9')),
    };
    for (const QStringList& paths : lists) {
        const std::optional<QByteArray> message = msg::encode(paths);
        ASSERT_TRUE(message.has_value()) << paths.size();
        EXPECT_LE(message->size(), msg::MaxBytes);
        EXPECT_EQ(msg::decode(*message), paths);
        // The way a socket may hand it over: one byte at a time.
        msg::Reader reader;
        for (qsizetype i = 0; i + 1 < message->size(); ++i)
            ASSERT_EQ(reader.feed(message->sliced(i, 1)), msg::Reader::State::NeedMore) << i;
        ASSERT_EQ(reader.feed(message->right(1)), msg::Reader::State::Complete);
        EXPECT_EQ(reader.paths(), paths);
        EXPECT_EQ(reader.feed("x"), msg::Reader::State::Malformed);
    }
    // Refused by the writer, beyond what the reader refuses too.
    EXPECT_FALSE(msg::encode({"/lone" + QChar(0xD800)}).has_value());
    EXPECT_FALSE(msg::encode(QStringList(msg::MaxPaths + 1, "/a.zip")).has_value());
    // Refused with a reason: a body too short for its header, an empty path.
    for (const QByteArray& body : {QByteArray(), QByteArray("\x01\x01\x00\x00", 4)}) {
        QString error;
        EXPECT_FALSE(
            msg::decode(QByteArray(QByteArray(3, '\0') + char(body.size()) + body), &error));
        EXPECT_FALSE(error.isEmpty());
    }
    // A huge length is refused before the rest arrives.
    msg::Reader reader;
    EXPECT_EQ(reader.feed(QByteArray("\x7f\xff\xff\xff", 4)), msg::Reader::State::Malformed);
}

// The running launcher's side, with a raw client standing in for a later start.
class InstanceChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        socketPath = dir.filePath("kaleidrome-launcher.socket");
    }
    // Sends `bytes` and returns what the running launcher answered.
    QByteArray send(const QByteArray& bytes) {
        QLocalSocket client;
        client.connectToServer(socketPath);
        EXPECT_TRUE(waitUntil([&] { return client.state() == QLocalSocket::ConnectedState; }));
        client.write(bytes);
        waitUntil([&] { return client.state() == QLocalSocket::UnconnectedState; });
        return client.readAll();
    }

    QTemporaryDir dir;
    QString socketPath;
};

TEST_F(InstanceChannelTest, TakesAWholeMessageAndDropsTheRestWithAReason) {
    InstanceChannel channel(socketPath);
    channel.answerTimeout = std::chrono::milliseconds(300);
    ASSERT_EQ(channel.claim({}), InstanceChannel::Role::Running) << channel.error().toStdString();
    EXPECT_EQ(QFile::permissions(socketPath) &
                  (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
              QFile::Permissions());
    QSignalSpy received(&channel, &InstanceChannel::received);
    QSignalSpy rejected(&channel, &InstanceChannel::rejected);

    EXPECT_EQ(send(*msg::encode({"/r/astrovex.zip"})), "K");
    ASSERT_TRUE(waitUntil([&] { return received.size() == 1; }));
    EXPECT_EQ(received.first().first().toStringList(), QStringList{"/r/astrovex.zip"});

    EXPECT_EQ(send("--version\n"), QByteArray());
    // Half a message, then silence: dropped once its time is up.
    EXPECT_EQ(send(msg::encode({"/r/a.zip"})->left(7)), QByteArray());
    ASSERT_TRUE(waitUntil([&] { return rejected.size() == 2; }));
    EXPECT_EQ(received.size(), 1);
}

// A later start takes the socket over only when connecting to it is refused
// (a launcher that died left it): never from a launcher too busy to take the
// connection, its queue full as under a flood.
TEST_F(InstanceChannelTest, ASocketIsTakenOverOnlyWhenNobodyListens) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(socketPath);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const auto to = reinterpret_cast<sockaddr*>(&address);
    ASSERT_EQ(::bind(fd, to, sizeof address), 0);
    ASSERT_EQ(::listen(fd, 0), 0);
    std::vector<int> queued;
    for (int client = -1; queued.size() < 64; queued.push_back(client)) {
        client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (::connect(client, to, sizeof address) != 0) {
            ::close(client);
            break;
        }
    }
    struct stat before {
    }, after{};
    ::stat(name.constData(), &before);
    InstanceChannel busy(socketPath);
    busy.answerTimeout = std::chrono::milliseconds(200);
    EXPECT_EQ(busy.claim({}), InstanceChannel::Role::Unanswered);
    EXPECT_EQ(::stat(name.constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);

    for (int client : queued)
        ::close(client);
    ::close(fd);
    InstanceChannel channel(socketPath);
    EXPECT_EQ(channel.claim({}), InstanceChannel::Role::Running) << channel.error().toStdString();
    QSignalSpy received(&channel, &InstanceChannel::received);
    EXPECT_EQ(send(*msg::encode({})), "K");
    EXPECT_TRUE(waitUntil([&] { return received.size() == 1; }));
}

// Connections beyond the few read at once are closed as they come, said once.
// (That the ones read are given up as they close and a message follows:
// FuzzReplay.EveryTargetsInputs, instancemessage.)
TEST_F(InstanceChannelTest, AFloodOfIdleConnectionsIsRefusedAtOnce) {
    InstanceChannel channel(socketPath);
    channel.answerTimeout = std::chrono::seconds(60);
    ASSERT_EQ(channel.claim({}), InstanceChannel::Role::Running) << channel.error().toStdString();
    QSignalSpy rejected(&channel, &InstanceChannel::rejected);
    std::vector<std::unique_ptr<QLocalSocket>> idle(InstanceChannel::MaxConnections);
    for (auto& socket : idle)
        (socket = std::make_unique<QLocalSocket>())->connectToServer(socketPath);
    EXPECT_EQ(send(*msg::encode({"/r/a.zip"})), QByteArray());
    EXPECT_EQ(send(*msg::encode({"/r/a.zip"})), QByteArray());
    EXPECT_EQ(rejected.size(), 1);
}

// The listener out of descriptors keeps a later start waiting in its queue
// and takes it once there are some again; one closed from under it listens
// anew. Neither leaves a later start to become a second launcher.
TEST_F(InstanceChannelTest, TheListenerOutlivesItsErrors) {
    InstanceChannel channel(socketPath);
    ASSERT_EQ(channel.claim({}), InstanceChannel::Role::Running) << channel.error().toStdString();
    QSignalSpy rejected(&channel, &InstanceChannel::rejected);
    QLocalSocket later;
    later.connectToServer(socketPath);
    ASSERT_TRUE(later.waitForConnected(5000));
    later.write(*msg::encode({}));
    later.flush();
#ifndef __SANITIZE_ADDRESS__ // the sanitizers' own checks need descriptors; with none they misfire
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 512);
    ::setrlimit(RLIMIT_NOFILE, &low);
    std::vector<int> fillers;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        fillers.push_back(fd);
    EXPECT_TRUE(waitUntil([&] { return rejected.size() == 1; }, 5000));
    for (int fd : fillers)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
#endif
    EXPECT_TRUE(waitUntil([&] { return later.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(later.readAll(), "K");

    // The listening socket, the process's only one.
    int listener = -1;
    for (const QString& entry : QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System)) {
        int listening = 0;
        socklen_t size = sizeof listening;
        if (::getsockopt(entry.toInt(), SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 &&
            listening)
            listener = entry.toInt();
    }
    ASSERT_GE(listener, 0);
    const qsizetype said = rejected.size();
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::dup2(null, listener);
    ::close(null);
    EXPECT_TRUE(waitUntil([&] { return rejected.size() == said + 1; }, 5000));
    EXPECT_EQ(send(*msg::encode({})), "K");
}

TEST_F(InstanceChannelTest, WithoutAUsableFolderTheLauncherRunsAlone) {
    InstanceChannel channel(dir.filePath("no-such-folder/kaleidrome-launcher.socket"));
    EXPECT_EQ(channel.claim({}), InstanceChannel::Role::Alone);
    EXPECT_FALSE(channel.error().isEmpty());
}

} // namespace
} // namespace kd::test
