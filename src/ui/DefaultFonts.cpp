#include "ui/DefaultFonts.h"

namespace {

HFONT songFont(int weight)
{
    return CreateFontW(12, 0, 0, 0, weight, FALSE, FALSE, FALSE, 0, 0, 0, 0, 32, u"新宋体");
}

} // namespace

DefaultFonts& DefaultFonts::Instance()
{
    static DefaultFonts* fonts = new DefaultFonts;
    return *fonts;
}

DefaultFonts::DefaultFonts() : normalFont(songFont(FW_NORMAL)), boldFont(songFont(FW_BOLD)) {}
