#include "ui/Editor.h"

#include "platform/controls/Controls.h"
#include "ui/Drawing.h"

#include <charconv>
#include <string>

namespace {
constexpr const char16_t* kClass = u"QuendalEditor";
}

Editor::Editor()
    : font(CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 0, 0, 0, 0, 32, u"新宋体"))
{}

Editor::~Editor()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    DeleteObject(font);
}

HWND Editor::Create(HWND parentWindow)
{
    return Create(parentWindow, 0, 0, 0, 0);
}

HWND Editor::Create(HWND parentWindow, int x, int y, int w, int h)
{
    RegisterClass(kClass, u"Edit");
    DWORD style = WS_CHILD | WS_VISIBLE | ES_WANTRETURN | ES_NUMBER;
    if (readOnly)
        style |= ES_READONLY;
    if (password)
        style |= ES_PASSWORD;
    if (multiLine)
        style |= ES_MULTILINE;
    HWND created = CreateImpl(kClass, parentWindow, RECT{x, y, x + w, y + h}, u"", style);
    element.hwnd = created;
    if (created) {
        SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // A number field has no use for more than its length in digits.
        SendMessageW(created, EM_LIMITTEXT, static_cast<WPARAM>(length), 0);
        if (w || h) {
            element.SetMargins(x, y, 0, 0);
            element.SetSize(w, h);
        }
    }
    return created;
}

void Editor::Place(const RECT& rect)
{
    MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void Editor::SetValue(int v)
{
    const std::string digits = std::to_string(v);
    const std::u16string text(digits.begin(), digits.end());
    SetWindowTextW(m_hWnd, text.c_str());
}

int Editor::GetValue() const
{
    if (!m_hWnd)
        return 0;
    const int n = GetWindowTextLengthW(m_hWnd);
    std::u16string text(static_cast<size_t>(n) + 1, u'\0');
    GetWindowTextW(m_hWnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    std::string narrow;
    for (char16_t c : text) {
        if (c > 0x7F)
            return 0;
        narrow.push_back(static_cast<char>(c));
    }
    int value = 0;
    const char* end = narrow.data() + narrow.size();
    auto [ptr, ec] = std::from_chars(narrow.data(), end, value);
    return ec == std::errc() && ptr == end ? value : 0;
}

BOOL Editor::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD)
{
    switch (message) {
    case WM_NCCALCSIZE:
        result = DefWindowProc(message, wParam, lParam);
        Quendal::UI::InsetClientByOne(wParam, lParam);
        return TRUE;
    case WM_NCPAINT:
        Quendal::UI::PaintNonClientBand(m_hWnd, borderColour);
        result = 0;
        return TRUE;
    case OCM__BASE + WM_CTLCOLOREDIT:
    case OCM__BASE + WM_CTLCOLORSTATIC:
        result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        return TRUE;
    case OCM__BASE + WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE)
            textChanged();
        else if (HIWORD(wParam) == EN_KILLFOCUS)
            focusLost();
        result = 0;
        return TRUE;
    case WM_SETFOCUS:
        focusGained();
        return FALSE;
    case WM_MOUSEMOVE:
        mouseMoved();
        return FALSE;
    case WM_LBUTTONDOWN:
        mousePressed();
        return FALSE;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_RETURN:
            if ((GetKeyState(VK_LCONTROL) | GetKeyState(VK_RCONTROL)) & 0x8000)
                ctrlEnterPressed();
            else
                enterPressed();
            return FALSE;
        case VK_ESCAPE:
            escapePressed();
            return FALSE;
        case VK_UP:
            upPressed();
            result = 0;
            return TRUE;
        case VK_DOWN:
            downPressed();
            result = 0;
            return TRUE;
        default:
            return FALSE;
        }
    case WM_PICTAVO_DESCRIBE: {
        result = DefWindowProc(message, wParam, lParam);
        auto* node = reinterpret_cast<pictavo::platform::AutomationNode*>(lParam);
        node->className = u"Editor";
        result = TRUE;
        return TRUE;
    }
    default:
        return FALSE;
    }
}
