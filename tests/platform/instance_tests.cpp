// The message a later start sends and the running launcher's end of the socket.
#include "platform/instancechannel.h"
#include "platform/instancemessage.h"
#include "support/testbundle.h"
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kd::test {
namespace {

namespace msg = instancemessage;

// A message body framed with its length, for hand-made malformed messages.
QByteArray framed(const QByteArray& body) {
    QByteArray length(4, '\0');
    qToBigEndian<quint32>(quint32(body.size()), length.data());
    return length + body;
}

TEST(InstanceMessage, PathListsSurviveTheWireWholeAndInPieces) {
    const QList<QStringList> lists{
        {},
        {"/home/ana/ROMs/astrovex.zip"},
        {"/r/with blanks/and\nnewline.zip", "/r/caf\u00e9 \u65e5\u672c.zip", "/"},
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
}

TEST(InstanceMessage, OnlyAbsoluteBoundedPathsAreSent) {
    for (const QStringList& paths :
         {QStringList{"relative.zip"}, QStringList{""}, QStringList{QStringLiteral("/a\0b")},
          QStringList{"/" + QString(msg::MaxPathBytes, u'x')},
          QStringList{QStringLiteral("/lone") + QChar(0xD800)},
          QStringList(msg::MaxPaths + 1, "/a.zip")})
        EXPECT_FALSE(msg::encode(paths).has_value()) << paths.value(0).toStdString();
}

TEST(InstanceMessage, AnythingButTheOneFormIsMalformed) {
    const QByteArray path("\x00\x06/a.zip", 8);
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"empty body", framed("")},
        {"other version", framed(QByteArray("\x02\x00", 2))},
        {"too many paths", framed(QByteArray("\x01\x09", 2))},
        {"count beyond the paths", framed(QByteArray("\x01\x02", 2) + path)},
        {"path cut short", framed(QByteArray("\x01\x01\x00\x09/a.zip", 10))},
        {"bytes after the last path", framed(QByteArray("\x01\x01", 2) + path + "!")},
        {"relative path", framed(QByteArray("\x01\x01\x00\x05"
                                            "a.zip",
                                            9))},
        {"empty path", framed(QByteArray("\x01\x01\x00\x00", 4))},
        {"NUL in a path", framed(QByteArray("\x01\x01\x00\x03/\x00z", 7))},
        {"invalid UTF-8", framed(QByteArray("\x01\x01\x00\x03/\xC3z", 7))},
        {"overlong UTF-8", framed(QByteArray("\x01\x01\x00\x03/\xC0\xAF", 7))},
        {"two messages", framed(QByteArray("\x01\x00", 2)) + framed(QByteArray("\x01\x00", 2))},
        {"announces more than allowed", QByteArray("\x00\x00\x20\x00", 4)},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(msg::decode(c.bytes, &error).has_value()) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
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

TEST_F(InstanceChannelTest, ASocketLeftByACrashIsTakenOver) {
    // What a launcher that died leaves: the socket file with nobody behind it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(socketPath);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(socketPath));

    InstanceChannel channel(socketPath);
    EXPECT_EQ(channel.claim({}), InstanceChannel::Role::Running) << channel.error().toStdString();
    QSignalSpy received(&channel, &InstanceChannel::received);
    EXPECT_EQ(send(*msg::encode({})), "K");
    EXPECT_TRUE(waitUntil([&] { return received.size() == 1; }));
}

TEST_F(InstanceChannelTest, WithoutAUsableFolderTheLauncherRunsAlone) {
    InstanceChannel channel(dir.filePath("no-such-folder/kaleidrome-launcher.socket"));
    EXPECT_EQ(channel.claim({}), InstanceChannel::Role::Alone);
    EXPECT_FALSE(channel.error().isEmpty());
}

} // namespace
} // namespace kd::test
