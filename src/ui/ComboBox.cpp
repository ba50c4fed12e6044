#include "ui/ComboBox.h"

#include "platform/controls/Controls.h"
#include "ui/DefaultFonts.h"

namespace {
constexpr const char16_t* kClass = u"QuendalComboBox";
}

ComboBox::~ComboBox()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

HWND ComboBox::Create(HWND parentWindow)
{
    RegisterClass(kClass, u"ComboBox");
    HWND created = CreateImpl(kClass, parentWindow, RECT{0, 0, 0, 0}, u"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST);
    element.hwnd = created;
    if (created)
        SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFonts::Instance().normalFont), TRUE);
    return created;
}

void ComboBox::Place(const RECT& rect)
{
    MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

BOOL ComboBox::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD)
{
    if (message == OCM__BASE + WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE) {
        selectionChanged(static_cast<int>(SendMessageW(window, CB_GETCURSEL, 0, 0)));
        result = 0;
        return TRUE;
    }
    if (message > OCM__BASE && message <= OCM__BASE + 0x1FF) {
        result = DefWindowProcW(window, message - OCM__BASE, wParam, lParam);
        return TRUE;
    }
    if (message == WM_PICTAVO_DESCRIBE) {
        result = DefWindowProc(message, wParam, lParam);
        reinterpret_cast<pictavo::platform::AutomationNode*>(lParam)->className = u"ComboBox";
        result = TRUE;
        return TRUE;
    }
    return FALSE;
}
