#include "image/CxImage.h"

#include "image/CxImageBMP.h"
#include "image/CxImageJPG.h"
#include "image/CxImagePNG.h"
#include "image/CxMemFile.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

LONG pelsPerMetre(LONG dpi)
{
    double ppm = std::floor(dpi * 10000.0 / 254.0 + 0.5);
    return ppm >= INT32_MAX ? INT32_MAX : static_cast<LONG>(ppm);
}

} // namespace

CxImage::CxImage(DWORD imagetype)
{
    Startup(imagetype);
}

CxImage::~CxImage()
{
    if (info.pGhost == nullptr) {
        Destroy();
        std::free(ppLayers);
        std::free(ppFrames);
    }
}

void CxImage::Startup(DWORD imagetype)
{
    pDib = nullptr;
    pSelection = nullptr;
    pAlpha = nullptr;
    ppLayers = nullptr;
    ppFrames = nullptr;
    nLayers = 0;
    nFrames = 0;
    std::memset(&head, 0, sizeof head);
    std::memset(&info, 0, sizeof info);
    info.dwType = imagetype;
    info.fQuality = 90.0f;
    info.nAlphaMax = 255;
    info.nBkgndIndex = -1;
    info.bEnabled = true;
    info.bLittleEndianHost = true;
    info.xDPI = 96;
    info.yDPI = 96;
}

bool CxImage::Destroy()
{
    if (info.pGhost != nullptr)
        return false;
    for (DWORD i = 0; i < nLayers; ++i)
        delete ppLayers[i];
    std::free(ppLayers);
    ppLayers = nullptr;
    nLayers = 0;
    for (DWORD i = 0; i < nFrames; ++i)
        delete ppFrames[i];
    std::free(ppFrames);
    ppFrames = nullptr;
    nFrames = 0;
    std::free(pSelection);
    pSelection = nullptr;
    std::free(pAlpha);
    pAlpha = nullptr;
    std::free(pDib);
    pDib = nullptr;
    info.pImage = nullptr;
    return true;
}

void CxImage::SetLastError(const char* text)
{
    std::strncpy(info.szLastError, text, sizeof info.szLastError - 1);
    info.szLastError[sizeof info.szLastError - 1] = 0;
}

bool CxImage::EncodeSafeCheck(CxFile* file)
{
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    if (pDib == nullptr) {
        SetLastError("null image!!!");
        return false;
    }
    return true;
}

