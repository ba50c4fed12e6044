#include "platform/controls/EditControl.h"

#include "platform/kernel/MessageBox.h"
#include "platform/kernel/Strings.h"
#include "platform/win/AutomationNode.h"
#include "platform/win/Dialog.h"
#include "platform/win/Imm.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace pictavo::platform {

namespace {

constexpr int kMargin = 2;
constexpr COLORREF kHighlight = RGB(0, 120, 215);
constexpr COLORREF kHighlightText = RGB(255, 255, 255);
constexpr COLORREF kGrayText = RGB(109, 109, 109);
// What EM_LIMITTEXT 0 means: as much as the address space allows on Windows; here a bound
// that still keeps a pasted text's allocation sane.
constexpr int kMaxLimit = 0x7FFFFFFE;

std::mutex g_mutex;
std::map<HWND, EditControl*>& controls()
{
    static std::map<HWND, EditControl*> map;
    return map;
}

bool isHigh(char16_t c)
{
    return c >= 0xD800 && c < 0xDC00;
}

bool isLow(char16_t c)
{
    return c >= 0xDC00 && c < 0xE000;
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x3000;
}

// Word classes for double-click and Ctrl+arrows: spaces, punctuation, everything else.
int wordClass(char16_t c)
{
    if (isSpace(c))
        return 0;
    if ((c < 0x80 && !((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                       c == u'_')) ||
        (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFF0F))
        return 1;
    return 2;
}

bool digitsOnly(std::u16string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

HGLOBAL globalText(std::u16string_view text)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
    auto* p = static_cast<char16_t*>(GlobalLock(h));
    if (!p) {
        GlobalFree(h);
        return nullptr;
    }
    std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
    p[text.size()] = 0;
    GlobalUnlock(h);
    return h;
}

std::u16string number(int n)
{
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

const bool g_registered = EditControl::registerClass();

} // namespace

bool EditControl::registerClass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &EditControl::wndProc;
    wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.lpszClassName = u"Edit";
    return RegisterClassExW(&wc) != 0;
}

LRESULT EditControl::wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    EditControl* e;
    {
        std::lock_guard lk(g_mutex);
        auto& map = controls();
        auto it = map.find(hwnd);
        if (it == map.end()) {
            // Created on the first message that reaches us, so a superclass that keeps
            // WM_NCCREATE to itself still gets a working edit.
            if (message == WM_NCDESTROY || !IsWindow(hwnd))
                return DefWindowProcW(hwnd, message, wParam, lParam);
            it = map.emplace(hwnd, new EditControl(hwnd)).first;
        }
        e = it->second;
    }
    ++e->depth_;
    const LRESULT result = e->handle(message, wParam, lParam);
    if (--e->depth_ == 0 && e->dead_) {
        {
            std::lock_guard lk(g_mutex);
            controls().erase(hwnd);
        }
        delete e;
    }
    return result;
}

EditControl::EditControl(HWND hwnd) : hwnd_(hwnd)
{
    (void)g_registered;
    if (multiLine())
        limit_ = kMaxLimit;
    measureDc_ = CreateCompatibleDC(nullptr);
    measureFont();
}

EditControl::~EditControl()
{
    if (measureDc_) {
        SelectObject(measureDc_, measureOld_);
        DeleteDC(measureDc_);
    }
}

DWORD EditControl::style() const
{
    return static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
}

bool EditControl::notify(WORD code)
{
    if (HWND parent = GetParent(hwnd_))
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd_), code), reinterpret_cast<LPARAM>(hwnd_));
    return !dead_;
}

// ---- Layout ----

