#include "platform/instancemessage.h"

#include <QStringDecoder>
#include <QtEndian>

namespace kd::instancemessage {

namespace {

constexpr qsizetype LengthBytes = 4;

// The path as UTF-8, or nothing when it is not one the message may carry.
std::optional<QByteArray> pathBytes(const QString& path) {
    const QByteArray bytes = path.toUtf8();
    if (bytes.isEmpty() || bytes.size() > MaxPathBytes || !bytes.startsWith('/') ||
        bytes.contains('\0') || QString::fromUtf8(bytes) != path)
        return std::nullopt;
    return bytes;
}

// Reads the body (after the length); nothing with `error` set when malformed.
std::optional<QStringList> decodeBody(QByteArrayView body, QString& error) {
    if (body.size() < 2) {
        error = QStringLiteral("too short");
        return std::nullopt;
    }
    if (quint8(body[0]) != Version) {
        error = QStringLiteral("unknown version %1").arg(quint8(body[0]));
        return std::nullopt;
    }
    const int count = quint8(body[1]);
    if (count > MaxPaths) {
        error = QStringLiteral("%1 paths, at most %2 allowed").arg(count).arg(MaxPaths);
        return std::nullopt;
    }
    QStringList paths;
    qsizetype at = 2;
    for (int i = 0; i < count; ++i) {
        if (body.size() - at < 2) {
            error = QStringLiteral("path %1 is cut short").arg(i + 1);
            return std::nullopt;
        }
        const qsizetype length = qFromBigEndian<quint16>(body.data() + at);
        at += 2;
        if (length > body.size() - at) {
            error = QStringLiteral("path %1 is cut short").arg(i + 1);
            return std::nullopt;
        }
        const QByteArrayView bytes = body.sliced(at, length);
        at += length;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString path = utf8.decode(bytes);
        if (utf8.hasError() || !pathBytes(path) || path.toUtf8() != bytes) {
            error = QStringLiteral("path %1 is not an absolute UTF-8 path").arg(i + 1);
            return std::nullopt;
        }
        paths << path;
    }
    if (at != body.size()) {
        error = QStringLiteral("%1 bytes after the last path").arg(body.size() - at);
        return std::nullopt;
    }
    return paths;
}

} // namespace

std::optional<QByteArray> encode(const QStringList& paths) {
    if (paths.size() > MaxPaths)
        return std::nullopt;
    QByteArray message(LengthBytes, '\0');
    message.append(char(Version));
    message.append(char(paths.size()));
    for (const QString& path : paths) {
        const std::optional<QByteArray> bytes = pathBytes(path);
        if (!bytes)
            return std::nullopt;
        char length[2];
        qToBigEndian<quint16>(quint16(bytes->size()), length);
        message.append(length, 2);
        message.append(*bytes);
    }
    if (message.size() > MaxBytes)
        return std::nullopt;
    qToBigEndian<quint32>(quint32(message.size() - LengthBytes), message.data());
    return message;
}

std::optional<QStringList> decode(QByteArrayView message, QString* error) {
    Reader reader;
    if (reader.feed(message) == Reader::State::Complete)
        return reader.paths();
    if (error)
        *error = reader.state() == Reader::State::NeedMore ? QStringLiteral("cut short")
                                                           : reader.error();
    return std::nullopt;
}

Reader::State Reader::feed(QByteArrayView bytes) {
    if (m_state != State::NeedMore)
        return bytes.isEmpty() ? m_state : fail(QStringLiteral("bytes after the message"));
    m_buffer.append(bytes);
    if (m_buffer.size() < LengthBytes)
        return m_state;
    const qsizetype length = qFromBigEndian<quint32>(m_buffer.constData());
    // Refused as soon as the length is known, before any more is taken in.
    if (length > MaxBytes - LengthBytes)
        return fail(QStringLiteral("%1 bytes announced, at most %2 allowed")
                        .arg(length + LengthBytes)
                        .arg(MaxBytes));
    if (m_buffer.size() < LengthBytes + length)
        return m_state;
    if (m_buffer.size() > LengthBytes + length)
        return fail(QStringLiteral("bytes after the message"));
    std::optional<QStringList> paths =
        decodeBody(QByteArrayView(m_buffer).sliced(LengthBytes), m_error);
    if (!paths)
        return fail(m_error);
    m_paths = std::move(*paths);
    m_buffer.clear();
    return m_state = State::Complete;
}

Reader::State Reader::fail(const QString& error) {
    m_error = error;
    m_paths.clear();
    m_buffer.clear();
    return m_state = State::Malformed;
}

} // namespace kd::instancemessage