void* CxImage::Create(DWORD width, DWORD height, DWORD bpp, DWORD imagetype)
{
    if (!Destroy())
        return nullptr;
    if (width == 0 || height == 0) {
        SetLastError("CxImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    if (bpp <= 1)
        bpp = 1;
    else if (bpp <= 4)
        bpp = 4;
    else if (bpp <= 8)
        bpp = 8;
    else
        bpp = 24;

    // The real size in 64 bits: a 32-bit product wraps for large sizes and under-allocates.
    uint64_t stride = (uint64_t{width} * bpp + 31) / 32 * 4;
    if (width > INT32_MAX || height > INT32_MAX || stride * height > CXIMAGE_MAX_MEMORY) {
        SetLastError("CXIMAGE_MAX_MEMORY exceeded");
        return nullptr;
    }

    info.dwType = imagetype;
    info.dwEffWidth = static_cast<DWORD>(stride);
    DWORD colours = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;

    head.biSize = sizeof(BITMAPINFOHEADER);
    head.biWidth = static_cast<LONG>(width);
    head.biHeight = static_cast<LONG>(height);
    head.biPlanes = 1;
    head.biBitCount = static_cast<WORD>(bpp);
    head.biCompression = 0;
    head.biSizeImage = static_cast<DWORD>(stride * height);
    head.biXPelsPerMeter = pelsPerMetre(info.xDPI);
    head.biYPelsPerMeter = pelsPerMetre(info.yDPI);
    head.biClrUsed = colours;
    head.biClrImportant = 0;

    pDib = std::malloc(GetSize());
    if (pDib == nullptr) {
        SetLastError("CxImage::Create can't allocate memory");
        return nullptr;
    }
    if (colours != 0)
        std::memset(GetPalette(), 0, colours * sizeof(RGBQUAD));
    std::free(pSelection);
    pSelection = nullptr;
    std::free(pAlpha);
    pAlpha = nullptr;
    std::memcpy(pDib, &head, sizeof head);
    info.pImage = static_cast<BYTE*>(pDib) + sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
    return pDib;
}

DWORD CxImage::GetSize() const
{
    return head.biSize + head.biSizeImage + head.biClrUsed * sizeof(RGBQUAD);
}

BYTE* CxImage::GetBits(DWORD row) const
{
    if (pDib == nullptr)
        return nullptr;
    if (row == 0)
        return info.pImage;
    if (row < GetHeight())
        return info.pImage + size_t{row} * info.dwEffWidth;
    return nullptr;
}

void CxImage::UpdateDibHeader()
{
    if (pDib != nullptr)
        std::memcpy(pDib, &head, sizeof head);
}

bool CxImage::CreateFromPixels(const BYTE* src, DWORD width, DWORD height, DWORD bpp, DWORD srcRowBytes,
                               bool flip)
{
    if (src == nullptr || !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32))
        return false;
    if (bpp == 32 && uint64_t{width} * 4 > srcRowBytes)
        return false;
    if (Create(width, height, bpp == 32 ? 24 : bpp, info.dwType) == nullptr)
        return false;
    if (bpp < 24)
        SetGreyPalette();
    if (bpp == 32 && !AlphaCreate())
        return false;

    DWORD stride = info.dwEffWidth;
    for (DWORD i = 0; i < height; ++i) {
        const BYTE* s = src + size_t{i} * srcRowBytes;
        DWORD row = flip ? height - 1 - i : i;
        BYTE* d = info.pImage + size_t{row} * stride;
        if (bpp == 32) {
            BYTE* a = pAlpha + size_t{row} * width;
            for (DWORD x = 0; x < width; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                a[x] = s[3];
            }
        } else {
            std::memcpy(d, s, stride < srcRowBytes ? stride : srcRowBytes);
        }
    }
    return true;
}

void CxImage::CopyInfo(const CxImage& src)
{
    if (&src == this)
        return;
    std::memcpy(&info, &src.info, sizeof info);
    info.pGhost = nullptr;
    info.pImage = nullptr;
    jpegMeta = src.jpegMeta;
}

void CxImage::CopyFrom(const CxImage& src, bool copyPixels, bool copySelection, bool copyAlpha)
{
    if (&src == this)
        return;
    if (src.info.pGhost != nullptr) {
        Ghost(&src);
        return;
    }
    if (!Destroy())
        return;
    std::memcpy(&head, &src.head, sizeof head);
    CopyInfo(src);
    if (!src.IsValid()) {
        std::memset(&head, 0, sizeof head);
        return;
    }
    if (Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType()) == nullptr)
        return;
    // Create fills the header from the arguments; keep the source's resolution fields.
    head.biXPelsPerMeter = src.head.biXPelsPerMeter;
    head.biYPelsPerMeter = src.head.biYPelsPerMeter;
    if (copyPixels) {
        std::memcpy(pDib, src.pDib, GetSize());
    } else {
        std::memcpy(GetPalette(), src.GetPalette(), GetNumColors() * sizeof(RGBQUAD));
        UpdateDibHeader();
    }
    size_t plane = size_t{GetWidth()} * GetHeight();
    if (copySelection && src.pSelection != nullptr) {
        pSelection = static_cast<BYTE*>(std::malloc(plane));
        if (pSelection != nullptr)
            std::memcpy(pSelection, src.pSelection, plane);
    }
    if (copyAlpha && src.pAlpha != nullptr) {
        pAlpha = static_cast<BYTE*>(std::malloc(plane));
        if (pAlpha != nullptr)
            std::memcpy(pAlpha, src.pAlpha, plane);
    }
}

void CxImage::Ghost(const CxImage* from)
{
    if (from == nullptr || from == this || (info.pGhost == nullptr && !Destroy()))
        return;
    std::memcpy(&head, &from->head, sizeof head);
    std::memcpy(&info, &from->info, sizeof info);
    pDib = from->pDib;
    pSelection = from->pSelection;
    pAlpha = from->pAlpha;
    ppLayers = from->ppLayers;
    nLayers = from->nLayers;
    ppFrames = from->ppFrames;
    nFrames = from->nFrames;
    jpegMeta = from->jpegMeta;
    info.pGhost = from->info.pGhost != nullptr ? from->info.pGhost : const_cast<CxImage*>(from);
}

