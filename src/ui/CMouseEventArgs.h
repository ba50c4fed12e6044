#pragma once

#include "platform/kernel/WinTypes.h"
#include "ui/CEventArgs.h"

class ControlBase;

namespace Quendal::UI {

// A control that wants the following moves and the button-up for itself sets handled and
// names itself as captureTarget.
class CMouseEventArgs : public CEventArgs
{
public:
    CMouseEventArgs() = default;
    CMouseEventArgs(WPARAM wParam, LPARAM lParam);

    UINT keys = 0;
    int x = 0;
    int y = 0;
    BOOL handled = FALSE;
    ControlBase* captureTarget = nullptr;
};

} // namespace Quendal::UI
