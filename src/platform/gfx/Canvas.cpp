#include "platform/gfx/Canvas.h"

#include "platform/gfx/BitmapSurface.h"
#include "platform/gfx/FontSet.h"
#include "platform/kernel/Strings.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pictavo::platform {
namespace {

RECT intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom)
        return RECT{};
    return r;
}

bool empty(const RECT& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

// The whole pixels a rectangle in floating point touches, kept within int.
RECT coveredBy(double x, double y, double w, double h)
{
    auto c = [](double v) { return static_cast<LONG>(std::clamp(v, -1073741824.0, 1073741824.0)); };
    return RECT{c(std::floor(x)), c(std::floor(y)), c(std::ceil(x + w)), c(std::ceil(y + h))};
}

uint32_t bgrOf(COLORREF c)
{
    return GetBValue(c) | GetGValue(c) << 8 | GetRValue(c) << 16;
}

// The mix mode's number minus one is its truth table over (pen bit, destination bit).
uint32_t mix(int rop, uint32_t pen, uint32_t dst)
{
    unsigned t = static_cast<unsigned>(rop - 1) & 15;
    uint32_t r = 0;
    if (t & 1)
        r |= ~pen & ~dst;
    if (t & 2)
        r |= ~pen & dst;
    if (t & 4)
        r |= pen & ~dst;
    if (t & 8)
        r |= pen & dst;
    return r & 0xFFFFFF;
}

bool hatched(int hatch, int x, int y)
{
    bool h = (y & 7) == 0, v = (x & 7) == 0, f = ((x - y) & 7) == 0, b = ((x + y) & 7) == 0;
    switch (hatch) {
    case HS_HORIZONTAL:
        return h;
    case HS_VERTICAL:
        return v;
    case HS_FDIAGONAL:
        return f;
    case HS_BDIAGONAL:
        return b;
    case HS_CROSS:
        return h || v;
    case HS_DIAGCROSS:
        return f || b;
    default:
        return false;
    }
}

// Whether the pen draws the n-th pixel of a line.
bool penOn(int style, int n)
{
    switch (style) {
    case PS_NULL:
        return false;
    case PS_DOT:
        return (n & 1) == 0;
    case PS_DASH:
        return n % 9 < 6;
    default:
        return true;
    }
}

std::u16string stripPrefixes(std::u16string_view text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        else if (text[i] == u'&')
            continue;
        out += text[i];
    }
    return out;
}

// Names carry undecodable bytes as lone surrogates (the kernel's byte-exact mapping); shown,
// each is the replacement character, so Pango gets valid UTF-8.
std::string displayUtf8(std::u16string_view text)
{
    std::u16string shown(text);
    for (size_t i = 0; i < shown.size(); ++i) {
        const char16_t c = shown[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < shown.size() && shown[i + 1] >= 0xDC00 && shown[i + 1] <= 0xDFFF)
            ++i;
        else if (c >= 0xD800 && c <= 0xDFFF)
            shown[i] = 0xFFFD;
    }
    return toUtf8(shown);
}

struct Layout
{
    PangoLayout* layout;
    explicit Layout(const FontSpec& font, std::u16string_view text)
    {
        layout = pango_layout_new(FontSet::instance().context());
        PangoFontDescription* d = FontSet::instance().describe(font);
        pango_layout_set_font_description(layout, d);
        pango_font_description_free(d);
        std::string utf8 = displayUtf8(text);
        pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
        if (font.underline) {
            PangoAttrList* attrs = pango_attr_list_new();
            pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
            pango_layout_set_attributes(layout, attrs);
            pango_attr_list_unref(attrs);
        }
    }
    ~Layout() { g_object_unref(layout); }
    PangoRectangle logical() const
    {
        PangoRectangle r;
        pango_layout_get_pixel_extents(layout, nullptr, &r);
        return r;
    }
};

} // namespace

