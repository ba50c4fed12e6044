#pragma once

#include "image/CxFile.h"
#include "image/ImageFormat.h"
#include "platform/com/Resource.h"
#include "platform/gfx/Gdi.h"

#include <cstdint>
#include <vector>

// Largest pixel area Create accepts, in bytes. Fuzzing builds lower it so that hostile headers
// cost milliseconds rather than a quarter-gigabyte fill each.
#ifdef PICTAVO_FUZZ_MAX_MEMORY
constexpr uint64_t CXIMAGE_MAX_MEMORY = PICTAVO_FUZZ_MAX_MEMORY;
#else
constexpr uint64_t CXIMAGE_MAX_MEMORY = 268435456;
#endif

// An in-memory raster: one malloc'd block holding the DIB header, the palette and the
// bottom-up pixel rows, plus optional alpha and selection planes.
class CxImage
{
public:
    struct ImageInfo
    {
        DWORD dwEffWidth;
        BYTE* pImage;
        CxImage* pGhost;
        DWORD dwType;
        char szLastError[256];
        LONG nProgress;
        LONG nEscape;
        LONG nBkgndIndex;
        RGBQUAD nBkgndColor;
        float fQuality;
        DWORD dwCodecOpt[5];
        LONG xDPI;
        LONG yDPI;
        RECT rSelectionBox;
        BYTE nAlphaMax;
        bool bAlphaPaletteEnabled;
        bool bEnabled;
        bool bLittleEndianHost;
    };

    explicit CxImage(DWORD imagetype = ImageFormat::Unknown);
    virtual ~CxImage();
    CxImage(const CxImage&) = delete;
    CxImage& operator=(const CxImage&) = delete;

    bool Destroy();
    void* Create(DWORD width, DWORD height, DWORD bpp, DWORD imagetype = ImageFormat::Unknown);
    // 32-bit input (blue, green, red, alpha) becomes 24-bit pixels plus an alpha plane.
    bool CreateFromPixels(const BYTE* src, DWORD width, DWORD height, DWORD bpp, DWORD srcRowBytes,
                          bool flip);
    void CopyFrom(const CxImage& src, bool copyPixels = true, bool copySelection = true,
                  bool copyAlpha = true);
    void Transfer(CxImage& from, bool transferFrames = true);
    // Shares the buffers of another image; the ghost never frees them.
    void Ghost(const CxImage* from);

    bool IsValid() const { return pDib != nullptr; }
    DWORD GetWidth() const { return static_cast<DWORD>(head.biWidth); }
    DWORD GetHeight() const { return static_cast<DWORD>(head.biHeight); }
    WORD GetBpp() const { return head.biBitCount; }
    DWORD GetNumColors() const { return head.biClrUsed; }
    DWORD GetEffWidth() const { return info.dwEffWidth; }
    DWORD GetSize() const;
    BYTE* GetBits(DWORD row = 0) const;
    void* GetDIB() const { return pDib; }
    const BITMAPINFOHEADER& GetHeader() const { return head; }
    DWORD GetType() const { return info.dwType; }
    const char* GetLastError() const { return info.szLastError; }
    void SetLastError(const char* text);
    LONG GetProgress() const { return info.nProgress; }
    void SetEscape(LONG escape) { info.nEscape = escape; }
    LONG GetEscape() const { return info.nEscape; }

    RGBQUAD* GetPalette() const;
    RGBQUAD GetPaletteColor(BYTE index) const;
    void SetPaletteColor(BYTE index, RGBQUAD colour);
    void SetGreyPalette();
    bool IsGreyPalette() const;
    BYTE GetNearestIndex(RGBQUAD colour) const;

    LONG GetBkgndIndex() const { return info.nBkgndIndex; }
    void SetBkgndIndex(LONG index) { info.nBkgndIndex = index; }
    void SetBkgndColor(RGBQUAD colour) { info.nBkgndColor = colour; }
    RGBQUAD GetTransparentColour() const;

    bool IsInside(LONG x, LONG y) const;
    BYTE GetPixelIndex(LONG x, LONG y) const;
    void SetPixelIndex(LONG x, LONG y, BYTE index);
    RGBQUAD PixelColour(LONG x, LONG y, bool getAlpha = true) const;
    void SetPixelColour(LONG x, LONG y, RGBQUAD colour, bool setAlpha = false);

    bool AlphaCreate();
    void AlphaDelete();
    bool AlphaIsValid() const { return pAlpha != nullptr; }
    BYTE AlphaGet(LONG x, LONG y) const;
    void AlphaSet(LONG x, LONG y, BYTE level);
    BYTE* AlphaGetPointer(LONG x = 0, LONG y = 0) const;

