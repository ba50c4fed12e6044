#pragma once

#include "image/CxImage.h"
#include "image/CxMemFile.h"

#include <string>

namespace imagetest {

// A 24-bit image whose channels depend on the pixel position (stored coordinates).
inline void makePattern(CxImage& image, DWORD w, DWORD h, bool alpha = false)
{
    image.Create(w, h, 24);
    if (alpha)
        image.AlphaCreate();
    for (DWORD y = 0; y < h; ++y) {
        for (DWORD x = 0; x < w; ++x) {
            image.SetPixelColour(
                LONG(x), LONG(y),
                RGBQUAD{BYTE(x * 7 + y), BYTE(y * 11 + 3), BYTE((x ^ y) * 5), BYTE(x * 3 + y * 2)}, alpha);
        }
    }
}

inline bool samePixels(const CxImage& a, const CxImage& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
        a.AlphaIsValid() != b.AlphaIsValid())
        return false;
    for (LONG y = 0; y < LONG(a.GetHeight()); ++y) {
        for (LONG x = 0; x < LONG(a.GetWidth()); ++x) {
            RGBQUAD p = a.PixelColour(x, y), q = b.PixelColour(x, y);
            if (p.rgbBlue != q.rgbBlue || p.rgbGreen != q.rgbGreen || p.rgbRed != q.rgbRed ||
                p.rgbReserved != q.rgbReserved)
                return false;
        }
    }
    return true;
}

inline std::string bytesOf(CxMemFile& file)
{
    return std::string(reinterpret_cast<const char*>(file.GetBuffer()), size_t(file.Size()));
}

inline std::string encode(CxImage& image, DWORD format)
{
    CxMemFile file;
    file.Open();
    if (!image.Encode(&file, format))
        return {};
    return bytesOf(file);
}

inline bool decode(const std::string& bytes, CxImage& image, DWORD format = ImageFormat::Unknown)
{
    CxMemFile file(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())), DWORD(bytes.size()));
    return image.Decode(&file, format);
}

} // namespace imagetest
