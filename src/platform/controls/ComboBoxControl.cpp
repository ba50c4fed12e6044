#include "platform/controls/ComboBoxControl.h"

#include "platform/controls/ControlTable.h"

#include "platform/win/AutomationNode.h"
#include "platform/win/Dialog.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

namespace pictavo::platform {

namespace {

constexpr COLORREF kHighlight = RGB(0, 120, 215);
constexpr COLORREF kHighlightText = RGB(255, 255, 255);
constexpr COLORREF kFrame = RGB(122, 122, 122);
constexpr COLORREF kArrow = RGB(64, 64, 64);
constexpr COLORREF kGrayText = RGB(109, 109, 109);
constexpr int kMaxItems = 1 << 20;

std::u16string number(LONG_PTR n)
{
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

char16_t fold(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool lessFolded(const std::u16string& a, const std::u16string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t x, char16_t y) { return fold(x) < fold(y); });
}

bool inside(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

void fill(HDC dc, const RECT& r, COLORREF colour)
{
    HBRUSH b = CreateSolidBrush(colour);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

const bool g_registered = ComboBoxControl::registerClass();

} // namespace

bool ComboBoxControl::registerClass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &ComboBoxControl::wndProc;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = u"ComboBox";
    const bool combo = RegisterClassExW(&wc) != 0;
    wc.lpfnWndProc = &ComboBoxControl::listProc;
    wc.style = CS_SAVEBITS;
    wc.lpszClassName = u"ComboLBox";
    return RegisterClassExW(&wc) != 0 && combo;
}

LRESULT ComboBoxControl::wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ComboBoxControl* c = ControlTable<ComboBoxControl>::find(hwnd, message);
    if (!c)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return ControlTable<ComboBoxControl>::run(hwnd, c, [&] { return c->handle(message, wParam, lParam); });
}

LRESULT ComboBoxControl::listProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* c = reinterpret_cast<ComboBoxControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!c || c->m_dead || c->m_list != hwnd)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return ControlTable<ComboBoxControl>::run(c->m_hwnd, c,
                                              [&] { return c->handleList(hwnd, message, wParam, lParam); });
}

ComboBoxControl::ComboBoxControl(HWND hwnd) : m_hwnd(hwnd)
{
    (void)g_registered;
    measure();
}

bool ComboBoxControl::notify(WORD code)
{
    if (HWND parent = GetParent(m_hwnd))
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_hwnd), code),
                     reinterpret_cast<LPARAM>(m_hwnd));
    return !m_dead;
}