void EditControl::measureFont()
{
    HGDIOBJ previous = SelectObject(measureDc_, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    if (!measureOld_)
        measureOld_ = previous;
    SIZE size{};
    GetTextExtentPoint32W(measureDc_, u"Ag", 2, &size);
    lineHeight_ = std::max<LONG>(1, size.cy);
    widths_.clear();
}

int EditControl::unitWidth(int index)
{
    const char16_t c = text_[static_cast<size_t>(index)];
    if (isLow(c) && index > 0 && isHigh(text_[static_cast<size_t>(index) - 1]))
        return 0;
    if (password()) {
        SIZE size{};
        GetTextExtentPoint32W(measureDc_, &passwordChar_, 1, &size);
        return size.cx;
    }
    if (c == u'\r' || c == u'\n')
        return 0;
    const int n = isHigh(c) && index + 1 < length() && isLow(text_[static_cast<size_t>(index) + 1]) ? 2 : 1;
    SIZE size{};
    GetTextExtentPoint32W(measureDc_, text_.data() + index, n, &size);
    return size.cx;
}

void EditControl::layout()
{
    widths_.resize(text_.size());
    for (int i = 0; i < length(); ++i)
        widths_[static_cast<size_t>(i)] = unitWidth(i);
    lines_.clear();
    if (!multiLine()) {
        lines_.push_back({0, length(), length()});
        return;
    }
    const bool wrap = !(style() & ES_AUTOHSCROLL);
    const int room = std::max(1, viewWidth());
    int start = 0;
    for (;;) {
        int i = start, x = 0, lastSpace = -1;
        while (i < length() && text_[static_cast<size_t>(i)] != u'\n' &&
               !(text_[static_cast<size_t>(i)] == u'\r' && i + 1 < length() && text_[static_cast<size_t>(i) + 1] == u'\n')) {
            const int w = widths_[static_cast<size_t>(i)];
            if (wrap && x + w > room && i > start) {
                // Break after the last space that fits, else inside the word.
                if (lastSpace >= start) {
                    lines_.push_back({start, lastSpace, lastSpace + 1});
                    start = lastSpace + 1;
                } else {
                    int cut = isLow(text_[static_cast<size_t>(i)]) ? i - 1 : i;
                    cut = std::max(cut, start + 1);
                    lines_.push_back({start, cut, cut});
                    start = cut;
                }
                i = start, x = 0, lastSpace = -1;
                continue;
            }
            if (text_[static_cast<size_t>(i)] == u' ')
                lastSpace = i;
            x += w;
            ++i;
        }
        if (i >= length()) {
            lines_.push_back({start, i, i});
            break;
        }
        const int breakLength = text_[static_cast<size_t>(i)] == u'\r' ? 2 : 1;
        lines_.push_back({start, i, i + breakLength});
        start = i + breakLength;
    }
}

int EditControl::lineOf(int index) const
{
    for (size_t l = 0; l + 1 < lines_.size(); ++l)
        if (index < lines_[l + 1].start)
            return static_cast<int>(l);
    return static_cast<int>(lines_.size()) - 1;
}

int EditControl::lineWidth(const Line& line)
{
    return xIn(line, line.end);
}

int EditControl::xIn(const Line& line, int index)
{
    int x = 0;
    for (int i = line.start; i < std::min(index, line.end); ++i)
        x += widths_[static_cast<size_t>(i)];
    return x;
}

int EditControl::viewWidth() const
{
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return std::max<LONG>(0, rc.right - 2 * kMargin);
}

int EditControl::viewLines() const
{
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return std::max<LONG>(1, (rc.bottom - textTop()) / lineHeight_);
}

int EditControl::textTop() const
{
    if (multiLine())
        return 1;
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return std::max<LONG>(0, (rc.bottom - lineHeight_) / 2);
}

int EditControl::lineLeft(const Line& line)
{
    const int spare = viewWidth() - lineWidth(line);
    const DWORD s = style();
    int offset = 0;
    if (spare > 0 && (s & ES_CENTER))
        offset = spare / 2;
    else if (spare > 0 && (s & ES_RIGHT))
        offset = spare - 1; // the caret still fits after the last character
    return kMargin + offset - scrollX_;
}

POINT EditControl::pointOf(int index)
{
    const int l = lineOf(index);
    const Line& line = lines_[static_cast<size_t>(l)];
    return POINT{lineLeft(line) + xIn(line, index), textTop() + (l - firstLine_) * lineHeight_};
}

int EditControl::hit(POINT pt)
{
    int l = firstLine_ + (pt.y - textTop()) / lineHeight_;
    if (pt.y < textTop())
        l = firstLine_ - 1;
    l = std::clamp(l, 0, static_cast<int>(lines_.size()) - 1);
    const Line& line = lines_[static_cast<size_t>(l)];
    int x = lineLeft(line);
    for (int i = line.start; i < line.end; ++i) {
        const int w = widths_[static_cast<size_t>(i)];
        if (w == 0)
            continue;
        if (pt.x < x + w / 2 + (w & 1))
            return i;
        x += w;
    }
    return line.end;
}

int EditControl::step(int index, int delta) const
{
    if (delta < 0) {
        if (index <= 0)
            return 0;
        --index;
        if (index > 0 && isLow(text_[static_cast<size_t>(index)]) && isHigh(text_[static_cast<size_t>(index) - 1]))
            --index;
        // A line break is one step.
        if (index > 0 && text_[static_cast<size_t>(index)] == u'\n' && text_[static_cast<size_t>(index) - 1] == u'\r')
            --index;
        return index;
    }
    if (index >= length())
        return length();
    if (text_[static_cast<size_t>(index)] == u'\r' && index + 1 < length() && text_[static_cast<size_t>(index) + 1] == u'\n')
        return index + 2;
    if (isHigh(text_[static_cast<size_t>(index)]) && index + 1 < length() && isLow(text_[static_cast<size_t>(index) + 1]))
        return index + 2;
    return index + 1;
}

int EditControl::wordStart(int index) const
{
    if (password())
        return 0;
    while (index > 0 && isSpace(text_[static_cast<size_t>(index) - 1]))
        --index;
    if (index == 0)
        return 0;
    const int cls = wordClass(text_[static_cast<size_t>(index) - 1]);
    while (index > 0 && wordClass(text_[static_cast<size_t>(index) - 1]) == cls)
        --index;
    return index;
}

int EditControl::wordEnd(int index) const
{
    if (password())
        return length();
    if (index < length()) {
        const int cls = wordClass(text_[static_cast<size_t>(index)]);
        while (index < length() && cls != 0 && wordClass(text_[static_cast<size_t>(index)]) == cls)
            ++index;
    }
    while (index < length() && isSpace(text_[static_cast<size_t>(index)]) && text_[static_cast<size_t>(index)] != u'\r' &&
           text_[static_cast<size_t>(index)] != u'\n')
        ++index;
    return index;
}

void EditControl::scrollToCaret()
{
    const int l = lineOf(caret_);
    const Line& line = lines_[static_cast<size_t>(l)];
    const int view = viewWidth();
    const int total = lineWidth(line);
    if (!multiLine() || (style() & ES_AUTOHSCROLL)) {
        const int x = xIn(line, caret_);
        if (x < scrollX_)
            scrollX_ = std::max(0, x - view / 4);
        else if (x >= scrollX_ + view)
            scrollX_ = x - view + 1 + view / 4;
        // Never leave empty room on the right while text is hidden on the left.
        scrollX_ = std::clamp(scrollX_, 0, std::max(0, total - view + 1));
    } else {
        scrollX_ = 0;
    }
    if (l < firstLine_)
        firstLine_ = l;
    else if (l >= firstLine_ + viewLines())
        firstLine_ = l - viewLines() + 1;
    firstLine_ = std::clamp(firstLine_, 0, std::max(0, static_cast<int>(lines_.size()) - 1));
}

void EditControl::placeCaret()
{
    if (!focused_)
        return;
    const POINT p = pointOf(caret_);
    SetCaretPos(p.x, p.y);
}

void EditControl::select(int anchor, int caret)
{
    anchor_ = std::clamp(anchor, 0, length());
    caret_ = std::clamp(caret, 0, length());
    scrollToCaret();
    placeCaret();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

std::u16string EditControl::shown(int from, int to) const
{
    if (!password())
        return text_.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
    std::u16string mask;
    for (int i = from; i < to; ++i)
        if (!(isLow(text_[static_cast<size_t>(i)]) && i > 0 && isHigh(text_[static_cast<size_t>(i) - 1])))
            mask.push_back(passwordChar_);
    return mask;
}

// ---- Changes ----

bool EditControl::fits(const std::u16string& candidate)
{
    // Without horizontal scrolling a single line holds only what the field shows.
    if (multiLine() || (style() & ES_AUTOHSCROLL))
        return true;
    std::u16string saved;
    saved.swap(text_);
    text_ = candidate;
    int width = 0;
    for (int i = 0; i < length(); ++i)
        width += unitWidth(i);
    text_.swap(saved);
    return width < viewWidth();
}

bool EditControl::replaceRange(int from, int to, const std::u16string& insert)
{
    undoText_ = text_;
    canUndo_ = true;
    text_.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), insert);
    anchor_ = caret_ = from + static_cast<int>(insert.size());
    modified_ = true;
    DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text_.c_str()));
    layout();
    scrollToCaret();
    if (!notify(EN_UPDATE))
        return false;
    InvalidateRect(hwnd_, nullptr, FALSE);
    placeCaret();
    return notify(EN_CHANGE);
}

