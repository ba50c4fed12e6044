#include "image/CxImagePNG.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <png.h>

namespace {

struct Io
{
    CxFile* file;
    char* text;
};

void errorFn(png_structp png, png_const_charp message)
{
    auto* io = static_cast<Io*>(png_get_error_ptr(png));
    std::snprintf(io->text, 256, "%s", message != nullptr ? message : "");
    png_longjmp(png, 1);
}

void warningFn(png_structp, png_const_charp) {}

void readFn(png_structp png, png_bytep data, size_t length)
{
    auto* io = static_cast<Io*>(png_get_io_ptr(png));
    if (io->file->Read(data, 1, length) != length)
        png_error(png, "Read Error");
}

void writeFn(png_structp png, png_bytep data, size_t length)
{
    auto* io = static_cast<Io*>(png_get_io_ptr(png));
    if (io->file->Write(data, 1, length) != length)
        png_error(png, "Write Error");
}

void flushFn(png_structp png)
{
    auto* io = static_cast<Io*>(png_get_io_ptr(png));
    if (!io->file->Flush())
        png_error(png, "Flush Error");
}

} // namespace

CxImagePNG::~CxImagePNG()
{
    FreeScratch();
}

void CxImagePNG::FreeScratch()
{
    std::free(m_scratch);
    m_scratch = nullptr;
    std::free(m_rows);
    m_rows = nullptr;
}

bool CxImagePNG::Decode(CxFile* file)
{
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    Io io{file, info.szLastError};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, errorFn, warningFn);
    if (png == nullptr) {
        SetLastError("Failed to create PNG structure");
        return false;
    }
    png_infop pinfo = png_create_info_struct(png);
    if (pinfo == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SetLastError("Failed to initialize PNG info structure");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &pinfo, nullptr);
        FreeScratch();
        return false;
    }
    png_set_read_fn(png, &io, readFn);
#ifdef PICTAVO_FUZZING
    // Let mutated bytes reach the decoder instead of stopping at the checksums.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
    png_read_info(png, pinfo);

    png_uint_32 width = png_get_image_width(png, pinfo);
    png_uint_32 height = png_get_image_height(png, pinfo);
    int depth = png_get_bit_depth(png, pinfo);
    int colourType = png_get_color_type(png, pinfo);
    bool hasTrns = png_get_valid(png, pinfo, PNG_INFO_tRNS) != 0;
    if (depth == 16)
        png_set_strip_16(png);

    enum class Mode
    {
        Palette,
        Grey,
        Rgb,
        Rgba
    } mode;
    int bpp = 24;
    LONG background = -1;
    switch (colourType) {
    case PNG_COLOR_TYPE_PALETTE: {
        mode = Mode::Palette;
        if (hasTrns) {
            png_bytep trans = nullptr;
            int count = 0;
            png_get_tRNS(png, pinfo, &trans, &count, nullptr);
            // One fully transparent index and nothing partial maps onto the background index.
            int zeros = 0;
            bool simple = true;
            for (int i = 0; i < count; ++i) {
                if (trans[i] == 0) {
                    ++zeros;
                    background = i;
                } else if (trans[i] != 255) {
                    simple = false;
                }
            }
            if (!simple || zeros != 1) {
                mode = Mode::Rgba;
                background = -1;
                png_set_palette_to_rgb(png);
                png_set_tRNS_to_alpha(png);
            }
        }
        if (mode == Mode::Palette) {
            if (depth == 2)
                png_set_packing(png);
            bpp = depth == 2 ? 8 : depth;
        }
        break;
    }
    case PNG_COLOR_TYPE_GRAY:
        if (hasTrns) {
            mode = Mode::Rgba;
            png_set_expand_gray_1_2_4_to_8(png);
            png_set_tRNS_to_alpha(png);
            png_set_gray_to_rgb(png);
        } else {
            mode = Mode::Grey;
            bpp = 8;
            if (depth < 8)
                png_set_expand_gray_1_2_4_to_8(png);
        }
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        mode = Mode::Rgba;
        png_set_gray_to_rgb(png);
        break;
    case PNG_COLOR_TYPE_RGB:
        mode = hasTrns ? Mode::Rgba : Mode::Rgb;
        if (hasTrns)
            png_set_tRNS_to_alpha(png);
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        mode = Mode::Rgba;
        break;
    default:
        png_destroy_read_struct(&png, &pinfo, nullptr);
        SetLastError("unknown PNG color type");
        return false;
    }
    if (mode == Mode::Rgb || mode == Mode::Rgba)
        png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, pinfo);

    if (Create(width, height, static_cast<DWORD>(bpp), ImageFormat::Png) == nullptr) {
        png_destroy_read_struct(&png, &pinfo, nullptr);
        return false;
    }
    if (mode == Mode::Grey) {
        SetGreyPalette();
    } else if (mode == Mode::Palette) {
        png_colorp palette = nullptr;
        int count = 0;
        png_get_PLTE(png, pinfo, &palette, &count);
        RGBQUAD* pal = GetPalette();
        for (int i = 0; i < count && DWORD(i) < head.biClrUsed; ++i)
            pal[i] = RGBQUAD{palette[i].blue, palette[i].green, palette[i].red, 0};
        info.nBkgndIndex = background;
    }
    png_uint_32 xppm = 0, yppm = 0;
    int unit = 0;
    if (png_get_pHYs(png, pinfo, &xppm, &yppm, &unit) && unit == PNG_RESOLUTION_METER) {
        SetXDPI(static_cast<LONG>(std::floor(xppm * 0.0254 + 0.5)));
        SetYDPI(static_cast<LONG>(std::floor(yppm * 0.0254 + 0.5)));
    }

    size_t rowBytes = png_get_rowbytes(png, pinfo);
    size_t expected = mode == Mode::Rgba ? size_t{width} * 4 : info.dwEffWidth;
    if (rowBytes > expected || (mode == Mode::Rgba && uint64_t{rowBytes} * height > CXIMAGE_MAX_MEMORY))
        png_error(png, "unknown PNG color type");
    m_rows = static_cast<BYTE**>(std::malloc(sizeof(BYTE*) * height));
    if (mode == Mode::Rgba) {
        m_scratch = static_cast<BYTE*>(std::malloc(rowBytes * height));
        if (!AlphaCreate())
            png_error(png, "can't allocate memory");
    }
    if (m_rows == nullptr || (mode == Mode::Rgba && m_scratch == nullptr))
        png_error(png, "can't allocate memory");
    for (png_uint_32 y = 0; y < height; ++y) {
        m_rows[y] = mode == Mode::Rgba ? m_scratch + size_t{y} * rowBytes
                                       : info.pImage + size_t{height - 1 - y} * info.dwEffWidth;
    }
    png_read_image(png, m_rows);
    png_destroy_read_struct(&png, &pinfo, nullptr);

    if (mode == Mode::Rgba) {
        for (png_uint_32 y = 0; y < height; ++y) {
            const BYTE* s = m_rows[y];
            DWORD stored = height - 1 - y;
            BYTE* d = info.pImage + size_t{stored} * info.dwEffWidth;
            BYTE* a = pAlpha + size_t{stored} * width;
            for (png_uint_32 x = 0; x < width; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                a[x] = s[3];
            }
        }
    }
    FreeScratch();
    return true;
}