void ComboBoxControl::syncText()
{
    const std::u16string text = m_cur >= 0 ? m_items[static_cast<size_t>(m_cur)].text : std::u16string();
    DefWindowProcW(m_hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

void ComboBoxControl::measure()
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc, u"Ag", 2, &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    if (!m_itemHeightSet)
        m_itemHeight = std::max<LONG>(1, size.cy) + 1;
    if (!m_fieldHeightSet)
        m_fieldHeight = std::max<LONG>(1, size.cy) + 7;
}

void ComboBoxControl::fitHeight()
{
    RECT r;
    GetWindowRect(m_hwnd, &r);
    // The window keeps the field's height; a taller size asked for becomes the list's room.
    SetWindowPos(m_hwnd, nullptr, 0, 0, r.right - r.left, m_fieldHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ComboBoxControl::rows() const
{
    const int room = std::max(1, (m_droppedHeight - m_fieldHeight - 2) / m_itemHeight);
    return std::max(1, std::min(count(), room));
}

LRESULT ComboBoxControl::insert(int index, std::u16string text)
{
    if (count() >= kMaxItems)
        return CB_ERRSPACE;
    if (index < 0)
        index = count();
    if (index > count())
        return CB_ERR;
    m_items.insert(m_items.begin() + index, Item{std::move(text), 0});
    if (m_cur >= index)
        ++m_cur;
    if (m_dropped)
        InvalidateRect(m_list, nullptr, FALSE);
    return index;
}

bool ComboBoxControl::choose(int index)
{
    if (count() == 0)
        return true;
    index = std::clamp(index, 0, count() - 1);
    if (index == m_cur)
        return true;
    m_cur = index;
    syncText();
    return notify(CBN_SELCHANGE);
}

int ComboBoxControl::itemAt(POINT screen) const
{
    if (!m_list)
        return -1;
    POINT p = screen;
    ScreenToClient(m_list, &p);
    RECT client;
    GetClientRect(m_list, &client);
    if (!inside(client, p))
        return -1;
    const int i = m_top + p.y / m_itemHeight;
    return i < count() ? i : -1;
}

RECT ComboBoxControl::itemRect(int index) const
{
    RECT client{};
    if (m_list)
        GetClientRect(m_list, &client);
    const int y = (index - m_top) * m_itemHeight;
    return RECT{0, y, client.right, y + m_itemHeight};
}

void ComboBoxControl::setHot(int index)
{
    if (count() == 0)
        return;
    index = std::clamp(index, 0, count() - 1);
    if (index == m_hot)
        return;
    m_hot = index;
    const int n = rows();
    if (m_hot < m_top)
        m_top = m_hot;
    else if (m_hot >= m_top + n)
        m_top = m_hot - n + 1;
    if (m_list) {
        SetScrollPos(m_list, SB_VERT, m_top, TRUE);
        InvalidateRect(m_list, nullptr, FALSE);
    }
}

bool ComboBoxControl::open()
{
    if (m_dropped)
        return true;
    // The owner may still fill the list when it hears this.
    if (!notify(CBN_DROPDOWN))
        return false;
    RECT r;
    GetWindowRect(m_hwnd, &r);
    const int n = rows();
    const bool scrolls = count() > n;
    const int height = n * m_itemHeight + 2;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int y = r.bottom;
    if (y + height > work.bottom && r.top - height >= work.top)
        y = r.top - height;
    const DWORD style = WS_POPUP | WS_BORDER | (scrolls ? WS_VSCROLL : 0);
    HWND list =
        CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, u"ComboLBox", u"", style, r.left,
                        y, r.right - r.left, height, GetAncestor(m_hwnd, GA_ROOT), nullptr, nullptr, nullptr);
    if (!list)
        return true;
    m_list = list;
    SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_hot = -1;
    m_top = 0;
    setHot(m_cur >= 0 ? m_cur : 0);
    if (scrolls) {
        SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, count() - 1, static_cast<UINT>(n), m_top,
                      0};
        SetScrollInfo(list, SB_VERT, &si, FALSE);
    }
    m_dropped = true;
    ShowWindow(list, SW_SHOWNA);
    SetCapture(m_hwnd);
    InvalidateRect(m_hwnd, nullptr, FALSE);
    return true;
}

bool ComboBoxControl::close(Close how)
{
    if (!m_dropped || m_closing)
        return true;
    m_closing = true;
    m_dropped = false;
    if (GetCapture() == m_hwnd)
        ReleaseCapture();
    if (HWND list = std::exchange(m_list, nullptr))
        DestroyWindow(list);
    m_closing = false;
    InvalidateRect(m_hwnd, nullptr, FALSE);
    const bool changed = how == Close::Pick && m_hot >= 0 && m_hot < count() && m_hot != m_cur;
    if (changed) {
        m_cur = m_hot;
        syncText();
    }
    if (how == Close::Pick && !notify(CBN_SELENDOK))
        return false;
    if (how == Close::Cancel && !notify(CBN_SELENDCANCEL))
        return false;
    if (!notify(CBN_CLOSEUP))
        return false;
    return !changed || notify(CBN_SELCHANGE);
}

void ComboBoxControl::paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hwnd, &ps);
    if (!dc)
        return;
    RECT rc;
    GetClientRect(m_hwnd, &rc);
    const bool enabled = IsWindowEnabled(m_hwnd);
    fill(dc, rc, kFrame);
    RECT inner{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
    fill(dc, inner, enabled ? GetSysColor(COLOR_WINDOW) : GetSysColor(COLOR_BTNFACE));
    // The arrow button: a small solid triangle pointing down.
    const int button = std::min<LONG>(17, rc.bottom);
    const int cx = rc.right - 1 - button / 2 - 1, cy = rc.bottom / 2 - 1;
    for (int row = 0; row < 4; ++row) {
        RECT line{cx - 3 + row, cy - 1 + row, cx + 4 - row, cy + row};
        fill(dc, line, enabled ? kArrow : kGrayText);
    }
    RECT field{inner.left + 1, inner.top + 1, rc.right - 1 - button, inner.bottom - 1};
    const bool highlight = m_focused && !m_dropped && enabled;
    if (highlight)
        fill(dc, field, kHighlight);
    if (m_cur >= 0) {
        HGDIOBJ old = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, !enabled ? kGrayText : highlight ? kHighlightText : GetSysColor(COLOR_WINDOWTEXT));
        RECT text{field.left + 2, field.top, field.right - 1, field.bottom};
        const std::u16string& s = m_items[static_cast<size_t>(m_cur)].text;
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, old);
    }
    EndPaint(m_hwnd, &ps);
}

