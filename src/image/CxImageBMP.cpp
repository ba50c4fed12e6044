#include "image/CxImageBMP.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

void put32(BYTE* p, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

WORD get16(const BYTE* p)
{
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

DWORD get32(const BYTE* p)
{
    return DWORD{p[0]} | (DWORD{p[1]} << 8) | (DWORD{p[2]} << 16) | (DWORD{p[3]} << 24);
}

// Extracts one channel given by a bit mask and widens it to 8 bits.
struct Channel
{
    DWORD mask = 0;
    int shift = 0;
    DWORD max = 0;

    explicit Channel(DWORD m = 0) : mask(m)
    {
        if (mask == 0)
            return;
        while (((mask >> shift) & 1) == 0)
            ++shift;
        max = mask >> shift;
    }
    BYTE operator()(DWORD px) const
    {
        if (max == 0)
            return 0;
        return static_cast<BYTE>((uint64_t((px & mask) >> shift) * 255 + max / 2) / max);
    }
};

LONG dpiFromPels(LONG ppm)
{
    return static_cast<LONG>(std::floor(ppm * 254.0 / 10000.0 + 0.5));
}

} // namespace

bool CxImageBMP::Encode(CxFile* file)
{
    if (!EncodeSafeCheck(file))
        return false;
    BYTE fileHeader[14] = {'B', 'M'};
    bool withAlpha = head.biClrUsed == 0 && pAlpha != nullptr && head.biBitCount == 24;
    if (!withAlpha) {
        DWORD offset = 14 + sizeof(BITMAPINFOHEADER) + head.biClrUsed * sizeof(RGBQUAD);
        put32(fileHeader + 2, 14 + GetSize());
        put32(fileHeader + 10, offset);
        if (file->Write(fileHeader, 14, 1) != 1 || file->Write(pDib, GetSize(), 1) != 1) {
            SetLastError("Write Error");
            return false;
        }
        return true;
    }

    DWORD width = GetWidth();
    DWORD height = GetHeight();
    BITMAPINFOHEADER h32 = head;
    h32.biBitCount = 32;
    h32.biCompression = BI_RGB;
    h32.biSizeImage = width * 4 * height;
    h32.biClrUsed = 0;
    put32(fileHeader + 2, 14 + sizeof h32 + h32.biSizeImage);
    put32(fileHeader + 10, 14 + sizeof h32);
    if (file->Write(fileHeader, 14, 1) != 1 || file->Write(&h32, sizeof h32, 1) != 1) {
        SetLastError("Write Error");
        return false;
    }
    BYTE* row = static_cast<BYTE*>(std::malloc(size_t{width} * 4));
    if (row == nullptr) {
        SetLastError("can't allocate memory");
        return false;
    }
    bool ok = true;
    for (DWORD y = 0; y < height && ok; ++y) {
        const BYTE* s = info.pImage + size_t{y} * info.dwEffWidth;
        const BYTE* a = pAlpha + size_t{y} * width;
        BYTE* d = row;
        for (DWORD x = 0; x < width; ++x, s += 3, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = a[x];
        }
        ok = file->Write(row, size_t{width} * 4, 1) == 1;
    }
    std::free(row);
    if (!ok)
        SetLastError("Write Error");
    return ok;
}

bool CxImageBMP::Decode(CxFile* file)
{
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    int32_t start = file->Tell();
    BYTE fh[14];
    if (file->Read(fh, 14, 1) != 1 || get16(fh) != 0x4D42) {
        SetLastError("Not a BMP");
        return false;
    }
    DWORD offBits = get32(fh + 10);

    BYTE hb[124] = {};
    if (file->Read(hb, 4, 1) != 1) {
        SetLastError("Error reading BMP info");
        return false;
    }
    DWORD hsize = get32(hb);
    if (!(hsize == 12 || hsize == 40 || hsize == 52 || hsize == 56 || hsize == 64 || hsize == 108 ||
          hsize == 124) ||
        file->Read(hb + 4, hsize - 4, 1) != 1) {
        SetLastError("Error reading BMP info");
        return false;
    }

    int64_t width, height;
    DWORD bpp, compression = BI_RGB, clrUsed = 0;
    LONG xppm = 0, yppm = 0;
    bool core = hsize == 12;
    if (core) {
        width = get16(hb + 4);
        height = static_cast<int16_t>(get16(hb + 6));
        bpp = get16(hb + 10);
    } else {
        width = static_cast<int32_t>(get32(hb + 4));
        height = static_cast<int32_t>(get32(hb + 8));
        bpp = get16(hb + 14);
        compression = get32(hb + 16);
        xppm = static_cast<LONG>(get32(hb + 24));
        yppm = static_cast<LONG>(get32(hb + 28));
        clrUsed = get32(hb + 32);
    }
    bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 ||
        !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32)) {
        SetLastError("Error reading BMP info");
        return false;
    }
    if (compression > BI_ALPHABITFIELDS) {
        SetLastError("unknown compression");
        return false;
    }
    // OS/2 headers number their compressions differently; only the common ones agree.
    bool rleOk = (compression == BI_RLE8 && bpp == 8) || (compression == BI_RLE4 && bpp == 4);
    bool fieldsOk = (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) &&
                    (bpp == 16 || bpp == 32) && hsize != 64;
    if (compression == BI_JPEG || compression == BI_PNG || (compression != BI_RGB && !rleOk && !fieldsOk) ||
        (rleOk && topDown)) {
        SetLastError("compression type not supported");
        return false;
    }

    DWORD masks[4] = {0, 0, 0, 0};
    if (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) {
        int count = compression == BI_ALPHABITFIELDS || hsize >= 56 ? 4 : 3;
        if (hsize >= 52) {
            for (int i = 0; i < count && 40 + 4 * i + 4 <= int(hsize); ++i)
                masks[i] = get32(hb + 40 + 4 * i);
        } else {
            BYTE mb[16];
            if (file->Read(mb, 4, count) != size_t(count)) {
                SetLastError("Error reading BMP info");
                return false;
            }
            for (int i = 0; i < count; ++i)
                masks[i] = get32(mb + 4 * i);
        }
    } else if (bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (bpp == 32) {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
        masks[3] = 0xFF000000;
    }

    if (info.nEscape == -1) {
        head.biWidth = static_cast<LONG>(width);
        head.biHeight = static_cast<LONG>(height);
        head.biBitCount = static_cast<WORD>(bpp);
        SetLastError("output dimensions returned");
        return false;
    }

    // Refuse pixel data the file cannot hold before allocating for it.
    uint64_t srcStride = (uint64_t(width) * bpp + 31) / 32 * 4;
    int32_t fileSize = file->Size();
    if (compression == BI_RGB || compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) {
        if (fileSize >= 0 && srcStride * uint64_t(height) > uint64_t(fileSize)) {
            SetLastError("Error reading BMP info");
            return false;
        }
    }

    if (Create(static_cast<DWORD>(width), static_cast<DWORD>(height), bpp <= 8 ? bpp : 24,
               ImageFormat::Bmp) == nullptr)
        return false;
    SetXDPI(dpiFromPels(xppm));
    SetYDPI(dpiFromPels(yppm));

    if (bpp <= 8) {
        DWORD maxColours = 1u << bpp;
        DWORD n = clrUsed == 0 || clrUsed > maxColours ? maxColours : clrUsed;
        size_t entry = core ? 3 : 4;
        BYTE pal[256 * 4];
        size_t got = file->Read(pal, entry, n);
        RGBQUAD* palette = GetPalette();
        for (size_t i = 0; i < got; ++i)
            palette[i] = RGBQUAD{pal[i * entry], pal[i * entry + 1], pal[i * entry + 2], 0};
        UpdateDibHeader();
    }

    int64_t dataStart = int64_t(start) + offBits;
    if (offBits != 0 && dataStart != file->Tell() && dataStart > start && dataStart < INT32_MAX)
        file->Seek(static_cast<int32_t>(dataStart), 0);

    if (compression == BI_RLE8 || compression == BI_RLE4)
        return DecodeRle(file, compression == BI_RLE4);

    DWORD w = GetWidth();
    DWORD h = GetHeight();
    BYTE* src = nullptr;
    if (bpp > 8 && bpp != 24) {
        src = static_cast<BYTE*>(std::malloc(srcStride));
        if (src == nullptr) {
            SetLastError("can't allocate memory");
            return false;
        }
    }
    Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    bool anyAlpha = false;
    bool wantAlpha = bpp == 32 && masks[3] != 0;
    if (wantAlpha && !AlphaCreate()) {
        std::free(src);
        SetLastError("can't allocate memory");
        return false;
    }
    for (DWORD i = 0; i < h; ++i) {
        if (info.nEscape != 0) {
            std::free(src);
            SetLastError("Cancelled");
            return false;
        }
        DWORD row = topDown ? h - 1 - i : i;
        BYTE* d = info.pImage + size_t{row} * info.dwEffWidth;
        if (src == nullptr) {
            if (file->Read(d, info.dwEffWidth, 1) != 1) {
                SetLastError("Error reading BMP info");
                return false;
            }
        } else {
            if (file->Read(src, srcStride, 1) != 1) {
                std::free(src);
                SetLastError("Error reading BMP info");
                return false;
            }
            BYTE* a = wantAlpha ? pAlpha + size_t{row} * w : nullptr;
            for (DWORD x = 0; x < w; ++x, d += 3) {
                DWORD px = bpp == 16 ? get16(src + 2 * x) : get32(src + 4 * x);
                d[0] = blue(px);
                d[1] = green(px);
                d[2] = red(px);
                if (a != nullptr) {
                    a[x] = alpha(px);
                    anyAlpha |= a[x] != 0;
                }
            }
        }
        info.nProgress = static_cast<LONG>(uint64_t{i} * 100 / h);
    }
    std::free(src);
    // Many 32-bit bitmaps leave the fourth byte zero: that means opaque, not invisible.
    if (wantAlpha && !anyAlpha)
        AlphaDelete();
    return true;
}

