#include "platform/controls/ComboBoxControl.h"

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

std::mutex g_mutex;
std::map<HWND, ComboBoxControl*>& controls()
{
    static std::map<HWND, ComboBoxControl*> map;
    return map;
}

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
    ComboBoxControl* c;
    {
        std::lock_guard lk(g_mutex);
        auto& map = controls();
        auto it = map.find(hwnd);
        if (it == map.end()) {
            if (message == WM_NCDESTROY || !IsWindow(hwnd))
                return DefWindowProcW(hwnd, message, wParam, lParam);
            it = map.emplace(hwnd, new ComboBoxControl(hwnd)).first;
        }
        c = it->second;
    }
    ++c->depth_;
    const LRESULT result = c->handle(message, wParam, lParam);
    if (--c->depth_ == 0 && c->dead_) {
        {
            std::lock_guard lk(g_mutex);
            controls().erase(hwnd);
        }
        delete c;
    }
    return result;
}

LRESULT ComboBoxControl::listProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* c = reinterpret_cast<ComboBoxControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!c || c->dead_ || c->list_ != hwnd)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    ++c->depth_;
    const LRESULT result = c->handleList(hwnd, message, wParam, lParam);
    const HWND owner = c->hwnd_;
    if (--c->depth_ == 0 && c->dead_) {
        {
            std::lock_guard lk(g_mutex);
            controls().erase(owner);
        }
        delete c;
    }
    return result;
}

ComboBoxControl::ComboBoxControl(HWND hwnd) : hwnd_(hwnd)
{
    (void)g_registered;
    measure();
}

bool ComboBoxControl::notify(WORD code)
{
    if (HWND parent = GetParent(hwnd_))
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd_), code), reinterpret_cast<LPARAM>(hwnd_));
    return !dead_;
}

void ComboBoxControl::syncText()
{
    const std::u16string text = cur_ >= 0 ? items_[static_cast<size_t>(cur_)].text : std::u16string();
    DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void ComboBoxControl::measure()
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc, u"Ag", 2, &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    if (!itemHeightSet_)
        itemHeight_ = std::max<LONG>(1, size.cy) + 1;
    if (!fieldHeightSet_)
        fieldHeight_ = std::max<LONG>(1, size.cy) + 7;
}

void ComboBoxControl::fitHeight()
{
    RECT r;
    GetWindowRect(hwnd_, &r);
    // The window keeps the field's height; a taller size asked for becomes the list's room.
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, fieldHeight_, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ComboBoxControl::rows() const
{
    const int room = std::max(1, (droppedHeight_ - fieldHeight_ - 2) / itemHeight_);
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
    items_.insert(items_.begin() + index, Item{std::move(text), 0});
    if (cur_ >= index)
        ++cur_;
    if (dropped_)
        InvalidateRect(list_, nullptr, FALSE);
    return index;
}

bool ComboBoxControl::choose(int index)
{
    index = std::clamp(index, 0, count() - 1);
    if (count() == 0 || index == cur_)
        return true;
    cur_ = index;
    syncText();
    return notify(CBN_SELCHANGE);
}

int ComboBoxControl::itemAt(POINT screen) const
{
    if (!list_)
        return -1;
    POINT p = screen;
    ScreenToClient(list_, &p);
    RECT client;
    GetClientRect(list_, &client);
    if (!inside(client, p))
        return -1;
    const int i = top_ + p.y / itemHeight_;
    return i < count() ? i : -1;
}

RECT ComboBoxControl::itemRect(int index) const
{
    RECT client{};
    if (list_)
        GetClientRect(list_, &client);
    const int y = (index - top_) * itemHeight_;
    return RECT{0, y, client.right, y + itemHeight_};
}

void ComboBoxControl::setHot(int index)
{
    if (count() == 0)
        return;
    index = std::clamp(index, 0, count() - 1);
    if (index == hot_)
        return;
    hot_ = index;
    const int n = rows();
    if (hot_ < top_)
        top_ = hot_;
    else if (hot_ >= top_ + n)
        top_ = hot_ - n + 1;
    if (list_) {
        SetScrollPos(list_, SB_VERT, top_, TRUE);
        InvalidateRect(list_, nullptr, FALSE);
    }
}

bool ComboBoxControl::open()
{
    if (dropped_)
        return true;
    // The owner may still fill the list when it hears this.
    if (!notify(CBN_DROPDOWN))
        return false;
    RECT r;
    GetWindowRect(hwnd_, &r);
    const int n = rows();
    const bool scrolls = count() > n;
    const int height = n * itemHeight_ + 2;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int y = r.bottom;
    if (y + height > work.bottom && r.top - height >= work.top)
        y = r.top - height;
    const DWORD style = WS_POPUP | WS_BORDER | (scrolls ? WS_VSCROLL : 0);
    HWND list = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, u"ComboLBox", u"", style,
                                r.left, y, r.right - r.left, height, GetAncestor(hwnd_, GA_ROOT), nullptr, nullptr,
                                nullptr);
    if (!list)
        return true;
    list_ = list;
    SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    hot_ = -1;
    top_ = 0;
    setHot(cur_ >= 0 ? cur_ : 0);
    if (scrolls) {
        SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, count() - 1, static_cast<UINT>(n), top_, 0};
        SetScrollInfo(list, SB_VERT, &si, FALSE);
    }
    dropped_ = true;
    ShowWindow(list, SW_SHOWNA);
    SetCapture(hwnd_);
    InvalidateRect(hwnd_, nullptr, FALSE);
    return true;
}