void CxImage::Transfer(CxImage& from, bool transferFrames)
{
    if (&from == this)
        return;
    // A ghost owns nothing it could hand over: share its body instead of freeing it twice.
    if (from.info.pGhost != nullptr) {
        if (Destroy())
            Ghost(&from);
        return;
    }
    if (!Destroy())
        return;
    std::memcpy(&head, &from.head, sizeof head);
    std::memcpy(&info, &from.info, sizeof info);
    pDib = from.pDib;
    pSelection = from.pSelection;
    pAlpha = from.pAlpha;
    ppLayers = from.ppLayers;
    nLayers = from.nLayers;
    jpegMeta = std::move(from.jpegMeta);
    from.jpegMeta = {};
    if (transferFrames) {
        ppFrames = from.ppFrames;
        nFrames = from.nFrames;
        from.ppFrames = nullptr;
        from.nFrames = 0;
    }
    from.pDib = nullptr;
    from.pSelection = nullptr;
    from.pAlpha = nullptr;
    from.ppLayers = nullptr;
    from.nLayers = 0;
    from.info.pImage = nullptr;
    std::memset(&from.head, 0, sizeof from.head);
}

RGBQUAD* CxImage::GetPalette() const
{
    if (pDib == nullptr || head.biClrUsed == 0)
        return nullptr;
    return reinterpret_cast<RGBQUAD*>(static_cast<BYTE*>(pDib) + sizeof(BITMAPINFOHEADER));
}

RGBQUAD CxImage::GetPaletteColor(BYTE index) const
{
    RGBQUAD colour{0, 0, 0, 0};
    if (RGBQUAD* pal = GetPalette(); pal != nullptr && index < head.biClrUsed)
        colour = pal[index];
    return colour;
}

void CxImage::SetPaletteColor(BYTE index, RGBQUAD colour)
{
    if (RGBQUAD* pal = GetPalette(); pal != nullptr && index < head.biClrUsed)
        pal[index] = colour;
}

void CxImage::SetGreyPalette()
{
    RGBQUAD* pal = GetPalette();
    DWORD n = head.biClrUsed;
    if (pal == nullptr || n < 2)
        return;
    for (DWORD i = 0; i < n; ++i) {
        BYTE v = static_cast<BYTE>(i * 255 / (n - 1));
        pal[i] = RGBQUAD{v, v, v, 0};
    }
}

bool CxImage::IsGreyPalette() const
{
    RGBQUAD* pal = GetPalette();
    if (pal == nullptr)
        return false;
    for (DWORD i = 0; i < head.biClrUsed; ++i) {
        if (pal[i].rgbBlue != i || pal[i].rgbGreen != i || pal[i].rgbRed != i)
            return false;
    }
    return true;
}

BYTE CxImage::GetNearestIndex(RGBQUAD c) const
{
    RGBQUAD* pal = GetPalette();
    if (pal == nullptr)
        return 0;
    long best = -1;
    BYTE index = 0;
    for (DWORD i = 0; i < head.biClrUsed; ++i) {
        long db = long{pal[i].rgbBlue} - c.rgbBlue;
        long dg = long{pal[i].rgbGreen} - c.rgbGreen;
        long dr = long{pal[i].rgbRed} - c.rgbRed;
        long d = db * db + dg * dg + dr * dr;
        if (best < 0 || d < best) {
            best = d;
            index = static_cast<BYTE>(i);
            if (d == 0)
                break;
        }
    }
    return index;
}

RGBQUAD CxImage::GetTransparentColour() const
{
    if (head.biBitCount < 24 && info.nBkgndIndex >= 0)
        return GetPaletteColor(static_cast<BYTE>(info.nBkgndIndex));
    return info.nBkgndColor;
}

bool CxImage::IsInside(LONG x, LONG y) const
{
    return pDib != nullptr && x >= 0 && y >= 0 && x < head.biWidth && y < head.biHeight;
}

BYTE CxImage::GetPixelIndex(LONG x, LONG y) const
{
    if (!IsInside(x, y) || head.biClrUsed == 0)
        return 0;
    const BYTE* row = info.pImage + size_t(y) * info.dwEffWidth;
    switch (head.biBitCount) {
    case 8:
        return row[x];
    case 4:
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    default:
        return (row[x >> 3] >> (7 - (x & 7))) & 0x01;
    }
}

void CxImage::SetPixelIndex(LONG x, LONG y, BYTE index)
{
    if (!IsInside(x, y) || head.biClrUsed == 0)
        return;
    BYTE* row = info.pImage + size_t(y) * info.dwEffWidth;
    switch (head.biBitCount) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = static_cast<BYTE>((row[x >> 1] & ~(0x0F << shift)) | ((index & 0x0F) << shift));
        break;
    }
    default: {
        int shift = 7 - (x & 7);
        row[x >> 3] = static_cast<BYTE>((row[x >> 3] & ~(1 << shift)) | ((index & 1) << shift));
        break;
    }
    }
}

