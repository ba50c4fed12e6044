#pragma once

#include "platform/kernel/WinTypes.h"

// Format numbers of the image object; 2 and 5 and above are neither produced nor accepted.
struct ImageFormat
{
    enum : DWORD
    {
        Unknown = 0,
        Bmp = 1,
        Jpg = 3,
        Png = 4,
    };
};
