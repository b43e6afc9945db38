#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstddef>

namespace tk {

// What a picture may cost. The buttons show 185 x 40 pixels, so any real
// picture is far within these; they keep start-up with two pictures of the
// worst kind accepted under a second and 64 MB.
//
// Largest picture side.
inline constexpr int kMaxJpegSide = 8192;
// Largest file: an 8-megapixel photograph at high quality takes 2 to 5 MB.
inline constexpr qint64 kMaxJpegFileBytes = 8 << 20;
// Most memory a decode may take: the RGB picture (3 bytes a pixel, kept
// while the game runs) and, for a picture stored in several scans, libjpeg's
// buffer of all its coefficients (2 bytes a pixel for each full-size
// component). 8 megapixels in one scan, 4 in several with halved colour.
inline constexpr std::size_t kMaxJpegDecodeBytes = 24 << 20;
// Most scans: libjpeg's own progressive scripts use 10 (colour) and 18
// (CMYK). Each scan is another pass over the whole picture.
inline constexpr int kMaxJpegScans = 20;

// Decodes JPEG bytes with libjpeg into an RGB picture: greyscale, YCbCr, RGB,
// CMYK and YCCK pictures (CMYK as Adobe writes it, inverted, when the Adobe
// marker says so). A truncated, corrupt, non-JPEG or too costly input gives
// a null picture and never ends the program.
QImage decodeJpeg(const QByteArray& bytes);

// Reads and decodes a JPEG file; a null picture when it cannot be read or
// is too large.
QImage loadJpegFile(const QString& fileName);

} // namespace tk