bool EditControl::userReplace(std::u16string insert, bool typed, bool program)
{
    if (readOnly() && !program) {
        MessageBeep(MB_OK);
        return true;
    }
    const DWORD s = style();
    if (!multiLine()) {
        // A single line takes a pasted text up to its first line break.
        const size_t stop = insert.find_first_of(u"\r\n");
        if (stop != std::u16string::npos)
            insert.resize(stop);
    }
    if ((s & ES_NUMBER) && !program && !digitsOnly(insert)) {
        MessageBeep(MB_OK);
        return true;
    }
    for (auto& c : insert) {
        if ((s & ES_UPPERCASE) && c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - 32);
        else if ((s & ES_LOWERCASE) && c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
    }
    const int from = selMin(), to = selMax();
    bool full = false;
    const size_t room = static_cast<size_t>(std::max(0, limit_ - (length() - (to - from))));
    if (insert.size() > room) {
        insert.resize(room);
        full = true;
    }
    auto candidate = [&] {
        std::u16string t = text_;
        t.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), insert);
        return t;
    };
    while (!insert.empty() && !fits(candidate())) {
        insert.pop_back();
        full = true;
    }
    // Never keep half of a surrogate pair.
    if (!insert.empty() && isHigh(insert.back()))
        insert.pop_back();
    if (full && !notify(EN_MAXTEXT))
        return false;
    if (insert.empty() && from == to) {
        if (full && typed)
            MessageBeep(MB_OK);
        return true;
    }
    return replaceRange(from, to, insert);
}