bool CxImageBMP::DecodeRle(CxFile* file, bool fourBit)
{
    DWORD w = GetWidth();
    DWORD h = GetHeight();
    std::memset(info.pImage, 0, head.biSizeImage);
    DWORD x = 0, y = 0;
    auto put = [&](BYTE index) {
        if (x < w && y < h)
            SetPixelIndex(static_cast<LONG>(x), static_cast<LONG>(y), index);
        ++x;
    };
    for (;;) {
        if (info.nEscape != 0) {
            SetLastError("Cancelled");
            return false;
        }
        int32_t count = file->GetC();
        int32_t value = file->GetC();
        if (count < 0 || value < 0)
            break; // data ends early: keep what was drawn
        if (count > 0) {
            for (int32_t i = 0; i < count && x < w; ++i)
                put(fourBit ? static_cast<BYTE>((i & 1) ? value & 0x0F : value >> 4)
                            : static_cast<BYTE>(value));
            continue;
        }
        if (value == 0) {
            x = 0;
            if (++y >= h)
                break;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            int32_t dx = file->GetC();
            int32_t dy = file->GetC();
            if (dx < 0 || dy < 0)
                break;
            x += static_cast<DWORD>(dx);
            y += static_cast<DWORD>(dy);
            if (y >= h)
                break;
        } else {
            int32_t bytes = fourBit ? (value + 1) / 2 : value;
            BYTE run[256];
            if (file->Read(run, 1, static_cast<size_t>(bytes)) != static_cast<size_t>(bytes))
                break;
            for (int32_t i = 0; i < value; ++i)
                put(fourBit ? static_cast<BYTE>((i & 1) ? run[i / 2] & 0x0F : run[i / 2] >> 4) : run[i]);
            if (bytes & 1)
                file->GetC();
        }
        info.nProgress = static_cast<LONG>(uint64_t{y} * 100 / h);
    }
    return true;
}