RGBQUAD CxImage::PixelColour(LONG x, LONG y, bool getAlpha) const
{
    RGBQUAD c{0, 0, 0, 255};
    if (!IsInside(x, y))
        return c;
    if (head.biClrUsed != 0) {
        c = GetPaletteColor(GetPixelIndex(x, y));
        c.rgbReserved = 255;
    } else {
        const BYTE* p = info.pImage + size_t(y) * info.dwEffWidth + size_t(x) * 3;
        c.rgbBlue = p[0];
        c.rgbGreen = p[1];
        c.rgbRed = p[2];
    }
    if (getAlpha && pAlpha != nullptr)
        c.rgbReserved = AlphaGet(x, y);
    return c;
}

void CxImage::SetPixelColour(LONG x, LONG y, RGBQUAD c, bool setAlpha)
{
    if (!IsInside(x, y))
        return;
    if (head.biClrUsed != 0) {
        SetPixelIndex(x, y, GetNearestIndex(c));
    } else {
        BYTE* p = info.pImage + size_t(y) * info.dwEffWidth + size_t(x) * 3;
        p[0] = c.rgbBlue;
        p[1] = c.rgbGreen;
        p[2] = c.rgbRed;
    }
    if (setAlpha && pAlpha != nullptr)
        AlphaSet(x, y, c.rgbReserved);
}

bool CxImage::AlphaCreate()
{
    if (pDib == nullptr)
        return false;
    if (pAlpha == nullptr) {
        size_t plane = size_t{GetWidth()} * GetHeight();
        pAlpha = static_cast<BYTE*>(std::malloc(plane));
        if (pAlpha == nullptr)
            return false;
        std::memset(pAlpha, 255, plane);
    }
    return true;
}

void CxImage::AlphaDelete()
{
    if (info.pGhost != nullptr)
        return;
    std::free(pAlpha);
    pAlpha = nullptr;
}

BYTE CxImage::AlphaGet(LONG x, LONG y) const
{
    if (pAlpha == nullptr || !IsInside(x, y))
        return 0;
    return pAlpha[size_t(y) * GetWidth() + x];
}

void CxImage::AlphaSet(LONG x, LONG y, BYTE level)
{
    if (pAlpha != nullptr && IsInside(x, y))
        pAlpha[size_t(y) * GetWidth() + x] = level;
}

BYTE* CxImage::AlphaGetPointer(LONG x, LONG y) const
{
    if (pAlpha == nullptr || !IsInside(x, y))
        return nullptr;
    return pAlpha + size_t(y) * GetWidth() + x;
}

bool CxImage::SelectionCreate()
{
    if (pDib == nullptr)
        return false;
    if (pSelection == nullptr) {
        pSelection = static_cast<BYTE*>(std::calloc(size_t{GetWidth()} * GetHeight(), 1));
        if (pSelection == nullptr)
            return false;
        info.rSelectionBox = RECT{head.biWidth, 0, 0, head.biHeight};
    }
    return true;
}

void CxImage::SelectionDelete()
{
    if (info.pGhost != nullptr)
        return;
    std::free(pSelection);
    pSelection = nullptr;
    info.rSelectionBox = RECT{0, 0, 0, 0};
}

bool CxImage::SelectionIsInside(LONG x, LONG y) const
{
    if (!IsInside(x, y))
        return false;
    if (pSelection == nullptr)
        return true;
    return pSelection[size_t(y) * GetWidth() + x] != 0;
}

void CxImage::SelectionSet(LONG x, LONG y, BYTE level)
{
    if (pSelection == nullptr || !IsInside(x, y))
        return;
    pSelection[size_t(y) * GetWidth() + x] = level;
    // The box is kept in stored rows: top is the highest row index plus one.
    RECT& box = info.rSelectionBox;
    if (level != 0) {
        if (x < box.left)
            box.left = x;
        if (x + 1 > box.right)
            box.right = x + 1;
        if (y < box.bottom)
            box.bottom = y;
        if (y + 1 > box.top)
            box.top = y + 1;
    }
}

void CxImage::SetQuality(int32_t quality)
{
    info.fQuality = static_cast<float>(static_cast<BYTE>(quality & 0xFF));
}

DWORD CxImage::GetCodecOption(DWORD imagetype) const
{
    return imagetype < 5 ? info.dwCodecOpt[imagetype] : 0;
}

