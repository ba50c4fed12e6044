#pragma once

#include "platform/gfx/Gdi.h"

#include <string_view>

// The drawing steps every control shares.
namespace Quendal::UI {

// Font, colour and transparent background for one DrawTextW call, restored afterwards.
void DrawText(HDC dc, const RECT& rect, std::u16string_view text, COLORREF colour, HFONT font, UINT format);
void FillSolid(HDC dc, const RECT& rect, COLORREF colour);
// Two frames, the second shrunk by width - 1: with width 1 they coincide.
void FrameDouble(HDC dc, const RECT& rect, int width, COLORREF colour);
void DrawBox(HDC dc, const RECT& rect, COLORREF pen, COLORREF fill);
// Text extent with the given font selected (GetTextExtentPoint32W).
SIZE MeasureText(HDC dc, std::u16string_view text, HFONT font);
// Text extent on the window's own device context with the given font.
SIZE MeasureText(HWND hwnd, std::u16string_view text, HFONT font);

} // namespace Quendal::UI

namespace Quendal::UI {

// Shrinks a window's client area by one pixel on every side (WM_NCCALCSIZE).
void InsetClientByOne(WPARAM wParam, LPARAM lParam);
// Fills the band between a window's edge and its client area (WM_NCPAINT).
void PaintNonClientBand(HWND hwnd, COLORREF colour);

} // namespace Quendal::UI
