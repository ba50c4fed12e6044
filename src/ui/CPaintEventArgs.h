#pragma once

#include "platform/gfx/GdiPlus.h"
#include "ui/CEventArgs.h"

namespace Quendal::UI {

// Borrowed for one paint: the back buffer, a spare memory context, and GDI+ on the buffer.
class CPaintEventArgs : public CEventArgs
{
public:
    HDC hdc = nullptr;
    HDC scratchDc = nullptr;
    GpGraphics* graphics = nullptr;
};

} // namespace Quendal::UI
