#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace kd {

// What a second start of the launcher tells the running one: the files on its
// command line, nothing else. On the wire:
//
//   u32 body length (big-endian), then the body:
//   u8 version (1), u8 path count, then per path u16 length (big-endian) and
//   that many bytes of UTF-8.
//
// Every path is absolute and non-empty, without NUL, at most MaxPathBytes;
// there are at most MaxPaths of them, and a message is at most MaxBytes. A
// message is read only in this one form: anything else is malformed.
namespace instancemessage {

constexpr quint8 Version = 1;
constexpr int MaxPaths = 8;
constexpr qsizetype MaxPathBytes = 4096;
constexpr qsizetype MaxBytes = 8192;

// The message for `paths`, or nothing when they break the rules above.
std::optional<QByteArray> encode(const QStringList& paths);

// The paths of a whole message, or nothing with `error` saying why.
std::optional<QStringList> decode(QByteArrayView message, QString* error = nullptr);

// Collects a message as it arrives in pieces.
class Reader {
public:
    enum class State { NeedMore, Complete, Malformed };

    // Adds bytes; once the state is no longer NeedMore, further bytes are
    // malformed (one message per connection).
    State feed(QByteArrayView bytes);
    State state() const { return m_state; }
    const QStringList& paths() const { return m_paths; }
    const QString& error() const { return m_error; }

private:
    State fail(const QString& error);

    QByteArray m_buffer;
    QStringList m_paths;
    QString m_error;
    State m_state = State::NeedMore;
};

} // namespace instancemessage
} // namespace kd
