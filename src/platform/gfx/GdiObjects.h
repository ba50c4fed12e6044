#pragma once

// The objects behind GDI handles. Internal to the drawing layer.

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Gdi.h"

#include <memory>
#include <vector>

namespace pictavo::platform {

struct GdiObject
{
    explicit GdiObject(int t) : type(t) {}
    virtual ~GdiObject() = default;
    int type;
    bool stock = false;
};

struct PenObject : GdiObject
{
    PenObject() : GdiObject(OBJ_PEN) {}
    PenSpec desc;
};

struct BrushObject : GdiObject
{
    BrushObject() : GdiObject(OBJ_BRUSH) {}
    BrushSpec desc;
};

struct FontObject : GdiObject
{
    FontObject() : GdiObject(OBJ_FONT) {}
    FontSpec desc;
    LOGFONTW logFont{};
};

// A bitmap; a DIB section also keeps its bits in the layout its creator asked for, and the
// two copies are brought in step around each use.
struct BitmapObject : GdiObject
{
    BitmapObject() : GdiObject(OBJ_BITMAP) {}
    std::shared_ptr<Bitmap> pixels;
    bool dib = false;
    int bpp = 32;
    bool bottomUp = true;
    int rowBytes = 0;
    std::vector<uint8_t> raw;
    std::vector<RGBQUAD> palette;
    // The memory context it is selected into; GDI refuses to delete it meanwhile.
    struct DcObject* selectedInto = nullptr;
    void pull();
    void push();
};

struct DcObject : GdiObject
{
    DcObject() : GdiObject(OBJ_MEMDC) {}
    std::unique_ptr<Canvas> owned;
    Canvas* canvas = nullptr;
    BitmapObject* bitmap = nullptr;
    HGDIOBJ bitmapHandle = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    int stretchMode = BLACKONWHITE;
    struct Selection
    {
        HGDIOBJ bitmap, pen, brush, font;
    };
    std::vector<Selection> saved;
};

// Fills a bitmap from 1-bit rows (16-bit padded, 1 white, 0 black) and marks it monochrome.
void unpackMonochrome(BitmapObject& bitmap, const void* bits);

HGDIOBJ registerObject(GdiObject* object);
// Null for a stale handle or an object of another type (type 0: any).
GdiObject* findObject(HGDIOBJ handle, int type = 0);
bool unregisterObject(HGDIOBJ handle);

// Decodes one pixel of a DIB row to B, G, R, 255.
void dibPixel(const uint8_t* row, int bpp, int x, const RGBQUAD* palette, int colours, uint8_t* out);

} // namespace pictavo::platform
