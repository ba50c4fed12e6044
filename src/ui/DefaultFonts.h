#pragma once

#include "platform/gfx/Gdi.h"

// The fonts and text colours every control draws with. Created on first use, never freed.
class DefaultFonts
{
public:
    static DefaultFonts& Instance();

    HFONT normalFont;
    HFONT boldFont;
    COLORREF disabledTextColour = 0xC1C1C1;
    COLORREF textColour = 0x333333;

private:
    DefaultFonts();
};
