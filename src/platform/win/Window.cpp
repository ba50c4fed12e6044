#include "platform/win/Window.h"

#include <algorithm>

namespace pictavo::platform {

void Window::allocateSurfaces()
{
    const int cw = std::max(0, clientWidth()), ch = std::max(0, clientHeight());
    if (!surface || surface->width() != cw || surface->height() != ch)
        surface = cw && ch ? Bitmap::create(cw, ch, 0xFFFFFFFF) : nullptr;
    if (hasFrame() && width() > 0 && height() > 0) {
        if (!ncSurface || ncSurface->width() != width() || ncSurface->height() != height())
            ncSurface = Bitmap::create(width(), height(), 0xFFFFFFFF);
    } else {
        ncSurface = nullptr;
    }
    update.assign(1, RECT{0, 0, cw, ch});
    if (!cw || !ch)
        update.clear();
    erase = true;
    ncDirty = true;
}

} // namespace pictavo::platform
