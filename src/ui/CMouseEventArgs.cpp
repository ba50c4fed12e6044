#include "ui/CMouseEventArgs.h"

#include "platform/win/WinUser.h"

namespace Quendal::UI {

CMouseEventArgs::CMouseEventArgs(WPARAM wParam, LPARAM lParam)
    : keys(static_cast<UINT>(wParam)), x(GET_X_LPARAM(lParam)), y(GET_Y_LPARAM(lParam))
{}

} // namespace Quendal::UI