void EditControl::setText(std::u16string text)
{
    text_ = std::move(text);
    anchor_ = caret_ = 0;
    scrollX_ = 0;
    firstLine_ = 0;
    modified_ = false;
    canUndo_ = false;
    DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text_.c_str()));
    layout();
    placeCaret();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

bool EditControl::typeChar(WCHAR ch)
{
    if (isHigh(ch)) {
        pendingHigh_ = ch;
        return true;
    }
    std::u16string insert;
    if (isLow(ch)) {
        if (!pendingHigh_)
            return true;
        insert = {pendingHigh_, ch};
    } else {
        insert = {ch};
    }
    pendingHigh_ = 0;
    if (ch == VK_BACK) {
        if (readOnly()) {
            MessageBeep(MB_OK);
            return true;
        }
        if (anchor_ == caret_ && caret_ == 0)
            return true;
        const int from = anchor_ != caret_ ? selMin() : step(caret_, -1);
        return replaceRange(from, selMax(), {});
    }
    if (ch == u'\r' || ch == u'\n') {
        if (!multiLine())
            return true;
        insert = u"\r\n";
    } else if (ch == u'\t') {
        if (!multiLine())
            return true;
    } else if (ch < 0x20 || ch == 0x7F) {
        return true; // control characters come with their keys
    }
    if ((style() & ES_NUMBER) && !digitsOnly(insert)) {
        MessageBeep(MB_OK);
        return true;
    }
    return userReplace(insert, true);
}

