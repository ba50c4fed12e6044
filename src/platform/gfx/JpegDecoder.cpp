#include "platform/gfx/ImageDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace pictavo::platform {
namespace {

struct ErrorManager
{
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void onError(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void onMessage(j_common_ptr, int) {}

// Picks scale_num/8 so the output is the smallest one still covering the requested size.
void chooseScale(jpeg_decompress_struct& cinfo, int minWidth, int minHeight)
{
    cinfo.scale_denom = 8;
    cinfo.scale_num = 8;
    if (minWidth <= 0 || minHeight <= 0)
        return;
    for (unsigned num = 1; num <= 8; ++num) {
        uint64_t w = (uint64_t{cinfo.image_width} * num + 7) / 8;
        uint64_t h = (uint64_t{cinfo.image_height} * num + 7) / 8;
        if (w >= static_cast<uint64_t>(minWidth) && h >= static_cast<uint64_t>(minHeight)) {
            cinfo.scale_num = num;
            return;
        }
    }
}

} // namespace

bool decodeJpeg(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out)
{
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (request.headerOnly) {
        out.width = static_cast<int>(cinfo.image_width);
        out.height = static_cast<int>(cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return out.width > 0 && out.height > 0;
    }
    chooseScale(cinfo, request.minWidth, request.minHeight);
    bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_calc_output_dimensions(&cinfo);
    if (!allocatePixels(out, static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height))) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    const size_t stride = static_cast<size_t>(out.width) * 4;
    // Photoshop writes Adobe CMYK inverted; everything we meet with a CMYK scan is.
    bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.pixels.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (cmyk) {
            for (int x = 0; x < out.width; ++x) {
                uint8_t* p = row + x * 4;
                unsigned c = p[0], m = p[1], y = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
                }
                p[0] = static_cast<uint8_t>(y * k / 255);
                p[1] = static_cast<uint8_t>(m * k / 255);
                p[2] = static_cast<uint8_t>(c * k / 255);
                p[3] = 255;
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace pictavo::platform