void CxImage::SetCodecOption(DWORD option, DWORD imagetype)
{
    if (imagetype < 5)
        info.dwCodecOpt[imagetype] = option;
}

void CxImage::SetXDPI(LONG dpi)
{
    if (dpi <= 0)
        dpi = 96;
    info.xDPI = dpi;
    head.biXPelsPerMeter = pelsPerMetre(dpi);
    if (pDib != nullptr)
        static_cast<BITMAPINFOHEADER*>(pDib)->biXPelsPerMeter = head.biXPelsPerMeter;
}

void CxImage::SetYDPI(LONG dpi)
{
    if (dpi <= 0)
        dpi = 96;
    info.yDPI = dpi;
    head.biYPelsPerMeter = pelsPerMetre(dpi);
    if (pDib != nullptr)
        static_cast<BITMAPINFOHEADER*>(pDib)->biYPelsPerMeter = head.biYPelsPerMeter;
}

namespace {

template <typename Codec> bool encodeWith(CxImage& image, CxFile* file)
{
    Codec codec;
    codec.Ghost(&image);
    if (codec.Encode(file))
        return true;
    image.SetLastError(codec.GetLastError());
    return false;
}

template <typename Codec> bool decodeWith(CxImage& image, CxFile* file)
{
    Codec codec;
    codec.SetEscape(image.GetEscape());
    if (codec.Decode(file)) {
        image.Transfer(codec);
        return true;
    }
    image.SetLastError(codec.GetLastError());
    return false;
}

} // namespace

bool CxImage::Encode(CxFile* file, DWORD imagetype)
{
    switch (imagetype) {
    case ImageFormat::Bmp:
        return encodeWith<CxImageBMP>(*this, file);
    case ImageFormat::Jpg:
        return encodeWith<CxImageJPG>(*this, file);
    case ImageFormat::Png:
        return encodeWith<CxImagePNG>(*this, file);
    default:
        SetLastError("Encode: Unknown format");
        return false;
    }
}

bool CxImage::Decode(CxFile* file, DWORD imagetype)
{
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    switch (imagetype) {
    case ImageFormat::Bmp:
        return decodeWith<CxImageBMP>(*this, file);
    case ImageFormat::Jpg:
        return decodeWith<CxImageJPG>(*this, file);
    case ImageFormat::Png:
        return decodeWith<CxImagePNG>(*this, file);
    case ImageFormat::Unknown: {
        int32_t pos = file->Tell();
        if (decodeWith<CxImageBMP>(*this, file))
            return true;
        file->Seek(pos, 0);
        if (decodeWith<CxImageJPG>(*this, file))
            return true;
        file->Seek(pos, 0);
        if (decodeWith<CxImagePNG>(*this, file))
            return true;
        break;
    }
    default:
        break;
    }
    SetLastError("Decode: Unknown or wrong format");
    return false;
}

bool CxImage::LoadFromResource(HRSRC resource, DWORD imagetype, HMODULE module)
{
    DWORD size = SizeofResource(module, resource);
    HGLOBAL handle = ::LoadResource(module, resource);
    auto* data = handle != nullptr ? static_cast<BYTE*>(LockResource(handle)) : nullptr;
    if (data == nullptr) {
        SetLastError("Unable to load resource!");
        return false;
    }
    // Decoding only reads, so the module's bytes are wrapped without a copy.
    CxMemFile file(data, size);
    return Decode(&file, imagetype);
}

namespace {

template <typename Char> DWORD formatFromExtension(const Char* ext)
{
    if (ext == nullptr)
        return ImageFormat::Unknown;
    char e[4] = {0, 0, 0, 0};
    for (int i = 0; i < 3 && ext[i] != 0; ++i) {
        auto c = static_cast<uint32_t>(ext[i]);
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        e[i] = c < 0x80 ? static_cast<char>(c) : '?';
    }
    if (std::strcmp(e, "bmp") == 0)
        return ImageFormat::Bmp;
    if (std::strcmp(e, "jpg") == 0 || std::strcmp(e, "jpe") == 0 || std::strcmp(e, "jfi") == 0)
        return ImageFormat::Jpg;
    if (std::strcmp(e, "png") == 0)
        return ImageFormat::Png;
    return ImageFormat::Unknown;
}

} // namespace

DWORD CxImage::FormatFromExtension(const char* ext)
{
    return formatFromExtension(ext);
}

DWORD CxImage::FormatFromExtension(LPCWSTR ext)
{
    return formatFromExtension(ext);
}
