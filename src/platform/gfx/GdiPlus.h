#pragma once

// The GDI+ flat API subset the component calls: bitmaps from files, resources, pixels and
// GDI bitmaps, 32-bit ARGB bit locking, thumbnails, clones, and drawing of images,
// rectangles and strings.

#include "platform/gfx/Gdi.h"
#include "platform/gfx/Stream.h"

#include <memory>
#include <vector>

using GpStatus = int;
enum Status
{
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
};

using ARGB = DWORD;
using REAL = float;
using PixelFormat = INT;
#define PixelFormat24bppRGB 0x00021808
#define PixelFormat32bppRGB 0x00022009
#define PixelFormat32bppARGB 0x0026200A
#define PixelFormat32bppPARGB 0x000E200B

enum ImageLockMode
{
    ImageLockModeRead = 1,
    ImageLockModeWrite = 2,
    ImageLockModeUserInputBuf = 4
};
enum GpUnit
{
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3
};
enum InterpolationMode
{
    InterpolationModeDefault = 0,
    InterpolationModeLowQuality = 1,
    InterpolationModeHighQuality = 2,
    InterpolationModeBilinear = 3,
    InterpolationModeBicubic = 4,
    InterpolationModeNearestNeighbor = 5,
    InterpolationModeHighQualityBilinear = 6,
    InterpolationModeHighQualityBicubic = 7,
};
enum StringAlignment
{
    StringAlignmentNear = 0,
    StringAlignmentCenter = 1,
    StringAlignmentFar = 2
};
enum StringTrimming
{
    StringTrimmingNone = 0,
    StringTrimmingCharacter = 1,
    StringTrimmingWord = 2,
    StringTrimmingEllipsisCharacter = 3,
    StringTrimmingEllipsisWord = 4,
    StringTrimmingEllipsisPath = 5,
};
#define StringFormatFlagsNoWrap 0x00001000
#define StringFormatFlagsNoClip 0x00004000
enum FontStyle
{
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleUnderline = 4
};

struct GpRect
{
    INT X, Y, Width, Height;
};
struct GpRectF
{
    REAL X, Y, Width, Height;
};

struct BitmapData
{
    UINT Width;
    UINT Height;
    INT Stride;
    ::PixelFormat PixelFormat;
    void* Scan0;
    UINT_PTR Reserved;
};

struct GdiplusStartupInput
{
    UINT GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

namespace pictavo::platform {
class Bitmap;
}
// Images are bitmaps here; the members are the platform's, never the component's business.
struct GpImage
{
    std::shared_ptr<pictavo::platform::Bitmap> bitmap;
    PixelFormat format = PixelFormat32bppARGB;
    bool locked = false;
    UINT lockFlags = 0;
    GpRect lockRect{};
    std::vector<uint8_t> lockBuffer;
};
struct GpBitmap : GpImage
{};
struct GpGraphics;
struct GpCachedBitmap;
struct GpBrush
{
    ARGB colour = 0;
};
struct GpSolidFill : GpBrush
{};
struct GpPen;
struct GpFontFamily;
struct GpFont;
struct GpStringFormat;
struct GpImageAttributes;
struct GpFontCollection;
using DrawImageAbort = BOOL (*)(void*);
using GetThumbnailImageAbort = BOOL (*)(void*);

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(ULONG_PTR token);

// Bitmaps. A bitmap from a file reads only the header until its pixels are needed.
GpStatus GdipCreateBitmapFromFile(LPCWSTR path, GpBitmap** bitmap);
GpStatus GdipLoadImageFromFile(LPCWSTR path, GpImage** image);
// Reads the stream from its current position to its end.
GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap);
GpStatus GdipCreateBitmapFromResource(HINSTANCE module, LPCWSTR name, GpBitmap** bitmap);
GpStatus GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                   GpBitmap** bitmap);
GpStatus GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE palette, GpBitmap** bitmap);
GpStatus GdipCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* hbm, ARGB background);
GpStatus GdipDisposeImage(GpImage* image);
// A second handle on the same pixels, disposed on its own: neither handle may write them.
GpStatus GdipCloneImage(GpImage* image, GpImage** clone);
GpStatus GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus GdipGetImagePixelFormat(GpImage* image, PixelFormat* format);
GpStatus GdipImageGetFrameDimensionsCount(GpImage* image, UINT* count);
GpStatus GdipGetImageThumbnail(GpImage* image, UINT width, UINT height, GpImage** thumbnail,
                               GetThumbnailImageAbort callback, void* data);