    bool SelectionCreate();
    void SelectionDelete();
    bool SelectionIsValid() const { return pSelection != nullptr; }
    bool SelectionIsInside(LONG x, LONG y) const;
    void SelectionSet(LONG x, LONG y, BYTE level);

    float GetJpegQuality() const { return info.fQuality; }
    void SetQuality(int32_t quality);
    DWORD GetCodecOption(DWORD imagetype) const;
    void SetCodecOption(DWORD option, DWORD imagetype);
    LONG GetXDPI() const { return info.xDPI; }
    LONG GetYDPI() const { return info.yDPI; }
    void SetXDPI(LONG dpi);
    void SetYDPI(LONG dpi);
    // The APP1 block of the JPEG this image was decoded from, written back by the JPEG encoder.
    const std::vector<BYTE>& GetExifBlock() const { return jpegMeta.exif; }
    void SetExifBlock(std::vector<BYTE> block) { jpegMeta.exif = std::move(block); }
    // That JPEG's colour profile, written back the same way.
    const std::vector<BYTE>& GetIccProfile() const { return jpegMeta.icc; }
    void SetIccProfile(std::vector<BYTE> profile) { jpegMeta.icc = std::move(profile); }

    bool Encode(CxFile* file, DWORD imagetype);
    bool Decode(CxFile* file, DWORD imagetype);
    bool LoadFromResource(HRSRC resource, DWORD imagetype, HMODULE module = nullptr);
    static DWORD FormatFromExtension(const char* ext);
    static DWORD FormatFromExtension(LPCWSTR ext);

    bool Scale(DWORD newWidth, DWORD newHeight, int mode = 0, CxImage* dst = nullptr);
    bool FitInto(LONG boxWidth, LONG boxHeight, RGBQUAD canvas, CxImage* dst);
    bool Rotate90Left(CxImage* dst = nullptr);
    bool Rotate90Right(CxImage* dst = nullptr);
    bool CropTo(LONG left, LONG top, LONG right, LONG bottom, CxImage* dst = nullptr);
    bool AdjustLight(LONG brightness, LONG contrast = 0);
    bool ApplyLut(const BYTE* lut);
    bool Saturate(LONG amount, LONG colorspace = 1);
    bool PromoteBitDepth(WORD bpp);

    // A DIB section of the pixels (no alpha), made on dc or on a temporary memory context.
    HBITMAP ToHBitmap(HDC dc = nullptr) const;
    // Paints at (x, y) in w x h (negative: natural size), composing alpha and the transparent
    // colour in software; returns 1 when anything was attempted.
    LONG DrawTo(HDC dc, LONG x, LONG y, LONG w = -1, LONG h = -1, const RECT* clip = nullptr,
                bool smooth = false);
    void SetPaintingEnabled(bool enabled) { info.bEnabled = enabled; }
    void SetAlphaPaletteEnabled(bool enabled) { info.bAlphaPaletteEnabled = enabled; }
    void SetAlphaMax(BYTE level) { info.nAlphaMax = level; }

protected:
    void Startup(DWORD imagetype);
    // Every codec's first step: a file to write to and an image to write, or the failure text.
    bool EncodeSafeCheck(CxFile* file);
    void CopyInfo(const CxImage& src);
    void UpdateDibHeader();
    bool ScaleAreaAverage(CxImage& out, float xScale, float yScale);
    bool ScaleBilinear(CxImage& out, float xScale, float yScale);
    void ScaleNearest(CxImage& out, float xScale, float yScale);
    void ScaleBicubic(CxImage& out, float xScale, float yScale);
    void CopyAlphaNearest(CxImage& out, float xScale, float yScale, bool floatCoordinates) const;
    bool Rotate90(CxImage* dst, bool left);
    void Install(CxImage& tmp, CxImage* dst);

    void* pDib;
    BITMAPINFOHEADER head;
    ImageInfo info;
    BYTE* pSelection;
    BYTE* pAlpha;
    CxImage** ppLayers;
    DWORD nLayers;
    CxImage** ppFrames;
    DWORD nFrames;
    // What the header of the JPEG this image was decoded from said about its pixels.
    struct JpegMetadata
    {
        std::vector<BYTE> exif;
        std::vector<BYTE> icc;
        // The pixels were turned since, so the EXIF orientation no longer describes them.
        bool turned = false;
    };
    JpegMetadata jpegMeta;
};
