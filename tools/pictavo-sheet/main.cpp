// Renders a sheet of what the drawing layer does, for a person to look at:
//   pictavo-sheet [out.png]   (default: pictavo-sheet.png in the current folder)

#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "image/ImageBridges.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/GdiPlus.h"
#include "ui/DefaultFonts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

using namespace pictavo::platform;

namespace {

// A button-like skin piece: grey border, light body with a vertical gradient.
void makeSkin(CxImage& skin)
{
    skin.Create(24, 16, 24);
    for (LONG y = 0; y < 16; ++y)
        for (LONG x = 0; x < 24; ++x) {
            bool border = x == 0 || y == 0 || x == 23 || y == 15;
            BYTE v = border ? 0x99 : static_cast<BYTE>(0xF8 - y * 3);
            skin.SetPixelColour(x, y, RGBQUAD{v, v, static_cast<BYTE>(border ? 0x99 : v - 8), 0});
        }
}

// A photo-like JPEG: hills of colour, encoded and decoded like a file.
GpBitmap* makePhoto()
{
    CxImage photo;
    photo.Create(320, 200, 24);
    for (LONG y = 0; y < 200; ++y)
        for (LONG x = 0; x < 320; ++x) {
            double hill = 100 + 30 * std::sin(x / 25.0);
            bool ground = y < hill;
            photo.SetPixelColour(x, y,
                                 ground ? RGBQUAD{40, static_cast<BYTE>(120 + y / 4), 60, 0}
                                        : RGBQUAD{230, static_cast<BYTE>(160 + y / 5), 120, 0});
        }
    CxMemFile file;
    file.Open();
    photo.Encode(&file, ImageFormat::Jpg);
    std::vector<uint8_t> bytes(file.GetBuffer(), file.GetBuffer() + file.Size());
    return createGpBitmap(Bitmap::fromMemory(std::move(bytes)));
}

// A translucent disc with a soft edge.
void makeBadge(CxImage& badge)
{
    badge.Create(80, 80, 24);
    badge.AlphaCreate();
    for (LONG y = 0; y < 80; ++y)
        for (LONG x = 0; x < 80; ++x) {
            double d = std::hypot(x - 39.5, y - 39.5);
            double a = std::clamp((38 - d) / 6, 0.0, 1.0) * 200;
            badge.SetPixelColour(x, y, RGBQUAD{30, 60, 230, static_cast<BYTE>(a)}, true);
        }
}

} // namespace

int main(int argc, char** argv)
{
    std::string out = argc > 1 ? argv[1] : "pictavo-sheet.png";
    auto sheet = Bitmap::create(480, 320, 0xFFFFFFFF);
    Canvas canvas(sheet);
    HDC dc = createCanvasDC(&canvas);
    DefaultFonts& fonts = DefaultFonts::Instance();

    // Texts in the two colours, and a bold title.
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, fonts.boldFont);
    SetTextColor(dc, fonts.textColour);
    RECT title{10, 8, 470, 24};
    DrawTextW(dc, u"Pictavo 绘图样张 (drawing sample sheet)", -1, &title, DT_LEFT | DT_SINGLELINE);
    SelectObject(dc, fonts.normalFont);
    RECT line{10, 28, 230, 44};
    DrawTextW(dc, u"添加图片  上传  已上传 3 张", -1, &line, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    SetTextColor(dc, fonts.disabledTextColour);
    RECT grey{240, 28, 470, 44};
    DrawTextW(dc, u"禁用的文字 disabled text", -1, &grey, DT_LEFT | DT_SINGLELINE | DT_VCENTER);

    // A skin piece at natural size and stretched (no smoothing, as the skin draws it).
    CxImage skin;
    makeSkin(skin);
    skin.DrawTo(dc, 10, 56);
    skin.DrawTo(dc, 44, 56, 120, 32);
    SetTextColor(dc, fonts.textColour);
    RECT caption{44, 56, 164, 88};
    DrawTextW(dc, u"确定", -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

    // A photo with a translucent picture composed over it.
    GpBitmap* photo = makePhoto();
    GpGraphics* g = nullptr;
    GdipCreateFromHDC(dc, &g);
    GdipDrawImageRectI(g, photo, 10, 100, 240, 150);
    CxImage badge;
    makeBadge(badge);
    badge.DrawTo(dc, 90, 135);

    // A list tile: thumbnail of the photo in a 135 x 104 box, frame, trimmed caption.
    GpSolidFill* tileBrush = nullptr;
    GdipCreateSolidFill(0xFFF4F4F4, &tileBrush);
    GdipFillRectangleI(g, tileBrush, 270, 100, 150, 140);
    GpPen* framePen = nullptr;
    GdipCreatePen1(0xFFD8D8D8, 1, UnitPixel, &framePen);
    GdipDrawRectangleI(g, framePen, 270, 100, 149, 139);
    UINT pw = 0, ph = 0;
    GdipGetImageWidth(photo, &pw);
    GdipGetImageHeight(photo, &ph);
    GpImage* thumb = MakeFittedBitmap(static_cast<LONG>(pw), static_cast<LONG>(ph), 135, 104, photo);
    if (thumb) {
        UINT tw = 0, th = 0;
        GdipGetImageWidth(thumb, &tw);
        GdipGetImageHeight(thumb, &th);
        GdipDrawImageI(g, thumb, 270 + (150 - static_cast<INT>(tw)) / 2,
                       104 + (104 - static_cast<INT>(th)) / 2);
        GdipDisposeImage(thumb);
    }
    GpFontFamily* family = nullptr;
    GdipCreateFontFamilyFromName(u"新宋体", nullptr, &family);
    GpFont* font = nullptr;
    GdipCreateFont(family, 12, FontStyleRegular, UnitPixel, &font);
    GpStringFormat* format = nullptr;
    GdipCreateStringFormat(StringFormatFlagsNoWrap, 0, &format);
    GdipSetStringFormatAlign(format, StringAlignmentCenter);
    GdipSetStringFormatLineAlign(format, StringAlignmentCenter);
    GdipSetStringFormatTrimming(format, StringTrimmingEllipsisCharacter);
    GpSolidFill* textBrush = nullptr;
    GdipCreateSolidFill(0xFF333333, &textBrush);
    GpRectF captionRect{271, 216, 148, 22};
    GdipDrawString(g, u"二〇二六年春节全家福照片（原图）.jpg", -1, font, &captionRect, format, textBrush);

    // The crop tracker's look: dotted outline and hatched interior in mask mode.
    HPEN dots = CreatePen(PS_DOT, 1, 0);
    HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, RGB(0, 0, 0));
    SelectObject(dc, dots);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, 30, 260, 200, 310);
    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, hatch);
    SetROP2(dc, R2_MASKPEN);
    Rectangle(dc, 31, 261, 200, 310);
    SetROP2(dc, R2_COPYPEN);

    GdipDeleteBrush(tileBrush);
    GdipDeleteBrush(textBrush);
    GdipDeletePen(framePen);
    GdipDeleteStringFormat(format);
    GdipDeleteFont(font);
    GdipDeleteFontFamily(family);
    GdipDeleteGraphics(g);
    GdipDisposeImage(photo);
    DeleteObject(dots);
    DeleteObject(hatch);
    DeleteDC(dc);

    if (!sheet->savePng(out)) {
        std::fprintf(stderr, "pictavo-sheet: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s\n", out.c_str());
    return 0;
}

// Fontconfig keeps parts of a parsed configuration with no pointer left to them for the life of
// the process; sanitizer builds of this tool would otherwise fail on exit.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