bool EditControl::keyDown(WPARAM vk)
{
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    int to = caret_;
    const int l = lineOf(caret_);
    const Line& line = lines_[static_cast<size_t>(l)];
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT: {
        const int dir = vk == VK_LEFT ? -1 : 1;
        if (!shift && !ctrl && anchor_ != caret_)
            to = dir < 0 ? selMin() : selMax();
        else if (ctrl)
            to = dir < 0 ? wordStart(caret_) : wordEnd(caret_);
        else
            to = step(caret_, dir);
        break;
    }
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
        if (!multiLine()) {
            to = step(caret_, vk == VK_UP || vk == VK_PRIOR ? -1 : 1);
            break;
        }
        const int lines = vk == VK_UP || vk == VK_DOWN ? 1 : std::max(1, viewLines() - 1);
        const int target = std::clamp(l + (vk == VK_UP || vk == VK_PRIOR ? -lines : lines), 0,
                                      static_cast<int>(lines_.size()) - 1);
        if (target == l)
            break;
        const int x = pointOf(caret_).x;
        // Scroll first so the hit test finds the line on screen.
        firstLine_ = std::clamp(firstLine_, target - viewLines() + 1, target);
        to = hit(POINT{x, textTop() + (target - firstLine_) * lineHeight_});
        break;
    }
    case VK_HOME:
        to = ctrl ? 0 : line.start;
        break;
    case VK_END:
        to = ctrl ? length() : line.end;
        break;
    case VK_DELETE:
        if (shift) {
            if (!copy())
                return false;
            return readOnly() || password() || anchor_ == caret_ || replaceRange(selMin(), selMax(), {});
        }
        if (readOnly()) {
            MessageBeep(MB_OK);
            return true;
        }
        if (anchor_ != caret_)
            return replaceRange(selMin(), selMax(), {});
        if (caret_ < length())
            return replaceRange(caret_, step(caret_, 1), {});
        return true;
    case VK_INSERT:
        if (ctrl)
            return copy();
        if (shift)
            return paste();
        return true;
    case 'A':
        if (ctrl)
            select(0, length());
        return true;
    case 'C':
        return !ctrl || copy();
    case 'X':
        if (!ctrl)
            return true;
        if (readOnly() || password()) {
            MessageBeep(MB_OK);
            return true;
        }
        return !copy() ? false : anchor_ == caret_ || replaceRange(selMin(), selMax(), {});
    case 'V':
        return !ctrl || paste();
    case 'Z':
        return !ctrl || undo();
    default:
        return true;
    }
    select(shift ? anchor_ : to, to);
    return true;
}

bool EditControl::copy()
{
    if (anchor_ == caret_ || password())
        return true;
    if (!OpenClipboard(hwnd_))
        return true;
    EmptyClipboard();
    if (HGLOBAL h = globalText(text_.substr(static_cast<size_t>(selMin()), static_cast<size_t>(selMax() - selMin()))))
        if (!SetClipboardData(CF_UNICODETEXT, h))
            GlobalFree(h);
    CloseClipboard();
    return true;
}

bool EditControl::paste()
{
    std::u16string text;
    if (!OpenClipboard(hwnd_))
        return true;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        const size_t units = GlobalSize(h) / sizeof(char16_t);
        if (const auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
            size_t n = 0;
            while (n < units && p[n])
                ++n;
            text.assign(p, n);
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    if (text.empty())
        return true;
    return userReplace(std::move(text), false);
}

bool EditControl::undo()
{
    if (!canUndo_ || readOnly())
        return true;
    std::u16string previous = undoText_;
    undoText_ = text_;
    text_ = std::move(previous);
    anchor_ = caret_ = length();
    modified_ = true;
    DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text_.c_str()));
    layout();
    scrollToCaret();
    if (!notify(EN_UPDATE))
        return false;
    InvalidateRect(hwnd_, nullptr, FALSE);
    placeCaret();
    return notify(EN_CHANGE);
}

// ---- Painting ----