GpStatus GdipCloneBitmapAreaI(INT x, INT y, INT width, INT height, PixelFormat format, GpBitmap* source,
                              GpBitmap** clone);
GpStatus GdipBitmapLockBits(GpBitmap* bitmap, const GpRect* rect, UINT flags, PixelFormat format,
                            BitmapData* data);
GpStatus GdipBitmapUnlockBits(GpBitmap* bitmap, BitmapData* data);

// Drawing.
GpStatus GdipCreateFromHDC(HDC dc, GpGraphics** graphics);
GpStatus GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);
GpStatus GdipSetInterpolationMode(GpGraphics* graphics, InterpolationMode mode);
GpStatus GdipGraphicsClear(GpGraphics* graphics, ARGB colour);
enum CombineMode
{
    CombineModeReplace = 0,
    CombineModeIntersect = 1
};
// Clips later drawing of this graphics object only, not its device context.
GpStatus GdipSetClipRectI(GpGraphics* graphics, INT x, INT y, INT width, INT height, CombineMode mode);
GpStatus GdipResetClip(GpGraphics* graphics);
// A device context drawing onto the same pixels, until GdipReleaseDC.
GpStatus GdipGetDC(GpGraphics* graphics, HDC* dc);
GpStatus GdipReleaseDC(GpGraphics* graphics, HDC dc);
GpStatus GdipCreateCachedBitmap(GpBitmap* bitmap, GpGraphics* graphics, GpCachedBitmap** cached);
GpStatus GdipDeleteCachedBitmap(GpCachedBitmap* cached);
GpStatus GdipDrawCachedBitmap(GpGraphics* graphics, GpCachedBitmap* cached, INT x, INT y);
GpStatus GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y);
GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height);
GpStatus GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height,
                                INT sx, INT sy, INT sw, INT sh, GpUnit unit,
                                const GpImageAttributes* attributes, DrawImageAbort callback, void* data);
GpStatus GdipCreateSolidFill(ARGB colour, GpSolidFill** brush);
GpStatus GdipDeleteBrush(GpBrush* brush);
GpStatus GdipFillRectangleI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height);
GpStatus GdipCreatePen1(ARGB colour, REAL width, GpUnit unit, GpPen** pen);
GpStatus GdipDeletePen(GpPen* pen);
GpStatus GdipDrawRectangleI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height);

// Text.
GpStatus GdipCreateFontFamilyFromName(LPCWSTR name, GpFontCollection* collection, GpFontFamily** family);
GpStatus GdipDeleteFontFamily(GpFontFamily* family);
GpStatus GdipCreateFont(const GpFontFamily* family, REAL size, INT style, GpUnit unit, GpFont** font);
GpStatus GdipDeleteFont(GpFont* font);
GpStatus GdipCreateStringFormat(INT flags, WORD language, GpStringFormat** format);
GpStatus GdipDeleteStringFormat(GpStringFormat* format);
GpStatus GdipSetStringFormatAlign(GpStringFormat* format, StringAlignment align);
GpStatus GdipSetStringFormatLineAlign(GpStringFormat* format, StringAlignment align);
GpStatus GdipSetStringFormatTrimming(GpStringFormat* format, StringTrimming trimming);
GpStatus GdipSetStringFormatFlags(GpStringFormat* format, INT flags);
GpStatus GdipDrawString(GpGraphics* graphics, LPCWSTR text, INT length, const GpFont* font,
                        const GpRectF* rect, const GpStringFormat* format, const GpBrush* brush);

namespace pictavo::platform {
class Bitmap;
GpBitmap* createGpBitmap(std::shared_ptr<Bitmap> bitmap);
std::shared_ptr<Bitmap> bitmapOf(GpImage* image);
} // namespace pictavo::platform
