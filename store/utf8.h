#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// Decodes UTF-8 as written, keeping a U+FEFF at the start as a character of
// the text (QString::fromUtf8 would drop it). Invalid bytes become U+FFFD.
inline QString decodeUtf8KeepingMark(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}
