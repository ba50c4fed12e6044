// Fonts and text.

#include "platform/gfx/Gdi.h"

#include "platform/gfx/GdiObjects.h"

#include <string>
#include <string_view>

using namespace pictavo::platform;

namespace {

std::u16string_view textOf(LPCWSTR text, int length)
{
    if (!text)
        return {};
    return length < 0 ? std::u16string_view(text) : std::u16string_view(text, static_cast<size_t>(length));
}

} // namespace

HFONT CreateFontIndirectW(const LOGFONTW* font)
{
    if (!font)
        return nullptr;
    auto* f = new FontObject;
    f->logFont = *font;
    size_t n = 0;
    while (n < 32 && font->lfFaceName[n])
        ++n;
    f->desc.face = n ? std::u16string(font->lfFaceName, n) : std::u16string(u"新宋体");
    f->desc.height = font->lfHeight ? font->lfHeight : 12;
    f->desc.weight = font->lfWeight ? font->lfWeight : FW_NORMAL;
    f->desc.italic = font->lfItalic != 0;
    f->desc.underline = font->lfUnderline != 0;
    return static_cast<HFONT>(registerObject(f));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR face)
{
    LOGFONTW lf{height,
                width,
                escapement,
                orientation,
                weight,
                static_cast<BYTE>(italic),
                static_cast<BYTE>(underline),
                static_cast<BYTE>(strikeOut),
                static_cast<BYTE>(charSet),
                static_cast<BYTE>(outPrecision),
                static_cast<BYTE>(clipPrecision),
                static_cast<BYTE>(quality),
                static_cast<BYTE>(pitchAndFamily),
                {}};
    for (size_t i = 0; face && i < 31 && face[i]; ++i)
        lf.lfFaceName[i] = face[i];
    return CreateFontIndirectW(&lf);
}

COLORREF SetTextColor(HDC handle, COLORREF colour)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return CLR_INVALID;
    COLORREF previous = dc->canvas->textColour();
    dc->canvas->setTextColour(colour & 0xFFFFFF);
    return previous;
}

COLORREF GetTextColor(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->canvas->textColour() : CLR_INVALID;
}

int DrawTextW(HDC handle, LPCWSTR text, int length, RECT* rect, UINT format)
{
    DrawScope dc(dcOf(handle));
    if (!dc || !rect)
        return 0;
    return dc->drawText(textOf(text, length), *rect, format);
}

BOOL GetTextExtentPoint32W(HDC handle, LPCWSTR text, int length, SIZE* size)
{
    DcObject* dc = dcOf(handle);
    if (!dc || !size || (length > 0 && !text))
        return FALSE;
    *size = dc->canvas->textExtent(textOf(text, length));
    return TRUE;
}

BOOL ExtTextOutW(HDC handle, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT length,
                 const INT*)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return FALSE;
    if ((options & ETO_OPAQUE) && rect)
        dc->fillRect(*rect, BrushSpec{BS_SOLID, 0, dc->bkColour()});
    if (!text || length == 0)
        return TRUE;
    std::u16string_view s(text, length);
    SIZE size = dc->textExtent(s);
    RECT box{x, y, x + size.cx, y + size.cy};
    dc->save();
    if ((options & ETO_CLIPPED) && rect)
        dc->intersectClip(*rect);
    // The opaque fill above already painted the background.
    if (options & ETO_OPAQUE)
        dc->setBkMode(TRANSPARENT);
    dc->drawText(s, box, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    dc->restore(-1);
    return TRUE;
}
