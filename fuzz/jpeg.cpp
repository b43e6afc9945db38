// The JPEG decoder takes any bytes: it gives a null picture, or an RGB
// picture within the size limit that a second decode gives again pixel for
// pixel (comparing reads every pixel, so AddressSanitizer sees a buffer
// shorter than the picture).

#include "fuzz_support.h"
#include "toolkit/jpeg_loader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = inputBytes(data, size);
    const QImage image = tk::decodeJpeg(bytes);
    if (image.isNull())
        return 0;
    FUZZ_CHECK(image.format() == QImage::Format_RGB888);
    FUZZ_CHECK(image.width() >= 1 && image.width() <= tk::kMaxJpegSide);
    FUZZ_CHECK(image.height() >= 1 && image.height() <= tk::kMaxJpegSide);
    FUZZ_CHECK(tk::decodeJpeg(bytes) == image);
    return 0;
}