Canvas::Canvas(std::shared_ptr<Bitmap> target)
{
    setTarget(std::move(target));
}

void Canvas::setTarget(std::shared_ptr<Bitmap> target)
{
    m_target = std::move(target);
    if (m_target)
        m_target->pixels();
    resetClip();
}

void Canvas::resetClip()
{
    m_state.clip = RECT{0, 0, width(), height()};
}

int Canvas::save()
{
    m_saved.push_back(m_state);
    return static_cast<int>(m_saved.size());
}

bool Canvas::restore(int saved)
{
    int depth = static_cast<int>(m_saved.size());
    int to = saved < 0 ? depth + saved + 1 : saved;
    if (saved == 0 || to < 1 || to > depth)
        return false;
    m_state = m_saved[to - 1];
    m_saved.resize(to - 1);
    return true;
}

void Canvas::intersectClip(const RECT& rect)
{
    m_state.clip = intersect(m_state.clip, rect);
}

RECT Canvas::clipped(const RECT& rect) const
{
    RECT r = rect;
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return intersect(r, m_state.clip);
}

uint8_t* Canvas::bits() const
{
    return m_target ? m_target->pixels() : nullptr;
}

void Canvas::put(int x, int y, COLORREF colour, int rop)
{
    const RECT& c = m_state.clip;
    if (x < c.left || x >= c.right || y < c.top || y >= c.bottom)
        return;
    uint8_t* p = bits() + (static_cast<size_t>(y) * width() + x) * 4;
    uint32_t dst = p[0] | p[1] << 8 | p[2] << 16;
    uint32_t v = rop == R2_COPYPEN ? bgrOf(colour) : mix(rop, bgrOf(colour), dst);
    p[0] = static_cast<uint8_t>(v), p[1] = static_cast<uint8_t>(v >> 8), p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = 255;
}

void Canvas::fillPattern(const RECT& rect, const BrushSpec& brush, int rop)
{
    RECT r = clipped(rect);
    if (empty(r) || brush.style == BS_NULL || !bits())
        return;
    bool mono = false;
    std::shared_ptr<Bitmap> pattern = brush.style == BS_PATTERN ? brushPattern(brush.hatch, mono) : nullptr;
    const uint8_t* patternBits = pattern ? pattern->pixels() : nullptr;
    if (brush.style == BS_PATTERN && !patternBits)
        return;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            if (pattern) {
                const int pw = pattern->width(), ph = pattern->height();
                const uint8_t* px = patternBits + (static_cast<size_t>(y % ph) * pw + x % pw) * 4;
                const COLORREF c = RGB(px[2], px[1], px[0]);
                put(x, y, !mono ? c : c ? m_state.bkColour : m_state.textColour, rop);
            } else if (brush.style != BS_HATCHED || hatched(brush.hatch, x, y))
                put(x, y, brush.colour, rop);
            else if (m_state.bkMode == OPAQUE)
                put(x, y, m_state.bkColour, rop);
        }
    m_target->changed();
}

void Canvas::fillRect(const RECT& rect, const BrushSpec& brush)
{
    fillPattern(rect, brush, R2_COPYPEN);
}

void Canvas::frameRect(const RECT& rect, const BrushSpec& brush)
{
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    fillRect({rect.left, rect.top, rect.right, rect.top + 1}, brush);
    fillRect({rect.left, rect.bottom - 1, rect.right, rect.bottom}, brush);
    fillRect({rect.left, rect.top + 1, rect.left + 1, rect.bottom - 1}, brush);
    fillRect({rect.right - 1, rect.top + 1, rect.right, rect.bottom - 1}, brush);
}

