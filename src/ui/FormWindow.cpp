#include "ui/FormWindow.h"

#include "ui/FormBase.h"

FormWindow::FormWindow(FormBase& form, Handler ownMap) : m_form(form), m_ownMap(std::move(ownMap)) {}

FormWindow::~FormWindow()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

HWND FormWindow::Create(HWND owner, const RECT& rect, LPCWSTR caption, DWORD style, DWORD exStyle)
{
    RegisterClass(u"PictavoForm", nullptr, CS_DBLCLKS);
    HWND window = CreateImpl(u"PictavoForm", owner, rect, caption, style, exStyle);
    if (window) {
        RECT client{};
        GetClientRect(window, &client);
        m_form.AttachWindow(window, 0, 0, client.right, client.bottom);
    }
    return window;
}

BOOL FormWindow::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                      DWORD mapId)
{
    if (m_ownMap && m_ownMap(window, message, wParam, lParam, result))
        return TRUE;
    // Messages before the form knows its window (creation) go to the default procedure.
    if (message == WM_NCCREATE || message == WM_CREATE || message == WM_NCCALCSIZE)
        return FALSE;
    return m_form.ProcessWindowMessage(window, message, wParam, lParam, result, mapId);
}
