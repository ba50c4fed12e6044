#include "forms/FocusProxy.h"

#include "platform/win/Dialog.h"

FocusProxy::FocusProxy(ControlBase& element, UINT dialogCode) : m_element(element), m_dialogCode(dialogCode) {}

HWND FocusProxy::Create(HWND dialog, int id)
{
    RegisterClass(u"QuendalFocusProxy");
    // No size: it never paints over the element nor takes its clicks.
    return CreateImpl(u"QuendalFocusProxy", dialog, RECT{m_element.bounds.left, m_element.bounds.top,
                                                          m_element.bounds.left, m_element.bounds.top},
                      u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, static_cast<UINT>(id));
}

bool FocusProxy::HasFocus() const
{
    return m_hWnd && GetFocus() == m_hWnd;
}

BOOL FocusProxy::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result, DWORD)
{
    switch (message) {
    case WM_GETDLGCODE:
        result = m_dialogCode;
        return TRUE;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        m_element.Invalidate();
        result = 0;
        return TRUE;
    case WM_KEYUP:
        if (wParam == VK_SPACE && pressed && !m_element.disabled)
            pressed();
        result = 0;
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(m_hWnd, &ps);
        EndPaint(m_hWnd, &ps);
        result = 0;
        return TRUE;
    }
    default:
        return FALSE;
    }
}
