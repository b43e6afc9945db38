#include "toolkit/jpeg_loader.h"

#include <QFile>
#include <QFileInfo>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace tk {

namespace {

// libjpeg's own error handler calls exit(); ours jumps back instead.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void jumpBack(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(manager->jump, 1);
}

void stayQuiet(j_common_ptr) {}

// A warning means corrupt or truncated data (libjpeg would pad the picture
// with grey): such a picture is refused like a broken one.
void refuseWarnings(j_common_ptr info, int level) {
    if (level < 0)
        jumpBack(info);
}

// Plain C types only between setjmp and longjmp: no destructor is skipped.
// On success *pixels holds width * height * 3 bytes allocated with malloc.
bool decodeRgb(const unsigned char* data, unsigned long size, unsigned char** pixels, int* width,
               int* height) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpBack;
    errors.base.output_message = stayQuiet;
    errors.base.emit_message = refuseWarnings;
    *pixels = nullptr;
    if (setjmp(errors.jump)) {
        std::free(*pixels);
        *pixels = nullptr;
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxJpegSide ||
        info.image_height > kMaxJpegSide) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const size_t stride = static_cast<size_t>(info.output_width) * 3;
    *pixels = static_cast<unsigned char*>(std::malloc(stride * info.output_height));
    if (!*pixels || info.output_components != 3) {
        std::free(*pixels);
        *pixels = nullptr;
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = *pixels + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    *width = static_cast<int>(info.output_width);
    *height = static_cast<int>(info.output_height);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    if (!decodeRgb(reinterpret_cast<const unsigned char*>(bytes.constData()),
                   static_cast<unsigned long>(bytes.size()), &pixels, &width, &height))
        return {};
    QImage image(pixels, width, height, width * 3, QImage::Format_RGB888, std::free, pixels);
    return image;
}

QImage loadJpegFile(const QString& fileName) {
    // Only a regular file is read: a pipe of that name would block forever.
    // Pictures are small; a file far larger than any picture is refused unread.
    constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;
    if (!QFileInfo(fileName).isFile())
        return {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize)
        return {};
    return decodeJpeg(file.read(kMaxFileSize));
}

} // namespace tk