bool ComboBoxControl::close(Close how)
{
    if (!dropped_ || closing_)
        return true;
    closing_ = true;
    dropped_ = false;
    if (GetCapture() == hwnd_)
        ReleaseCapture();
    if (HWND list = std::exchange(list_, nullptr))
        DestroyWindow(list);
    closing_ = false;
    InvalidateRect(hwnd_, nullptr, FALSE);
    const bool changed = how == Close::Pick && hot_ >= 0 && hot_ < count() && hot_ != cur_;
    if (changed) {
        cur_ = hot_;
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
    HDC dc = BeginPaint(hwnd_, &ps);
    if (!dc)
        return;
    RECT rc;
    GetClientRect(hwnd_, &rc);
    const bool enabled = IsWindowEnabled(hwnd_);
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
    const bool highlight = focused_ && !dropped_ && enabled;
    if (highlight)
        fill(dc, field, kHighlight);
    if (cur_ >= 0) {
        HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, !enabled ? kGrayText : highlight ? kHighlightText : GetSysColor(COLOR_WINDOWTEXT));
        RECT text{field.left + 2, field.top, field.right - 1, field.bottom};
        const std::u16string& s = items_[static_cast<size_t>(cur_)].text;
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, old);
    }
    EndPaint(hwnd_, &ps);
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
    HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    for (int i = top_; i < count(); ++i) {
        RECT r = itemRect(i);
        if (r.top >= rc.bottom)
            break;
        if (i == hot_)
            fill(dc, r, kHighlight);
        SetTextColor(dc, i == hot_ ? kHighlightText : GetSysColor(COLOR_WINDOWTEXT));
        RECT text{r.left + 3, r.top, r.right - 2, r.bottom};
        const std::u16string& s = items_[static_cast<size_t>(i)].text;
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SelectObject(dc, old);
    EndPaint(list, &ps);
}

