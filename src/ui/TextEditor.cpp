#include "ui/TextEditor.h"

#include "ui/Drawing.h"

namespace {
constexpr const char16_t* kClass = u"QuendalTextEditor";
constexpr DWORD kSwiss = 0x20; // FF_SWISS
}

TextEditor::TextEditor()
    : font(CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 0, 0, 0, 0, kSwiss, u"新宋体"))
{}

TextEditor::~TextEditor()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    DeleteObject(font);
}

HWND TextEditor::Create(HWND parentWindow, const RECT& rect, const std::u16string& text, DWORD style)
{
    RegisterClass(kClass, u"Edit");
    HWND created = CreateImpl(kClass, parentWindow, rect, text.c_str(), style);
    if (created)
        SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return created;
}

BOOL TextEditor::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD)
{
    switch (message) {
    case OCM__BASE + WM_CTLCOLOREDIT:
    case OCM__BASE + WM_CTLCOLORSTATIC:
        SetTextColor(reinterpret_cast<HDC>(wParam), textColour);
        result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return TRUE;
    case WM_NCCALCSIZE:
        result = DefWindowProc(message, wParam, lParam);
        Quendal::UI::InsetClientByOne(wParam, lParam);
        return TRUE;
    case WM_NCPAINT:
        Quendal::UI::PaintNonClientBand(m_hWnd, borderColour);
        result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}