bool CxImagePNG::Encode(CxFile* file)
{
    if (!EncodeSafeCheck(file))
        return false;
    Io io{file, info.szLastError};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, errorFn, warningFn);
    if (png == nullptr) {
        SetLastError("Failed to create PNG structure");
        return false;
    }
    png_infop pinfo = png_create_info_struct(png);
    if (pinfo == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        SetLastError("Failed to initialize PNG info structure");
        return false;
    }
    SetLastError("Error saving PNG file");
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &pinfo);
        FreeScratch();
        return false;
    }
    png_set_write_fn(png, &io, writeFn, flushFn);

    DWORD width = GetWidth();
    DWORD height = GetHeight();
    bool palette = head.biClrUsed != 0;
    bool alpha = !palette && pAlpha != nullptr;
    int colourType = palette ? PNG_COLOR_TYPE_PALETTE : alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, pinfo, width, height, 8, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (palette) {
        png_color colours[256];
        RGBQUAD* pal = GetPalette();
        for (DWORD i = 0; i < head.biClrUsed; ++i)
            colours[i] = png_color{pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue};
        png_set_PLTE(png, pinfo, colours, static_cast<int>(head.biClrUsed));
        if (info.nBkgndIndex >= 0 && DWORD(info.nBkgndIndex) < head.biClrUsed) {
            png_byte trans[256];
            std::memset(trans, 255, sizeof trans);
            trans[info.nBkgndIndex] = 0;
            png_set_tRNS(png, pinfo, trans, info.nBkgndIndex + 1, nullptr);
        }
    }
    png_write_info(png, pinfo);
    if (!palette)
        png_set_bgr(png);
    if (palette || alpha) {
        m_scratch = static_cast<BYTE*>(std::malloc(size_t{width} * 4));
        if (m_scratch == nullptr)
            png_error(png, "Error saving PNG file");
    }
    for (DWORD i = 0; i < height; ++i) {
        DWORD y = height - 1 - i;
        BYTE* row = info.pImage + size_t{y} * info.dwEffWidth;
        if (palette) {
            for (DWORD x = 0; x < width; ++x)
                m_scratch[x] = GetPixelIndex(static_cast<LONG>(x), static_cast<LONG>(y));
            row = m_scratch;
        } else if (alpha) {
            const BYTE* s = row;
            const BYTE* a = pAlpha + size_t{y} * width;
            BYTE* d = m_scratch;
            for (DWORD x = 0; x < width; ++x, s += 3, d += 4) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                d[3] = a[x];
            }
            row = m_scratch;
        }
        png_write_row(png, row);
    }
    png_write_end(png, pinfo);
    png_destroy_write_struct(&png, &pinfo);
    FreeScratch();
    SetLastError("");
    return true;
}