void Canvas::rectangle(const RECT& rect)
{
    RECT r = rect;
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    const PenSpec& pen = m_state.pen;
    if (pen.style == PS_NULL) {
        // GDI leaves the pen's column and row out of a rectangle drawn without a pen.
        fillPattern({r.left, r.top, r.right - 1, r.bottom - 1}, m_state.brush, m_state.rop2);
        return;
    }
    int w = std::max(1, pen.width);
    fillPattern({r.left + w, r.top + w, r.right - w, r.bottom - w}, m_state.brush, m_state.rop2);
    if (w == 1 || pen.style != PS_SOLID) {
        int phase = 0;
        strokeLine(r.left, r.top, r.right - 1, r.top, phase);
        strokeLine(r.right - 1, r.top, r.right - 1, r.bottom - 1, phase);
        strokeLine(r.right - 1, r.bottom - 1, r.left, r.bottom - 1, phase);
        strokeLine(r.left, r.bottom - 1, r.left, r.top, phase);
    } else {
        BrushSpec band{BS_SOLID, 0, pen.colour};
        fillPattern({r.left, r.top, r.right, r.top + w}, band, m_state.rop2);
        fillPattern({r.left, r.bottom - w, r.right, r.bottom}, band, m_state.rop2);
        fillPattern({r.left, r.top + w, r.left + w, r.bottom - w}, band, m_state.rop2);
        fillPattern({r.right - w, r.top + w, r.right, r.bottom - w}, band, m_state.rop2);
    }
    if (m_target)
        m_target->changed();
}

// Bresenham from (x0, y0) up to but not including (x1, y1), as GDI draws lines.
void Canvas::strokeLine(int x0, int y0, int x1, int y1, int& phase)
{
    if (!bits())
        return;
    const PenSpec& pen = m_state.pen;
    int w = std::max(1, pen.width);
    const int64_t length = std::max(std::abs(int64_t{x1} - x0), std::abs(int64_t{y1} - y0));
    if (length > 65536) {
        // Far-flung ends: step only through the part near the clip (Liang-Barsky), keeping the
        // pen pattern's phase, so a wild coordinate cannot stall the thread.
        const RECT& c = m_state.clip;
        const double ex = static_cast<double>(x1) - x0, ey = static_cast<double>(y1) - y0;
        const double p[4] = {-ex, ex, -ey, ey};
        const double q[4] = {
            static_cast<double>(x0) - (c.left - w - 1), (c.right + w + 1) - static_cast<double>(x0),
            static_cast<double>(y0) - (c.top - w - 1), (c.bottom + w + 1) - static_cast<double>(y0)};
        double t0 = 0, t1 = 1;
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0) {
                if (q[i] < 0)
                    t0 = 2;
            } else if (p[i] < 0) {
                t0 = std::max(t0, q[i] / p[i]);
            } else {
                t1 = std::min(t1, q[i] / p[i]);
            }
        }
        if (t0 >= t1) {
            phase += static_cast<int>(length & 0xFFFF);
            return;
        }
        phase += static_cast<int>(static_cast<int64_t>(t0 * length) & 0xFFFF);
        int nx0 = static_cast<int>(std::lround(x0 + t0 * ex)),
            ny0 = static_cast<int>(std::lround(y0 + t0 * ey));
        x1 = static_cast<int>(std::lround(x0 + t1 * ex)), y1 = static_cast<int>(std::lround(y0 + t1 * ey));
        x0 = nx0, y0 = ny0;
    }
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        if (penOn(pen.style, phase++)) {
            for (int oy = 0; oy < w; ++oy)
                for (int ox = 0; ox < w; ++ox)
                    put(x0 + ox - w / 2, y0 + oy - w / 2, pen.colour, m_state.rop2);
        }
        int e2 = 2 * err;
        if (e2 >= dy)
            err += dy, x0 += sx;
        if (e2 <= dx)
            err += dx, y0 += sy;
    }
}

void Canvas::lineTo(int x, int y)
{
    int phase = 0;
    strokeLine(m_state.position.x, m_state.position.y, x, y, phase);
    m_state.position = {x, y};
    if (m_target)
        m_target->changed();
}

