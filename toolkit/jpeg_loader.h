#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace tk {

// Largest picture side the decoder accepts; larger headers are refused
// before any pixel memory is taken.
inline constexpr int kMaxJpegSide = 8192;

// Decodes JPEG bytes with libjpeg into an RGB picture; a truncated, corrupt
// or non-JPEG input gives a null picture and never ends the program.
QImage decodeJpeg(const QByteArray& bytes);

// Reads and decodes a JPEG file; a null picture when it cannot be read.
QImage loadJpegFile(const QString& fileName);

} // namespace tk
