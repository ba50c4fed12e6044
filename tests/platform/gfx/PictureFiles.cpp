#include "PictureFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace pictavo::test {
namespace {

const uint8_t kSample[2][4][4] = {
    {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {255, 255, 255, 255}},
    {{0, 0, 0, 255}, {128, 128, 128, 255}, {0, 255, 255, 255}, {255, 0, 255, 128}},
};

void put16(Bytes& b, unsigned v)
{
    b.push_back(v & 255), b.push_back(v >> 8 & 255);
}
void put32(Bytes& b, unsigned v)
{
    put16(b, v & 0xFFFF), put16(b, v >> 16);
}

} // namespace

void samplePixel(int x, int y, uint8_t out[4], bool withAlpha)
{
    std::memcpy(out, kSample[y][x], 4);
    if (!withAlpha)
        out[3] = 255;
}

Bytes makePng(int width, int height)
{
    std::vector<uint8_t> bgra(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            samplePixel(x % 4, y % 2, &bgra[(static_cast<size_t>(y) * width + x) * 4], true);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, bgra.data(), 0, nullptr);
    Bytes out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, bgra.data(), 0, nullptr);
    out.resize(size);
    return out;
}

// A smooth gradient, so DCT scaling and resampling have something to agree on.
Bytes makeJpeg(int width, int height, int quality)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
            row[x * 3 + 1] = static_cast<uint8_t>(c.next_scanline * 255 / std::max(1, height - 1));
            row[x * 3 + 2] = 100;
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

namespace {
int writeGif(GifFileType* gif, const GifByteType* data, int n)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}
} // namespace

// The sample with the half-transparent pixel as the GIF's transparent index.
Bytes makeGif()
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeGif, &error);
    GifColorType colours[8];
    for (int i = 0; i < 8; ++i) {
        const uint8_t* p = kSample[i / 4][i % 4];
        colours[i] = GifColorType{p[2], p[1], p[0]};
    }
    ColorMapObject* map = GifMakeMapObject(8, colours);
    EGifPutScreenDesc(gif, 4, 2, 8, 0, map);
    GraphicsControlBlock gcb{0, false, 0, 7};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(gif, 0, 0, 4, 2, false, nullptr);
    for (int y = 0; y < 2; ++y) {
        GifPixelType line[4] = {static_cast<GifPixelType>(y * 4), static_cast<GifPixelType>(y * 4 + 1),
                                static_cast<GifPixelType>(y * 4 + 2), static_cast<GifPixelType>(y * 4 + 3)};
        EGifPutLine(gif, line, 4);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

Bytes makeBmp24()
{
    Bytes b{'B', 'M'};
    const unsigned stride = 12, size = 54 + stride * 2;
    put32(b, size), put32(b, 0), put32(b, 54);
    put32(b, 40), put32(b, 4), put32(b, 2), put16(b, 1), put16(b, 24), put32(b, 0), put32(b, stride * 2);
    put32(b, 2835), put32(b, 2835), put32(b, 0), put32(b, 0);
    for (int y = 1; y >= 0; --y)
        for (int x = 0; x < 4; ++x)
            b.insert(b.end(), kSample[y][x], kSample[y][x] + 3);
    return b;
}

Bytes makeBmp8()
{
    Bytes b{'B', 'M'};
    const unsigned stride = 4, offset = 54 + 8 * 4;
    put32(b, offset + stride * 2), put32(b, 0), put32(b, offset);
    put32(b, 40), put32(b, 4), put32(b, -2), put16(b, 1), put16(b, 8), put32(b, 0), put32(b, stride * 2);
    put32(b, 0), put32(b, 0), put32(b, 8), put32(b, 0);
    for (int i = 0; i < 8; ++i) {
        b.insert(b.end(), kSample[i / 4][i % 4], kSample[i / 4][i % 4] + 3);
        b.push_back(0);
    }
    for (int i = 0; i < 8; ++i)
        b.push_back(static_cast<uint8_t>(i));
    return b;
}

Bytes makeTiff(const std::string& path)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    for (int y = 0; y < 2; ++y) {
        uint8_t row[16];
        for (int x = 0; x < 4; ++x) {
            const uint8_t* p = kSample[y][x];
            row[x * 4] = p[2], row[x * 4 + 1] = p[1], row[x * 4 + 2] = p[0], row[x * 4 + 3] = p[3];
        }
        TIFFWriteScanline(tif, row, y, 0);
    }
    TIFFClose(tif);
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace pictavo::test