COLORREF Canvas::pixel(int x, int y) const
{
    if (!bits() || x < 0 || y < 0 || x >= width() || y >= height())
        return CLR_INVALID;
    const uint8_t* p = bits() + (static_cast<size_t>(y) * width() + x) * 4;
    return RGB(p[2], p[1], p[0]);
}

void Canvas::setPixel(int x, int y, COLORREF colour)
{
    if (!bits())
        return;
    put(x, y, colour, R2_COPYPEN);
    m_target->changed();
}

void Canvas::readPixels(int x, int y, int w, int h, uint8_t* out) const
{
    std::memset(out, 0, static_cast<size_t>(w) * h * 4);
    const uint8_t* src = bits();
    if (!src)
        return;
    RECT r = intersect({x, y, x + w, y + h}, {0, 0, width(), height()});
    for (int row = r.top; row < r.bottom; ++row)
        std::memcpy(out + (static_cast<size_t>(row - y) * w + (r.left - x)) * 4,
                    src + (static_cast<size_t>(row) * width() + r.left) * 4,
                    static_cast<size_t>(r.right - r.left) * 4);
}

void Canvas::setPixels(int x, int y, int w, int h, const uint8_t* bgra, int stride)
{
    RECT r = clipped({x, y, x + w, y + h});
    uint8_t* dst = bits();
    if (empty(r) || !dst)
        return;
    for (int row = r.top; row < r.bottom; ++row)
        std::memmove(dst + (static_cast<size_t>(row) * width() + r.left) * 4,
                     bgra + static_cast<ptrdiff_t>(row - y) * stride + (r.left - x) * 4,
                     static_cast<size_t>(r.right - r.left) * 4);
    m_target->changed();
}

void Canvas::copyFrom(int x, int y, int w, int h, Bitmap& source, int sx, int sy)
{
    if (w <= 0 || h <= 0 || !withinDecodeBound(w, h))
        return;
    std::vector<uint8_t> block(static_cast<size_t>(w) * h * 4);
    Canvas reader(nullptr);
    reader.m_target = std::shared_ptr<Bitmap>(std::shared_ptr<Bitmap>{}, &source);
    reader.readPixels(sx, sy, w, h, block.data());
    setPixels(x, y, w, h, block.data(), w * 4);
}

void Canvas::fillArgb(const RECT& rect, uint32_t argb)
{
    RECT r = clipped(rect);
    uint8_t* px = bits();
    if (empty(r) || !px)
        return;
    const int a = static_cast<int>(argb >> 24);
    const int s[3] = {static_cast<int>(argb & 0xFF), static_cast<int>(argb >> 8 & 0xFF),
                      static_cast<int>(argb >> 16 & 0xFF)};
    if (a == 0)
        return;
    for (int y = r.top; y < r.bottom; ++y) {
        uint8_t* p = px + (static_cast<size_t>(y) * width() + r.left) * 4;
        for (int x = r.left; x < r.right; ++x, p += 4) {
            if (a == 255) {
                p[0] = static_cast<uint8_t>(s[0]), p[1] = static_cast<uint8_t>(s[1]);
                p[2] = static_cast<uint8_t>(s[2]), p[3] = 255;
                continue;
            }
            // Straight-alpha source-over: out = (s*a + d*da*(1-a)) / outA, all scaled by 255.
            int da = p[3];
            int outA = a * 255 + da * (255 - a);
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>((s[c] * a * 255 + p[c] * da * (255 - a) + outA / 2) / outA);
            p[3] = static_cast<uint8_t>((outA + 127) / 255);
        }
    }
    m_target->changed();
}