HBRUSH EditControl::askColours(HDC dc)
{
    // Read-only and disabled fields are drawn like static text, and asked for as such.
    const bool asStatic = readOnly() || !IsWindowEnabled(hwnd_);
    SetTextColor(dc, IsWindowEnabled(hwnd_) ? GetSysColor(COLOR_WINDOWTEXT) : kGrayText);
    SetBkColor(dc, GetSysColor(asStatic ? COLOR_BTNFACE : COLOR_WINDOW));
    HBRUSH brush = nullptr;
    if (HWND parent = GetParent(hwnd_))
        brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, asStatic ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT,
                                                      reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd_)));
    return brush ? brush : GetSysColorBrush(asStatic ? COLOR_BTNFACE : COLOR_WINDOW);
}

void EditControl::paint()
{
    HideCaret(hwnd_);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    if (!dc) {
        ShowCaret(hwnd_);
        return;
    }
    RECT rc;
    GetClientRect(hwnd_, &rc);
    HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    HBRUSH brush = askColours(dc);
    if (dead_)
        return;
    HWND parent = GetParent(hwnd_);
    if (brush == GetStockObject(NULL_BRUSH) && parent) {
        // A hollow brush means "the parent shows through": copy what the parent drew under us.
        POINT origin{0, 0};
        MapWindowPoints(hwnd_, parent, &origin, 1);
        if (HDC below = GetDC(parent)) {
            BitBlt(dc, 0, 0, rc.right, rc.bottom, below, origin.x, origin.y, SRCCOPY);
            ReleaseDC(parent, below);
        }
    } else {
        FillRect(dc, &rc, brush);
    }
    const COLORREF textColour = IsWindowEnabled(hwnd_) ? GetTextColor(dc) : kGrayText;
    SetBkMode(dc, TRANSPARENT);
    const bool showSel = anchor_ != caret_ && (focused_ || (style() & ES_NOHIDESEL));
    const int a = selMin(), b = selMax();
    for (int l = firstLine_; l < static_cast<int>(lines_.size()); ++l) {
        const Line& line = lines_[static_cast<size_t>(l)];
        const int y = textTop() + (l - firstLine_) * lineHeight_;
        if (y >= rc.bottom)
            break;
        const int left = lineLeft(line);
        auto run = [&](int from, int to, bool selected) {
            if (from >= to)
                return;
            const int x = left + xIn(line, from);
            const int w = xIn(line, to) - xIn(line, from);
            if (selected) {
                RECT hl{x, y, x + w, y + lineHeight_};
                HBRUSH hb = CreateSolidBrush(kHighlight);
                FillRect(dc, &hl, hb);
                DeleteObject(hb);
            }
            SetTextColor(dc, selected ? kHighlightText : textColour);
            const std::u16string s = shown(from, to);
            ExtTextOutW(dc, x, y, 0, nullptr, s.c_str(), static_cast<UINT>(s.size()), nullptr);
        };
        if (showSel) {
            run(line.start, std::clamp(a, line.start, line.end), false);
            run(std::clamp(a, line.start, line.end), std::clamp(b, line.start, line.end), true);
            run(std::clamp(b, line.start, line.end), line.end, false);
            // A selected line break shows as a small highlighted cell.
            if (a <= line.end && b > line.end && line.next > line.end) {
                const int x = left + lineWidth(line);
                RECT hl{x, y, x + lineHeight_ / 3, y + lineHeight_};
                HBRUSH hb = CreateSolidBrush(kHighlight);
                FillRect(dc, &hl, hb);
                DeleteObject(hb);
            }
        } else {
            run(line.start, line.end, false);
        }
    }
    if (composing_ && !composition_.empty()) {
        // The text being composed sits over the caret, underlined, until it is committed.
        const POINT p = pointOf(caret_);
        SIZE size{};
        GetTextExtentPoint32W(dc, composition_.c_str(), static_cast<int>(composition_.size()), &size);
        RECT box{p.x, p.y, p.x + size.cx, p.y + lineHeight_};
        FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        ExtTextOutW(dc, p.x, p.y, 0, nullptr, composition_.c_str(), static_cast<UINT>(composition_.size()), nullptr);
        RECT underline{p.x, p.y + lineHeight_ - 1, p.x + size.cx, p.y + lineHeight_};
        FillRect(dc, &underline, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd_, &ps);
    ShowCaret(hwnd_);
}

void EditControl::describe(AutomationNode& node)
{
    node.text = shown(0, length());
    node.state["selStart"] = number(selMin());
    node.state["selEnd"] = number(selMax());
    node.state["caret"] = number(caret_);
    node.state["limit"] = number(limit_);
    if (readOnly())
        node.state["readOnly"] = u"1";
    if (password())
        node.state["password"] = u"1";
    if (composing_)
        node.state["composition"] = composition_;
}

// ---- Messages ----

LRESULT EditControl::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
        if (const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam); cs && cs->lpszName)
            text_ = cs->lpszName;
        DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text_.c_str()));
        layout();
        return TRUE;
    case WM_NCDESTROY:
        dead_ = true;
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_SIZE:
        layout();
        scrollToCaret();
        placeCaret();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wParam);
        measureFont();
        layout();
        scrollToCaret();
        if (focused_) {
            CreateCaret(hwnd_, nullptr, 1, lineHeight_);
            placeCaret();
            ShowCaret(hwnd_);
        }
        if (LOWORD(lParam))
            InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT:
        setText(lParam ? std::u16string(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string());
        // As on Windows, a program's change is announced like a user's.
        if (notify(EN_UPDATE))
            notify(EN_CHANGE);
        return TRUE;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (multiLine() && (style() & ES_WANTRETURN) && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
            code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_SETFOCUS:
        focused_ = true;
        CreateCaret(hwnd_, nullptr, 1, lineHeight_);
        placeCaret();
        ShowCaret(hwnd_);
        InvalidateRect(hwnd_, nullptr, FALSE);
        notify(EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        focused_ = false;
        selecting_ = false;
        DestroyCaret();
        InvalidateRect(hwnd_, nullptr, FALSE);
        notify(EN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN: {
        if (!focused_) {
            SetFocus(hwnd_);
            if (dead_ || !focused_)
                return 0;
        }
        const int at = hit(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        select((wParam & MK_SHIFT) ? anchor_ : at, at);
        selecting_ = true;
        SetCapture(hwnd_);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        if (!focused_)
            SetFocus(hwnd_);
        if (dead_)
            return 0;
        if (password()) {
            select(0, length());
            return 0;
        }
        // The word under the pointer (or just before it at a line's end) and the spaces after it.
        int at = hit(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        auto breakAt = [&](int i) { return text_[static_cast<size_t>(i)] == u'\r' || text_[static_cast<size_t>(i)] == u'\n'; };
        if (at > 0 && (at == length() || breakAt(at)))
            --at;
        if (at >= length() || breakAt(at)) {
            select(at, at);
            return 0;
        }
        const int cls = wordClass(text_[static_cast<size_t>(at)]);
        int from = at, to = at;
        while (from > 0 && !breakAt(from - 1) && wordClass(text_[static_cast<size_t>(from) - 1]) == cls)
            --from;
        while (to < length() && !breakAt(to) && wordClass(text_[static_cast<size_t>(to)]) == cls)
            ++to;
        while (cls != 0 && to < length() && text_[static_cast<size_t>(to)] == u' ')
            ++to;
        select(from, to);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (selecting_ && GetCapture() == hwnd_)
            select(anchor_, hit(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
        return 0;
    case WM_LBUTTONUP:
        if (selecting_) {
            selecting_ = false;
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        selecting_ = false;
        return 0;
    case WM_KEYDOWN:
        keyDown(wParam);
        return 0;
    case WM_CHAR:
        typeChar(static_cast<WCHAR>(wParam));
        return 0;
    case WM_IME_STARTCOMPOSITION:
        composing_ = true;
        composition_.clear();
        return 0;
    case WM_IME_COMPOSITION: {
        HIMC imc = ImmGetContext(hwnd_);
        auto read = [&](DWORD which) {
            std::u16string s;
            const LONG bytes = ImmGetCompositionStringW(imc, which, nullptr, 0);
            if (bytes > 0) {
                s.resize(static_cast<size_t>(bytes) / sizeof(char16_t));
                ImmGetCompositionStringW(imc, which, s.data(), static_cast<DWORD>(bytes));
            }
            return s;
        };
        if (lParam & GCS_RESULTSTR) {
            std::u16string result = read(GCS_RESULTSTR);
            composition_.clear();
            InvalidateRect(hwnd_, nullptr, FALSE);
            ImmReleaseContext(hwnd_, imc);
            // A committed string is one change, however many characters it has.
            if (!result.empty()) {
                if ((style() & ES_NUMBER) && !digitsOnly(result))
                    MessageBeep(MB_OK);
                else
                    userReplace(std::move(result), true);
            }
            return 0;
        }
        composition_ = (lParam & GCS_COMPSTR) ? read(GCS_COMPSTR) : std::u16string();
        ImmReleaseContext(hwnd_, imc);
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    }
    case WM_IME_ENDCOMPOSITION:
        composing_ = false;
        composition_.clear();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_CUT:
        if (!readOnly() && !password() && copy() && anchor_ != caret_)
            replaceRange(selMin(), selMax(), {});
        return 0;
    case WM_COPY:
        copy();
        return 0;
    case WM_PASTE:
        paste();
        return 0;
    case WM_CLEAR:
        if (!readOnly() && anchor_ != caret_)
            replaceRange(selMin(), selMax(), {});
        return 0;
    case WM_UNDO:
    case EM_UNDO:
        undo();
        return TRUE;
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PICTAVO_DESCRIBE:
        if (auto* node = reinterpret_cast<AutomationNode*>(lParam))
            describe(*node);
        return TRUE;

    case EM_GETSEL:
        if (wParam)
            *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(selMin());
        if (lParam)
            *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(selMax());
        return selMax() > 0xFFFF ? -1 : MAKELONG(selMin(), selMax());
    case EM_SETSEL: {
        const int start = static_cast<int>(static_cast<INT_PTR>(wParam));
        const int end = static_cast<int>(lParam);
        if (start < 0)
            select(caret_, caret_); // -1 removes the selection and keeps the caret
        else
            select(start, end < 0 ? length() : end);
        return 0;
    }
    case EM_SCROLLCARET:
        scrollToCaret();
        placeCaret();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return TRUE;
    case EM_REPLACESEL:
        // A program may replace text even in a read-only or numeric field.
        userReplace(lParam ? std::u16string(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string(), false, true);
        return 0;
    case EM_LIMITTEXT: {
        const auto n = static_cast<uint64_t>(wParam);
        limit_ = n == 0 || n > static_cast<uint64_t>(kMaxLimit) ? kMaxLimit : static_cast<int>(n);
        return 0;
    }
    case EM_GETLIMITTEXT:
        return limit_;
    case EM_GETMODIFY:
        return modified_;
    case EM_SETMODIFY:
        modified_ = wParam != 0;
        return 0;
    case EM_CANUNDO:
        return canUndo_;
    case EM_GETLINECOUNT:
        return static_cast<LRESULT>(lines_.size());
    case EM_GETRECT:
        if (auto* r = reinterpret_cast<RECT*>(lParam)) {
            GetClientRect(hwnd_, r);
            r->left += kMargin;
            r->right -= kMargin;
        }
        return 0;
    case EM_SETPASSWORDCHAR:
        passwordChar_ = static_cast<WCHAR>(wParam);
        SetWindowLongW(hwnd_, GWL_STYLE,
                       static_cast<LONG>(passwordChar_ ? style() | ES_PASSWORD : style() & ~static_cast<DWORD>(ES_PASSWORD)));
        layout();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case EM_GETPASSWORDCHAR:
        return password() ? passwordChar_ : 0;
    case EM_SETREADONLY:
        SetWindowLongW(hwnd_, GWL_STYLE,
                       static_cast<LONG>(wParam ? style() | ES_READONLY : style() & ~static_cast<DWORD>(ES_READONLY)));
        InvalidateRect(hwnd_, nullptr, FALSE);
        return TRUE;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace pictavo::platform
