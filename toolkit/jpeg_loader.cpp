#include "toolkit/jpeg_loader.h"

#include <QFile>
#include <QFileInfo>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace tk {

namespace {

constexpr int kRgbBytes = 3;
constexpr int kCmykBytes = 4;
constexpr unsigned kFullSample = 255;

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

// Called while libjpeg reads the scans of a multi-scan picture.
void refuseManyScans(j_common_ptr info) {
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans)
        jumpBack(info);
}

std::size_t roundUp(std::size_t value, std::size_t step) {
    return (value + step - 1) / step * step;
}

// The memory the decode takes, as kMaxJpegDecodeBytes counts it; valid once
// the output size is known.
std::size_t decodeBytes(j_decompress_ptr info) {
    std::size_t bytes = std::size_t{info->output_width} * info->output_height * kRgbBytes;
    if (jpeg_has_multiple_scans(info)) {
        for (int c = 0; c < info->num_components; ++c) {
            const jpeg_component_info& component = info->comp_info[c];
            bytes += roundUp(component.width_in_blocks, component.h_samp_factor) *
                     roundUp(component.height_in_blocks, component.v_samp_factor) * sizeof(JBLOCK);
        }
    }
    return bytes;
}

bool isCmyk(J_COLOR_SPACE space) {
    return space == JCS_CMYK || space == JCS_YCCK;
}

// One CMYK row to RGB. Adobe's programs store each ink inverted (255 means
// none), and mark their files; other files hold the inks as they are.
void cmykToRgb(const JSAMPLE* cmyk, unsigned char* rgb, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += kCmykBytes, rgb += kRgbBytes) {
        const unsigned black = inverted ? cmyk[3] : kFullSample - cmyk[3];
        for (int channel = 0; channel < kRgbBytes; ++channel) {
            const unsigned ink = inverted ? cmyk[channel] : kFullSample - cmyk[channel];
            rgb[channel] =
                static_cast<unsigned char>((ink * black + kFullSample / 2) / kFullSample);
        }
    }
}

// Reads the header and sets the output up; false for a picture refused for
// its size or cost.
bool startDecode(j_decompress_ptr info, const unsigned char* data, unsigned long size) {
    jpeg_mem_src(info, data, size);
    jpeg_read_header(info, TRUE);
    if (info->image_width == 0 || info->image_height == 0 || info->image_width > kMaxJpegSide ||
        info->image_height > kMaxJpegSide)
        return false;
    // libjpeg gives CMYK from CMYK and YCCK, but no RGB from them.
    info->out_color_space = isCmyk(info->jpeg_color_space) ? JCS_CMYK : JCS_RGB;
    jpeg_calc_output_dimensions(info);
    return decodeBytes(info) <= kMaxJpegDecodeBytes;
}

// Plain C types only between setjmp and longjmp: no destructor is skipped.
// On success *pixels holds width * height * 3 bytes allocated with malloc.
bool decodeRgb(const unsigned char* data, unsigned long size, unsigned char** pixels, int* width,
               int* height) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    jpeg_progress_mgr progress{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpBack;
    errors.base.output_message = stayQuiet;
    errors.base.emit_message = refuseWarnings;
    progress.progress_monitor = refuseManyScans;
    *pixels = nullptr;
    if (setjmp(errors.jump)) {
        std::free(*pixels);
        *pixels = nullptr;
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    if (!startDecode(&info, data, size)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    const bool cmyk = info.out_color_space == JCS_CMYK;
    const size_t stride = static_cast<size_t>(info.output_width) * kRgbBytes;
    *pixels = static_cast<unsigned char*>(std::malloc(stride * info.output_height));
    if (!*pixels || info.output_components != (cmyk ? kCmykBytes : kRgbBytes)) {
        std::free(*pixels);
        *pixels = nullptr;
        jpeg_destroy_decompress(&info);
        return false;
    }
    JSAMPARRAY cmykRow =
        cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                         info.output_width * kCmykBytes, 1)
             : nullptr;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = *pixels + stride * info.output_scanline;
        if (cmyk) {
            jpeg_read_scanlines(&info, cmykRow, 1);
            cmykToRgb(cmykRow[0], row, info.output_width, info.saw_Adobe_marker);
        } else {
            jpeg_read_scanlines(&info, &row, 1);
        }
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
    QImage image(pixels, width, height, width * kRgbBytes, QImage::Format_RGB888, std::free,
                 pixels);
    return image;
}

QImage loadJpegFile(const QString& fileName) {
    // Only a regular file is read: a pipe of that name would block forever.
    if (!QFileInfo(fileName).isFile())
        return {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxJpegFileBytes)
        return {};
    return decodeJpeg(file.read(file.size()));
}

} // namespace tk