void Canvas::frameArgb(const RECT& rect, uint32_t argb, int penWidth)
{
    int w = std::max(1, penWidth);
    if (rect.right - rect.left <= 2 * w || rect.bottom - rect.top <= 2 * w) {
        fillArgb(rect, argb);
        return;
    }
    fillArgb({rect.left, rect.top, rect.right, rect.top + w}, argb);
    fillArgb({rect.left, rect.bottom - w, rect.right, rect.bottom}, argb);
    fillArgb({rect.left, rect.top + w, rect.left + w, rect.bottom - w}, argb);
    fillArgb({rect.right - w, rect.top + w, rect.right, rect.bottom - w}, argb);
}

// Cairo sees premultiplied pixels: translucent ones in the area are converted for the call.
void Canvas::withCairo(const RECT& area, const std::function<void(cairo_t*)>& draw)
{
    RECT r = clipped(area);
    uint8_t* px = bits();
    if (empty(r) || !px)
        return;
    const int w = width();
    bool translucent = false;
    for (int y = r.top; y < r.bottom && !translucent; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (px[(static_cast<size_t>(y) * w + x) * 4 + 3] != 255) {
                translucent = true;
                break;
            }
    auto convert = [&](bool toPremultiplied) {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                uint8_t* p = px + (static_cast<size_t>(y) * w + x) * 4;
                unsigned a = p[3];
                if (a == 255)
                    continue;
                for (int c = 0; c < 3; ++c)
                    p[c] = toPremultiplied ? static_cast<uint8_t>((p[c] * a + 127) / 255)
                           : a             ? static_cast<uint8_t>(std::min(255u, (p[c] * 255 + a / 2) / a))
                                           : 0;
            }
    };
    if (translucent)
        convert(true);
    cairo_surface_t* s = cairo_image_surface_create_for_data(px, CAIRO_FORMAT_ARGB32, w, height(), w * 4);
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(cr);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_finish(s);
    cairo_surface_destroy(s);
    if (translucent)
        convert(false);
    m_target->changed();
}

void Canvas::drawImage(Bitmap& image, double x, double y, double w, double h, double sx, double sy, double sw,
                       double sh, Interpolation interpolation, bool blend)
{
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0)
        return;
    cairo_surface_t* src = BitmapSurface::reference(image);
    if (!src)
        return;
    RECT area = coveredBy(x, y, w, h);
    withCairo(area, [&](cairo_t* cr) {
        cairo_rectangle(cr, x, y, w, h);
        cairo_clip(cr);
        cairo_translate(cr, x, y);
        cairo_scale(cr, w / sw, h / sh);
        cairo_set_source_surface(cr, src, -sx, -sy);
        cairo_pattern_t* p = cairo_get_source(cr);
        cairo_pattern_set_filter(p, interpolation == Interpolation::Nearest ? CAIRO_FILTER_NEAREST
                                                                            : CAIRO_FILTER_GOOD);
        cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
        cairo_set_operator(cr, blend ? CAIRO_OPERATOR_OVER : CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
    });
    cairo_surface_destroy(src);
}

