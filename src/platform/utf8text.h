#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace kd {

// Text from UTF-8 bytes, every character kept. QString::fromUtf8 (and so
// fromStdString, fromLocal8Bit and QFile::decodeName) drops a leading U+FEFF as
// if it were a byte-order mark; in a name, a path or a piece of a log it is a
// character of the text like any other, and dropping it names something else.
// Invalid sequences become U+FFFD, as with QString::fromUtf8.
inline QString textFromUtf8(QByteArrayView utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    return decoder.decode(utf8);
}

} // namespace kd