void ComboBoxControl::describeItems(AutomationNode& node, bool inList)
{
    RECT client{};
    POINT origin{0, 0};
    if (list_) {
        GetClientRect(list_, &client);
        ClientToScreen(list_, &origin);
    }
    for (int i = 0; i < count(); ++i) {
        AutomationNode item;
        item.className = u"ComboBoxItem";
        item.text = items_[static_cast<size_t>(i)].text;
        item.state["index"] = number(i);
        if (i == cur_)
            item.state["selected"] = u"1";
        if (list_ && i == hot_)
            item.state["hot"] = u"1";
        const RECT r = itemRect(i);
        item.visible = list_ && i >= top_ && r.bottom <= client.bottom;
        if (item.visible)
            item.bounds = RECT{origin.x + r.left, origin.y + r.top, origin.x + r.right, origin.y + r.bottom};
        if (inList && !item.visible)
            continue;
        node.children.push_back(std::move(item));
    }
    node.state["selected"] = number(cur_);
    node.state["open"] = dropped_ ? u"1" : u"0";
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
        list_ = nullptr;
        dropped_ = false;
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
            droppedHeight_ = std::max(cs->cy, fieldHeight_);
        fitHeight();
        return 0;
    case WM_WINDOWPOSCHANGING:
        if (auto* pos = reinterpret_cast<WINDOWPOS*>(lParam); pos && !(pos->flags & SWP_NOSIZE) && pos->cy != fieldHeight_) {
            droppedHeight_ = std::max(pos->cy, fieldHeight_);
            pos->cy = fieldHeight_;
        }
        return 0;
    case WM_DESTROY:
        if (HWND list = std::exchange(list_, nullptr)) {
            dropped_ = false;
            DestroyWindow(list);
        }
        return 0;
    case WM_NCDESTROY:
        dead_ = true;
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wParam);
        measure();
        fitHeight();
        if (LOWORD(lParam))
            InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
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
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (dropped_ ? DLGC_WANTALLKEYS : 0);
    case WM_SETFOCUS:
        focused_ = true;
        InvalidateRect(hwnd_, nullptr, FALSE);
        notify(CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        focused_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
        if (!close(Close::Cancel))
            return 0;
        notify(CBN_KILLFOCUS);
        return 0;
    case WM_CAPTURECHANGED:
        if (dropped_ && !closing_ && reinterpret_cast<HWND>(lParam) != hwnd_)
            close(Close::Cancel);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd_, &p);
        if (dropped_) {
            RECT listRect{}, self{};
            GetWindowRect(list_, &listRect);
            GetWindowRect(hwnd_, &self);
            if (inside(listRect, p)) {
                setHot(itemAt(p) >= 0 ? itemAt(p) : hot_);
                return 0;
            }
            // On the field or anywhere else: the list closes and the click goes no further.
            close(Close::Cancel);
            return 0;
        }
        if (!focused_) {
            SetFocus(hwnd_);
            if (dead_ || GetFocus() != hwnd_)
                return 0;
        }
        openingPress_ = true;
        open();
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dropped_) {
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(hwnd_, &p);
            if (const int i = itemAt(p); i >= 0)
                setHot(i);
        }
        return 0;
    case WM_LBUTTONUP: {
        const bool first = std::exchange(openingPress_, false);
        if (!dropped_)
            return 0;
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd_, &p);
        const int i = itemAt(p);
        // The release of the press that opened the list picks only when dragged onto an item.
        if (i >= 0) {
            hot_ = i;
            close(Close::Pick);
        } else if (!first) {
            RECT self{};
            GetWindowRect(hwnd_, &self);
            if (!inside(self, p))
                close(Close::Cancel);
        }
        return 0;
    }
    case WM_MOUSEWHEEL: {
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        if (dropped_) {
            top_ = std::clamp(top_ + (delta > 0 ? -3 : 3), 0, std::max(0, count() - rows()));
            SetScrollPos(list_, SB_VERT, top_, TRUE);
            InvalidateRect(list_, nullptr, FALSE);
        } else if (focused_ && cur_ >= 0) {
            choose(cur_ + (delta > 0 ? -1 : 1));
        } else if (focused_) {
            choose(0);
        }
        return 0;
    }
    case WM_SYSKEYDOWN:
        if (wParam == VK_DOWN || wParam == VK_UP) {
            if (dropped_)
                close(Close::Pick);
            else
                open();
            return 0;
        }
        break;
    case WM_KEYDOWN: {
        const int page = rows();
        int target = dropped_ ? hot_ : cur_;
        switch (wParam) {
        case VK_F4:
            if (dropped_)
                close(Close::Pick);
            else
                open();
            return 0;
        case VK_RETURN:
            if (dropped_)
                close(Close::Pick);
            return 0;
        case VK_ESCAPE:
            if (dropped_)
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
        if (dropped_)
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
        const int from = dropped_ ? hot_ : cur_;
        for (int k = 1; k <= count(); ++k) {
            const int i = (from + k + count()) % count();
            const auto& t = items_[static_cast<size_t>(i)].text;
            if (!t.empty() && fold(t[0]) == ch) {
                if (dropped_)
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
        if (GetWindowLongW(hwnd_, GWL_STYLE) & CBS_SORT)
            at = static_cast<int>(std::upper_bound(items_.begin(), items_.end(), text,
                                                   [](const std::u16string& t, const Item& i) { return lessFolded(t, i.text); }) -
                                  items_.begin());
        return insert(at, std::move(text));
    }
    case CB_INSERTSTRING:
        return insert(static_cast<int>(static_cast<INT_PTR>(wParam)), lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"");
    case CB_DELETESTRING: {
        const auto i = static_cast<INT_PTR>(wParam);
        if (i < 0 || i >= count())
            return CB_ERR;
        items_.erase(items_.begin() + i);
        if (cur_ == i) {
            cur_ = -1;
            syncText();
        } else if (cur_ > i) {
            --cur_;
        }
        hot_ = std::min(hot_, count() - 1);
        if (list_)
            InvalidateRect(list_, nullptr, FALSE);
        return count();
    }
    case CB_RESETCONTENT:
        items_.clear();
        cur_ = -1;
        hot_ = -1;
        top_ = 0;
        syncText();
        if (list_)
            InvalidateRect(list_, nullptr, FALSE);
        return CB_OKAY;
    case CB_SETCURSEL: {
        // The program's own choice: no notification.
        const auto i = static_cast<INT_PTR>(wParam);
        cur_ = i >= 0 && i < count() ? static_cast<int>(i) : -1;
        syncText();
        if (dropped_)
            setHot(cur_);
        return cur_ >= 0 ? cur_ : CB_ERR;
    }
    case CB_GETCURSEL:
        return cur_ >= 0 ? cur_ : CB_ERR;
    case CB_GETCOUNT:
        return count();
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN: {
        const auto i = static_cast<INT_PTR>(wParam);
        if (i < 0 || i >= count())
            return CB_ERR;
        const auto& t = items_[static_cast<size_t>(i)].text;
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
            const auto& t = items_[static_cast<size_t>(i)].text;
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
            items_[static_cast<size_t>(i)].data = lParam;
            return CB_OKAY;
        }
        return items_[static_cast<size_t>(i)].data;
    }
    case CB_SHOWDROPDOWN:
        if (wParam)
            open();
        else
            close(Close::Quiet);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return dropped_;
    case CB_GETDROPPEDCONTROLRECT:
        if (auto* r = reinterpret_cast<RECT*>(lParam)) {
            GetWindowRect(hwnd_, r);
            r->bottom = r->top + droppedHeight_;
            return TRUE;
        }
        return CB_ERR;
    case CB_SETITEMHEIGHT: {
        if (lParam < 1 || lParam > 255)
            return CB_ERR;
        if (static_cast<INT_PTR>(wParam) == -1) {
            fieldHeight_ = static_cast<int>(lParam) + 6;
            fieldHeightSet_ = true;
            fitHeight();
        } else {
            itemHeight_ = static_cast<int>(lParam);
            itemHeightSet_ = true;
        }
        InvalidateRect(hwnd_, nullptr, FALSE);
        return CB_OKAY;
    }
    case CB_GETITEMHEIGHT:
        return static_cast<INT_PTR>(wParam) == -1 ? fieldHeight_ - 6 : itemHeight_;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace pictavo::platform