void ComboBoxControl::paintList(HWND list)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(list, &ps);
    if (!dc)
        return;
    RECT rc;
    GetClientRect(list, &rc);
    fill(dc, rc, GetSysColor(COLOR_WINDOW));
    HGDIOBJ old = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    for (int i = m_top; i < count(); ++i) {
        RECT r = itemRect(i);
        if (r.top >= rc.bottom)
            break;
        if (i == m_hot)
            fill(dc, r, kHighlight);
        SetTextColor(dc, i == m_hot ? kHighlightText : GetSysColor(COLOR_WINDOWTEXT));
        RECT text{r.left + 3, r.top, r.right - 2, r.bottom};
        const std::u16string& s = m_items[static_cast<size_t>(i)].text;
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SelectObject(dc, old);
    EndPaint(list, &ps);
}

void ComboBoxControl::describeItems(AutomationNode& node, bool inList)
{
    RECT client{};
    POINT origin{0, 0};
    if (m_list) {
        GetClientRect(m_list, &client);
        ClientToScreen(m_list, &origin);
    }
    for (int i = 0; i < count(); ++i) {
        AutomationNode item;
        item.className = u"ComboBoxItem";
        item.text = m_items[static_cast<size_t>(i)].text;
        item.state["index"] = number(i);
        if (i == m_cur)
            item.state["selected"] = u"1";
        if (m_list && i == m_hot)
            item.state["hot"] = u"1";
        const RECT r = itemRect(i);
        item.visible = m_list && i >= m_top && r.bottom <= client.bottom;
        if (item.visible)
            item.bounds = RECT{origin.x + r.left, origin.y + r.top, origin.x + r.right, origin.y + r.bottom};
        if (inList && !item.visible)
            continue;
        node.children.push_back(std::move(item));
    }
    node.state["selected"] = number(m_cur);
    node.state["open"] = m_dropped ? u"1" : u"0";
    node.state["count"] = number(count());
}

LRESULT ComboBoxControl::handleList(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        paintList(list);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_NCDESTROY:
        // Gone with its top-level window before the combo box heard of it.
        m_list = nullptr;
        m_dropped = false;
        break;
    case WM_PICTAVO_DESCRIBE:
        if (auto* node = reinterpret_cast<AutomationNode*>(lParam))
            describeItems(*node, true);
        return TRUE;
    }
    return DefWindowProcW(list, message, wParam, lParam);
}

