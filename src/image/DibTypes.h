#pragma once

#include "platform/kernel/WinTypes.h"

// The Windows device-independent bitmap header and palette entry, byte for byte.
struct CxDibHeader
{
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(CxDibHeader) == 40);

// Also the pixel colour passed between operations: blue, green, red, alpha.
struct CxRgbQuad
{
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
static_assert(sizeof(CxRgbQuad) == 4);
