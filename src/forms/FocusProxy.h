#pragma once

#include "ui/ControlBase.h"
#include "ui/WindowImpl.h"

#include <functional>

// Keyboard focus for a self-drawn element: a zero-sized child window in the dialog's tab
// order, so Tab reaches the element and the dialog manager asks it about Enter. The element's
// form draws the focus mark while HasFocus().
class FocusProxy : public WindowImpl
{
public:
    // dialogCode answers WM_GETDLGCODE (DLGC_DEFPUSHBUTTON makes Enter send this proxy's id).
    FocusProxy(ControlBase& element, UINT dialogCode);

    HWND Create(HWND dialog, int id);
    bool HasFocus() const;
    const ControlBase& Element() const { return m_element; }

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;

    // Space on the focused proxy, as a click on the element.
    std::function<void()> pressed;

private:
    ControlBase& m_element;
    UINT m_dialogCode;
};