LRESULT ComboBoxControl::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        if (const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam))
            m_droppedHeight = std::max(cs->cy, m_fieldHeight);
        fitHeight();
        return 0;
    case WM_WINDOWPOSCHANGING:
        if (auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            pos && !(pos->flags & SWP_NOSIZE) && pos->cy != m_fieldHeight) {
            m_droppedHeight = std::max(pos->cy, m_fieldHeight);
            pos->cy = m_fieldHeight;
        }
        return 0;
    case WM_DESTROY:
        if (HWND list = std::exchange(m_list, nullptr)) {
            m_dropped = false;
            DestroyWindow(list);
        }
        return 0;
    case WM_NCDESTROY:
        m_dead = true;
        return DefWindowProcW(m_hwnd, message, wParam, lParam);
    case WM_SETFONT:
        m_font = reinterpret_cast<HFONT>(wParam);
        measure();
        fitHeight();
        if (LOWORD(lParam))
            InvalidateRect(m_hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_font);
    case WM_SETTEXT:
        return CB_ERR; // a drop-down list shows only its items
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_ENABLE:
        if (!wParam)
            close(Close::Cancel);
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (m_dropped ? DLGC_WANTALLKEYS : 0);
    case WM_SETFOCUS:
        m_focused = true;
        InvalidateRect(m_hwnd, nullptr, FALSE);
        notify(CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        m_focused = false;
        InvalidateRect(m_hwnd, nullptr, FALSE);
        if (!close(Close::Cancel))
            return 0;
        notify(CBN_KILLFOCUS);
        return 0;
    case WM_CAPTURECHANGED:
        if (m_dropped && !m_closing && reinterpret_cast<HWND>(lParam) != m_hwnd)
            close(Close::Cancel);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(m_hwnd, &p);
        if (m_dropped) {
            RECT listRect{}, self{};
            GetWindowRect(m_list, &listRect);
            GetWindowRect(m_hwnd, &self);
            if (inside(listRect, p)) {
                setHot(itemAt(p) >= 0 ? itemAt(p) : m_hot);
                return 0;
            }
            // On the field or anywhere else: the list closes and the click goes no further.
            close(Close::Cancel);
            return 0;
        }
        if (!m_focused) {
            SetFocus(m_hwnd);
            if (m_dead || GetFocus() != m_hwnd)
                return 0;
        }
        m_openingPress = true;
        open();
        return 0;
    }
    case WM_MOUSEMOVE:
        if (m_dropped) {
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(m_hwnd, &p);
            if (const int i = itemAt(p); i >= 0)
                setHot(i);
        }
        return 0;
    case WM_LBUTTONUP: {
        const bool first = std::exchange(m_openingPress, false);
        if (!m_dropped)
            return 0;
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(m_hwnd, &p);
        const int i = itemAt(p);
        // The release of the press that opened the list picks only when dragged onto an item.
        if (i >= 0) {
            m_hot = i;
            close(Close::Pick);
        } else if (!first) {
            RECT self{};
            GetWindowRect(m_hwnd, &self);
            if (!inside(self, p))
                close(Close::Cancel);
        }
        return 0;
    }
    case WM_MOUSEWHEEL: {
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        if (m_dropped) {
            m_top = std::clamp(m_top + (delta > 0 ? -3 : 3), 0, std::max(0, count() - rows()));
            SetScrollPos(m_list, SB_VERT, m_top, TRUE);
            InvalidateRect(m_list, nullptr, FALSE);
        } else if (m_focused && m_cur >= 0) {
            choose(m_cur + (delta > 0 ? -1 : 1));
        } else if (m_focused) {
            choose(0);
        }
        return 0;
    }
    case WM_SYSKEYDOWN:
        if (wParam == VK_DOWN || wParam == VK_UP) {
            if (m_dropped)
                close(Close::Pick);
            else
                open();
            return 0;
        }
        break;
    case WM_KEYDOWN: {
        const int page = rows();
        int target = m_dropped ? m_hot : m_cur;
        switch (wParam) {
        case VK_F4:
            if (m_dropped)
                close(Close::Pick);
            else
                open();
            return 0;
        case VK_RETURN:
            if (m_dropped)
                close(Close::Pick);
            return 0;
        case VK_ESCAPE:
            if (m_dropped)
                close(Close::Cancel);
            return 0;
        case VK_UP:
        case VK_LEFT:
            target = target < 0 ? 0 : target - 1;
            break;
        case VK_DOWN:
        case VK_RIGHT:
            target = target + 1;
            break;
        case VK_PRIOR:
            target = std::max(0, target - page + 1);
            break;
        case VK_NEXT:
            target = target + page - 1;
            break;
        case VK_HOME:
            target = 0;
            break;
        case VK_END:
            target = count() - 1;
            break;
        default:
            return 0;
        }
        if (m_dropped)
            setHot(target);
        else
            choose(target);
        return 0;
    }
    case WM_CHAR: {
        // A letter goes to the next item that starts with it.
        const char16_t ch = fold(static_cast<char16_t>(wParam));
        if (ch < 0x20 || count() == 0)
            return 0;
        const int from = m_dropped ? m_hot : m_cur;
        for (int k = 1; k <= count(); ++k) {
            const int i = (from + k + count()) % count();
            const auto& t = m_items[static_cast<size_t>(i)].text;
            if (!t.empty() && fold(t[0]) == ch) {
                if (m_dropped)
                    setHot(i);
                else
                    choose(i);
                break;
            }
        }
        return 0;
    }
    case WM_PICTAVO_DESCRIBE:
        if (auto* node = reinterpret_cast<AutomationNode*>(lParam))
            describeItems(*node, false);
        return TRUE;

    case CB_ADDSTRING: {
        std::u16string text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        int at = count();
        if (GetWindowLongW(m_hwnd, GWL_STYLE) & CBS_SORT)
            at = static_cast<int>(std::upper_bound(m_items.begin(), m_items.end(), text,
                                                   [](const std::u16string& t, const Item& i) {
                                                       return lessFolded(t, i.text);
                                                   }) -
                                  m_items.begin());
        return insert(at, std::move(text));
    }
    case CB_INSERTSTRING:
        return insert(static_cast<int>(static_cast<INT_PTR>(wParam)),
                      lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"");
    case CB_DELETESTRING: {
        const auto i = static_cast<INT_PTR>(wParam);
        if (i < 0 || i >= count())
            return CB_ERR;
        m_items.erase(m_items.begin() + i);
        if (m_cur == i) {
            m_cur = -1;
            syncText();
        } else if (m_cur > i) {
            --m_cur;
        }
        m_hot = std::min(m_hot, count() - 1);
        if (m_list)
            InvalidateRect(m_list, nullptr, FALSE);
        return count();
    }
    case CB_RESETCONTENT:
        m_items.clear();
        m_cur = -1;
        m_hot = -1;
        m_top = 0;
        syncText();
        if (m_list)
            InvalidateRect(m_list, nullptr, FALSE);
        return CB_OKAY;
    case CB_SETCURSEL: {
        // The program's own choice: no notification.
        const auto i = static_cast<INT_PTR>(wParam);
        m_cur = i >= 0 && i < count() ? static_cast<int>(i) : -1;
        syncText();
        if (m_dropped)
            setHot(m_cur);
        return m_cur >= 0 ? m_cur : CB_ERR;
    }
    case CB_GETCURSEL:
        return m_cur >= 0 ? m_cur : CB_ERR;
    case CB_GETCOUNT:
        return count();
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN: {
        const auto i = static_cast<INT_PTR>(wParam);
        if (i < 0 || i >= count())
            return CB_ERR;
        const auto& t = m_items[static_cast<size_t>(i)].text;
        if (message == CB_GETLBTEXT) {
            auto* out = reinterpret_cast<WCHAR*>(lParam);
            if (!out)
                return CB_ERR;
            std::memcpy(out, t.c_str(), (t.size() + 1) * sizeof(WCHAR));
        }
        return static_cast<LRESULT>(t.size());
    }
    case CB_FINDSTRINGEXACT: {
        if (!lParam)
            return CB_ERR;
        const std::u16string wanted = reinterpret_cast<LPCWSTR>(lParam);
        const auto start = static_cast<INT_PTR>(wParam);
        for (int k = 1; k <= count(); ++k) {
            const int i = static_cast<int>((start + k + count()) % count());
            const auto& t = m_items[static_cast<size_t>(i)].text;
            if (!lessFolded(t, wanted) && !lessFolded(wanted, t))
                return i;
        }
        return CB_ERR;
    }
    case CB_SETITEMDATA:
    case CB_GETITEMDATA: {
        const auto i = static_cast<INT_PTR>(wParam);
        if (i < 0 || i >= count())
            return CB_ERR;
        if (message == CB_SETITEMDATA) {
            m_items[static_cast<size_t>(i)].data = lParam;
            return CB_OKAY;
        }
        return m_items[static_cast<size_t>(i)].data;
    }
    case CB_SHOWDROPDOWN:
        if (wParam)
            open();
        else
            close(Close::Quiet);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return m_dropped;
    case CB_GETDROPPEDCONTROLRECT:
        if (auto* r = reinterpret_cast<RECT*>(lParam)) {
            GetWindowRect(m_hwnd, r);
            r->bottom = r->top + m_droppedHeight;
            return TRUE;
        }
        return CB_ERR;
    case CB_SETITEMHEIGHT: {
        if (lParam < 1 || lParam > 255)
            return CB_ERR;
        if (static_cast<INT_PTR>(wParam) == -1) {
            m_fieldHeight = static_cast<int>(lParam) + 6;
            m_fieldHeightSet = true;
            fitHeight();
        } else {
            m_itemHeight = static_cast<int>(lParam);
            m_itemHeightSet = true;
        }
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return CB_OKAY;
    }
    case CB_GETITEMHEIGHT:
        return static_cast<INT_PTR>(wParam) == -1 ? m_fieldHeight - 6 : m_itemHeight;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

} // namespace pictavo::platform
