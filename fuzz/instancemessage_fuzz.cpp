// Feeds arbitrary bytes to the running launcher's end of its socket: the
// message reader, whole and in pieces. What it accepts must be the one form
// a message has (written again, it gives the same bytes) and hold only
// absolute, bounded paths; whole and in pieces must agree. The input, read as
// lines, also goes through the writer: what it writes reads back the same.
// Last, a running launcher's channel takes the input after as many idle
// connections as its last byte says: it reads only a few at once, refuses the
// rest at once, and takes the input exactly when the reader accepts it.

#include "check.h"
#include "platform/instancechannel.h"
#include "platform/instancemessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace kd::fuzz {

namespace msg = instancemessage;

namespace {

// The rules a path must keep, checked without the reader's code.
bool allowed(const QString& path) {
    const QByteArray bytes = path.toUtf8();
    return !bytes.isEmpty() && bytes.size() <= msg::MaxPathBytes && bytes[0] == '/' &&
           !bytes.contains('\0') && QString::fromUtf8(bytes) == path;
}

// Runs the event loop until `done`, for at most two seconds.
bool settle(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(2000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void checkChannel(const QByteArray& bytes, const std::optional<QStringList>& paths) {
    QTemporaryDir dir;
    InstanceChannel channel(dir.filePath(QStringLiteral("s")));
    require(channel.claim({}) == InstanceChannel::Role::Running, "the channel did not listen");
    std::vector<QStringList> received;
    int dropped = 0; // connections given up: malformed, or closed before a whole message
    QObject::connect(&channel, &InstanceChannel::received,
                     [&](const QStringList& got) { received.push_back(got); });
    QObject::connect(&channel, &InstanceChannel::rejected, [&](const QString& why) {
        dropped += why.startsWith(QStringLiteral("more than")) ? 0 : 1;
    });

    constexpr int Max = InstanceChannel::MaxConnections;
    const int idle = bytes.isEmpty() ? 0 : quint8(bytes.back()) % (3 * Max + 1);
    const int kept = std::min(idle, Max);
    std::vector<std::unique_ptr<QLocalSocket>> idlers;
    for (int i = 0; i < idle; ++i) {
        idlers.push_back(std::make_unique<QLocalSocket>());
        idlers.back()->connectToServer(channel.socketPath());
    }
    const auto closed = [&] {
        return int(std::count_if(idlers.begin(), idlers.end(), [](const auto& s) {
            return s->state() == QLocalSocket::UnconnectedState;
        }));
    };
    require(settle([&] { return closed() >= idle - kept; }),
            "connections over the limit were not refused at once");
    require(closed() == idle - kept, "a connection under the limit was refused");
    // The ones read are given up as they close, freeing their places.
    idlers.clear();
    require(settle([&] { return dropped >= kept; }) && dropped == kept,
            "closed connections were not given up one by one");

    QLocalSocket sender;
    sender.connectToServer(channel.socketPath());
    sender.write(bytes);
    sender.flush();
    sender.disconnectFromServer();
    require(settle([&] { return !received.empty() || dropped > kept; }),
            "the channel neither took nor refused the input");
    if (paths)
        require(received == std::vector{*paths},
                "a message the reader accepts was not taken whole");
    else
        // A whole message followed by more may be taken; nothing else.
        require(received.empty() || (received.size() == 1 &&
                                     bytes.startsWith(*instancemessage::encode(received.front()))),
                "something the reader refuses was taken");
}

} // namespace

void checkInstanceMessage(std::string_view input) {
    const QByteArray bytes(input.data(), qsizetype(input.size()));
    QString error;
    const std::optional<QStringList> paths = msg::decode(bytes, &error);
    if (!paths && error.isEmpty())
        broken("refused without a reason");
    if (paths) {
        if (bytes.size() > msg::MaxBytes)
            broken("accepted a message over the size limit");
        if (paths->size() > msg::MaxPaths)
            broken("accepted too many paths");
        for (const QString& path : *paths)
            if (!allowed(path))
                broken("accepted a path that breaks the rules");
        if (msg::encode(*paths) != bytes)
            broken("accepted a message not in its one form");
    }

    // In pieces of sizes taken from the input itself.
    msg::Reader reader;
    msg::Reader::State state = msg::Reader::State::NeedMore;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype piece = 1 + quint8(bytes[at]) % 13;
        state = reader.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
        at += piece;
    }
    if ((state == msg::Reader::State::Complete) != paths.has_value())
        broken("whole and in pieces disagree");
    if (paths && reader.paths() != *paths)
        broken("whole and in pieces give different paths");

    // The input as lines, through the writer.
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    const std::optional<QByteArray> written = msg::encode(lines);
    const bool writable =
        lines.size() <= msg::MaxPaths && std::all_of(lines.begin(), lines.end(), allowed);
    if (written.has_value() && !writable)
        broken("wrote paths that break the rules");
    if (written) {
        if (written->size() > msg::MaxBytes)
            broken("wrote a message over the size limit");
        if (msg::decode(*written) != lines)
            broken("what was written does not read back");
    } else if (writable) {
        // Refused only for the size of the whole.
        qsizetype size = 6;
        for (const QString& line : lines)
            size += 2 + line.toUtf8().size();
        if (size <= msg::MaxBytes)
            broken("refused to write allowed paths");
    }

    checkChannel(bytes, paths);
}

} // namespace kd::fuzz
