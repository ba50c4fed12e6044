#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/FontDescription.h"
#include "platform/gfx/Gdi.h"

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

typedef struct _cairo cairo_t;

namespace pictavo::platform {

struct PenSpec
{
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
};

struct BrushSpec
{
    int style = BS_SOLID;
    int hatch = HS_HORIZONTAL;
    COLORREF colour = 0xFFFFFF; // BS_PATTERN: hatch is the pattern's number
};

// The picture of a pattern brush, repeated from the origin; a monochrome one paints 0 bits in
// the text colour and 1 bits in the background colour. Null once the brush is gone.
std::shared_ptr<Bitmap> brushPattern(int number, bool& monochrome);

enum class Interpolation
{
    Nearest,
    Smooth
};

// How a GDI+-style string sits in its rectangle: 0 near, 1 centre, 2 far.
struct StringLayout
{
    int align = 0;
    int lineAlign = 0;
    bool ellipsis = false;
    bool noWrap = false;
};

// Drawing onto a 32-bit bitmap, with the state of a GDI device context and the operations of
// a GDI+ graphics object. Rectangles, lines and patterns are set pixel by pixel (exact, no
// anti-aliasing, GDI mix modes); pictures and text go through Cairo and Pango.
class Canvas
{
public:
    explicit Canvas(std::shared_ptr<Bitmap> target);
    void setTarget(std::shared_ptr<Bitmap> target);
    const std::shared_ptr<Bitmap>& target() const { return m_target; }
    int width() const { return m_target ? m_target->width() : 0; }
    int height() const { return m_target ? m_target->height() : 0; }

    // Returns the new depth (1 for the first save); restore takes a depth, or a negative count.
    int save();
    bool restore(int saved);
    void intersectClip(const RECT& rect);
    RECT clipBox() const { return m_state.clip; }
    void resetClip();

    PenSpec pen() const { return m_state.pen; }
    void setPen(const PenSpec& pen) { m_state.pen = pen; }
    BrushSpec brush() const { return m_state.brush; }
    void setBrush(const BrushSpec& brush) { m_state.brush = brush; }
    FontSpec font() const { return m_state.font; }
    void setFont(const FontSpec& font) { m_state.font = font; }
    COLORREF textColour() const { return m_state.textColour; }
    void setTextColour(COLORREF c) { m_state.textColour = c; }
    COLORREF bkColour() const { return m_state.bkColour; }
    void setBkColour(COLORREF c) { m_state.bkColour = c; }
    int bkMode() const { return m_state.bkMode; }
    void setBkMode(int mode) { m_state.bkMode = mode; }
    int rop2() const { return m_state.rop2; }
    void setRop2(int mode) { m_state.rop2 = mode; }
    POINT position() const { return m_state.position; }
    void moveTo(int x, int y) { m_state.position = {x, y}; }

    // GDI: FillRect and FrameRect copy the brush; Rectangle and LineTo use the mix mode.
    void fillRect(const RECT& rect, const BrushSpec& brush);
    void frameRect(const RECT& rect, const BrushSpec& brush);
    // The current brush over the rectangle with a mix mode (PatBlt).
    void patternFill(const RECT& rect, int rop2);
    void rectangle(const RECT& rect);
    void lineTo(int x, int y);
    COLORREF pixel(int x, int y) const;
    void setPixel(int x, int y, COLORREF colour);

    // Opaque copies of pixels into the clip; reads outside the picture give transparent black.
    void copyFrom(int x, int y, int width, int height, Bitmap& source, int sx, int sy);
    void setPixels(int x, int y, int width, int height, const uint8_t* bgra, int stride);
    void readPixels(int x, int y, int width, int height, uint8_t* bgra) const;

    // GDI+: ARGB fills blend over the picture; images are drawn with their alpha.
    void fillArgb(const RECT& rect, uint32_t argb);
    void frameArgb(const RECT& rect, uint32_t argb, int penWidth);
    void drawImage(Bitmap& image, double x, double y, double w, double h, double sx, double sy, double sw,
                   double sh, Interpolation interpolation, bool blend = true);

    // GDI text in the current font, colours and background mode; returns the text height.
    int drawText(std::u16string_view text, RECT& rect, UINT format);
    SIZE textExtent(std::u16string_view text) const;
    static SIZE textExtent(std::u16string_view text, const FontSpec& font);
    void drawString(std::u16string_view text, double x, double y, double w, double h, const FontSpec& font,
                    uint32_t argb, const StringLayout& layout);

private:
    struct State
    {
        PenSpec pen;
        BrushSpec brush{BS_SOLID, 0, 0xFFFFFF};
        FontSpec font;
        COLORREF textColour = 0;
        COLORREF bkColour = 0xFFFFFF;
        int bkMode = OPAQUE;
        int rop2 = R2_COPYPEN;
        RECT clip{};
        POINT position{};
    };
    RECT clipped(const RECT& rect) const;
    uint8_t* bits() const;
    void put(int x, int y, COLORREF colour, int rop);
    void fillPattern(const RECT& rect, const BrushSpec& brush, int rop);
    void strokeLine(int x0, int y0, int x1, int y1, int& phase);
    void withCairo(const RECT& area, const std::function<void(cairo_t*)>& draw);

    std::shared_ptr<Bitmap> m_target;
    State m_state;
    std::vector<State> m_saved;
};

} // namespace pictavo::platform
