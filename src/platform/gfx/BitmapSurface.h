#pragma once

// Internal to the platform: the Cairo side of a Bitmap, kept out of its public header.

#include "platform/gfx/Bitmap.h"

typedef struct _cairo_surface cairo_surface_t;

namespace pictavo::platform {

class BitmapSurface
{
public:
    // A premultiplied copy for Cairo to draw from, with a reference of the caller's own (release
    // it with cairo_surface_destroy), so a change on another thread cannot pull it away mid-draw.
    // Null when the picture cannot be decoded.
    static cairo_surface_t* reference(Bitmap& bitmap);
};

} // namespace pictavo::platform