int Canvas::drawText(std::u16string_view raw, RECT& rect, UINT format)
{
    std::u16string text = format & DT_NOPREFIX ? std::u16string(raw) : stripPrefixes(raw);
    if (format & DT_SINGLELINE)
        std::replace_if(
            text.begin(), text.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
    auto lock = FontSet::instance().lock();
    Layout l(m_state.font, text);
    const int boxWidth = rect.right - rect.left;
    if (format & DT_SINGLELINE)
        pango_layout_set_single_paragraph_mode(l.layout, TRUE);
    if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) {
        pango_layout_set_width(l.layout, std::max(0, boxWidth) * PANGO_SCALE);
        pango_layout_set_ellipsize(l.layout,
                                   format & DT_PATH_ELLIPSIS ? PANGO_ELLIPSIZE_MIDDLE : PANGO_ELLIPSIZE_END);
    }
    // Wrapped lines are aligned one by one inside the box.
    const bool wrapped = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE) &&
                         !(format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS));
    if (wrapped) {
        pango_layout_set_width(l.layout, std::max(0, boxWidth) * PANGO_SCALE);
        pango_layout_set_wrap(l.layout, PANGO_WRAP_WORD_CHAR);
        pango_layout_set_alignment(l.layout, format & DT_CENTER  ? PANGO_ALIGN_CENTER
                                             : format & DT_RIGHT ? PANGO_ALIGN_RIGHT
                                                                 : PANGO_ALIGN_LEFT);
    }
    PangoRectangle logical = l.logical();
    const int tw = logical.width, th = logical.height;
    if (format & DT_CALCRECT) {
        rect.right = rect.left + tw;
        rect.bottom = rect.top + th;
        return th;
    }
    int x = rect.left;
    if (wrapped)
        x = rect.left + logical.x;
    else if (format & DT_CENTER)
        x = rect.left + (boxWidth - tw) / 2;
    else if (format & DT_RIGHT)
        x = rect.right - tw;
    int y = rect.top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        y = rect.top + (rect.bottom - rect.top - th) / 2;
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
        y = rect.bottom - th;
    RECT box{x, y, x + tw, y + th};
    RECT area = format & DT_NOCLIP ? box : intersect(box, rect);
    if (empty(area))
        return th;
    save();
    intersectClip(area);
    if (m_state.bkMode == OPAQUE)
        fillRect(area, BrushSpec{BS_SOLID, 0, m_state.bkColour});
    COLORREF c = m_state.textColour;
    withCairo(area, [&](cairo_t* cr) {
        cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
        cairo_move_to(cr, x - logical.x, y - logical.y);
        pango_cairo_show_layout(cr, l.layout);
    });
    restore(-1);
    return th;
}

SIZE Canvas::textExtent(std::u16string_view text) const
{
    return textExtent(text, m_state.font);
}

SIZE Canvas::textExtent(std::u16string_view text, const FontSpec& font)
{
    auto lock = FontSet::instance().lock();
    Layout l(font, text);
    pango_layout_set_single_paragraph_mode(l.layout, TRUE);
    PangoRectangle r = l.logical();
    return SIZE{r.width, r.height};
}

void Canvas::drawString(std::u16string_view text, double x, double y, double w, double h,
                        const FontSpec& font, uint32_t argb, const StringLayout& how)
{
    if (w <= 0 || h <= 0)
        return;
    auto lock = FontSet::instance().lock();
    Layout l(font, text);
    pango_layout_set_width(l.layout, static_cast<int>(w * PANGO_SCALE));
    pango_layout_set_alignment(l.layout, how.align == 1   ? PANGO_ALIGN_CENTER
                                         : how.align == 2 ? PANGO_ALIGN_RIGHT
                                                          : PANGO_ALIGN_LEFT);
    pango_layout_set_wrap(l.layout, PANGO_WRAP_WORD_CHAR);
    if (how.noWrap)
        pango_layout_set_single_paragraph_mode(l.layout, TRUE);
    if (how.ellipsis) {
        pango_layout_set_ellipsize(l.layout, PANGO_ELLIPSIZE_END);
        pango_layout_set_height(l.layout, how.noWrap ? -1 : static_cast<int>(h * PANGO_SCALE));
    }
    PangoRectangle logical = l.logical();
    double top = y;
    if (how.lineAlign == 1)
        top = y + std::floor((h - logical.height) / 2);
    else if (how.lineAlign == 2)
        top = y + h - logical.height;
    RECT area = coveredBy(x, y, w, h);
    withCairo(area, [&](cairo_t* cr) {
        cairo_set_source_rgba(cr, (argb >> 16 & 0xFF) / 255.0, (argb >> 8 & 0xFF) / 255.0,
                              (argb & 0xFF) / 255.0, (argb >> 24) / 255.0);
        cairo_move_to(cr, std::floor(x), top);
        pango_cairo_show_layout(cr, l.layout);
    });
}

} // namespace pictavo::platform
