#include "platform/controls/EditControl.h"

#include "platform/controls/ControlTable.h"

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
    if ((c < 0x80 &&
         !((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_')) ||
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
    EditControl* e = ControlTable<EditControl>::find(hwnd, message);
    if (!e)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return ControlTable<EditControl>::run(hwnd, e, [&] { return e->handle(message, wParam, lParam); });
}

EditControl::EditControl(HWND hwnd) : m_hwnd(hwnd)
{
    (void)g_registered;
    if (multiLine())
        m_limit = kMaxLimit;
    m_measureDc = CreateCompatibleDC(nullptr);
    measureFont();
    // Whatever text the window already holds (a superclass may have kept WM_NCCREATE).
    const auto n = DefWindowProcW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    m_text.resize(static_cast<size_t>(n) + 1);
    m_text.resize(static_cast<size_t>(
        DefWindowProcW(hwnd, WM_GETTEXT, m_text.size(), reinterpret_cast<LPARAM>(m_text.data()))));
    layout();
}

EditControl::~EditControl()
{
    if (m_measureDc) {
        SelectObject(m_measureDc, m_measureOld);
        DeleteDC(m_measureDc);
    }
}

DWORD EditControl::style() const
{
    return static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE));
}

bool EditControl::notify(WORD code)
{
    if (HWND parent = GetParent(m_hwnd))
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_hwnd), code),
                     reinterpret_cast<LPARAM>(m_hwnd));
    return !m_dead;
}

// ---- Layout ----

void EditControl::measureFont()
{
    HGDIOBJ previous = SelectObject(m_measureDc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
    if (!m_measureOld)
        m_measureOld = previous;
    SIZE size{};
    GetTextExtentPoint32W(m_measureDc, u"Ag", 2, &size);
    m_lineHeight = std::max<LONG>(1, size.cy);
    m_widths.clear();
    m_widthCache.clear();
}

int EditControl::unitWidth(int index, bool masked)
{
    const char16_t c = m_text[static_cast<size_t>(index)];
    if (isLow(c) && index > 0 && isHigh(m_text[static_cast<size_t>(index) - 1]))
        return 0;
    if (masked) {
        SIZE size{};
        GetTextExtentPoint32W(m_measureDc, &m_passwordChar, 1, &size);
        return size.cx;
    }
    if (c == u'\r' || c == u'\n')
        return 0;
    const int n = isHigh(c) && index + 1 < length() && isLow(m_text[static_cast<size_t>(index) + 1]) ? 2 : 1;
    const char32_t key =
        n == 2 ? 0x10000 + ((c - 0xD800u) << 10) + (m_text[static_cast<size_t>(index) + 1] - 0xDC00u) : c;
    // Measuring goes through the text layout engine; a long text would take it once a character.
    auto known = m_widthCache.find(key);
    if (known != m_widthCache.end())
        return known->second;
    SIZE size{};
    GetTextExtentPoint32W(m_measureDc, m_text.data() + index, n, &size);
    m_widthCache.emplace(key, size.cx);
    return size.cx;
}

void EditControl::layout()
{
    m_widths.resize(m_text.size());
    const bool masked = password();
    for (int i = 0; i < length(); ++i)
        m_widths[static_cast<size_t>(i)] = unitWidth(i, masked);
    m_lines.clear();
    if (!multiLine()) {
        m_lines.push_back({0, length(), length()});
        return;
    }
    const bool wrap = !(style() & ES_AUTOHSCROLL);
    const int room = std::max(1, viewWidth());
    int start = 0;
    for (;;) {
        int i = start, x = 0, lastSpace = -1;
        while (i < length() && m_text[static_cast<size_t>(i)] != u'\n' &&
               !(m_text[static_cast<size_t>(i)] == u'\r' && i + 1 < length() &&
                 m_text[static_cast<size_t>(i) + 1] == u'\n')) {
            const int w = m_widths[static_cast<size_t>(i)];
            if (wrap && x + w > room && i > start) {
                // Break after the last space that fits, else inside the word.
                if (lastSpace >= start) {
                    m_lines.push_back({start, lastSpace, lastSpace + 1});
                    start = lastSpace + 1;
                } else {
                    int cut = isLow(m_text[static_cast<size_t>(i)]) ? i - 1 : i;
                    cut = std::max(cut, start + 1);
                    m_lines.push_back({start, cut, cut});
                    start = cut;
                }
                i = start, x = 0, lastSpace = -1;
                continue;
            }
            if (m_text[static_cast<size_t>(i)] == u' ')
                lastSpace = i;
            x += w;
            ++i;
        }
        if (i >= length()) {
            m_lines.push_back({start, i, i});
            break;
        }
        const int breakLength = m_text[static_cast<size_t>(i)] == u'\r' ? 2 : 1;
        m_lines.push_back({start, i, i + breakLength});
        start = i + breakLength;
    }
}

int EditControl::lineOf(int index) const
{
    for (size_t l = 0; l + 1 < m_lines.size(); ++l)
        if (index < m_lines[l + 1].start)
            return static_cast<int>(l);
    return static_cast<int>(m_lines.size()) - 1;
}

int EditControl::lineWidth(const Line& line)
{
    return xIn(line, line.end);
}

int EditControl::xIn(const Line& line, int index)
{
    int x = 0;
    for (int i = line.start; i < std::min(index, line.end); ++i)
        x += m_widths[static_cast<size_t>(i)];
    return x;
}

int EditControl::viewWidth() const
{
    RECT rc;
    GetClientRect(m_hwnd, &rc);
    return std::max<LONG>(0, rc.right - 2 * kMargin);
}

int EditControl::viewLines() const
{
    RECT rc;
    GetClientRect(m_hwnd, &rc);
    return std::max<LONG>(1, (rc.bottom - textTop()) / m_lineHeight);
}

int EditControl::textTop() const
{
    if (multiLine())
        return 1;
    RECT rc;
    GetClientRect(m_hwnd, &rc);
    return std::max<LONG>(0, (rc.bottom - m_lineHeight) / 2);
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
    return kMargin + offset - m_scrollX;
}

POINT EditControl::pointOf(int index)
{
    const int l = lineOf(index);
    const Line& line = m_lines[static_cast<size_t>(l)];
    return POINT{lineLeft(line) + xIn(line, index), textTop() + (l - m_firstLine) * m_lineHeight};
}

int EditControl::hit(POINT pt)
{
    int l = m_firstLine + (pt.y - textTop()) / m_lineHeight;
    if (pt.y < textTop())
        l = m_firstLine - 1;
    l = std::clamp(l, 0, static_cast<int>(m_lines.size()) - 1);
    const Line& line = m_lines[static_cast<size_t>(l)];
    int x = lineLeft(line);
    for (int i = line.start; i < line.end; ++i) {
        const int w = m_widths[static_cast<size_t>(i)];
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
        if (index > 0 && isLow(m_text[static_cast<size_t>(index)]) &&
            isHigh(m_text[static_cast<size_t>(index) - 1]))
            --index;
        // A line break is one step.
        if (index > 0 && m_text[static_cast<size_t>(index)] == u'\n' &&
            m_text[static_cast<size_t>(index) - 1] == u'\r')
            --index;
        return index;
    }
    if (index >= length())
        return length();
    if (m_text[static_cast<size_t>(index)] == u'\r' && index + 1 < length() &&
        m_text[static_cast<size_t>(index) + 1] == u'\n')
        return index + 2;
    if (isHigh(m_text[static_cast<size_t>(index)]) && index + 1 < length() &&
        isLow(m_text[static_cast<size_t>(index) + 1]))
        return index + 2;
    return index + 1;
}

int EditControl::wordStart(int index) const
{
    if (password())
        return 0;
    while (index > 0 && isSpace(m_text[static_cast<size_t>(index) - 1]))
        --index;
    if (index == 0)
        return 0;
    const int cls = wordClass(m_text[static_cast<size_t>(index) - 1]);
    while (index > 0 && wordClass(m_text[static_cast<size_t>(index) - 1]) == cls)
        --index;
    return index;
}

int EditControl::wordEnd(int index) const
{
    if (password())
        return length();
    if (index < length()) {
        const int cls = wordClass(m_text[static_cast<size_t>(index)]);
        while (index < length() && cls != 0 && wordClass(m_text[static_cast<size_t>(index)]) == cls)
            ++index;
    }
    while (index < length() && isSpace(m_text[static_cast<size_t>(index)]) &&
           m_text[static_cast<size_t>(index)] != u'\r' && m_text[static_cast<size_t>(index)] != u'\n')
        ++index;
    return index;
}

void EditControl::scrollToCaret()
{
    const int l = lineOf(m_caret);
    const Line& line = m_lines[static_cast<size_t>(l)];
    const int view = viewWidth();
    const int total = lineWidth(line);
    if (!multiLine() || (style() & ES_AUTOHSCROLL)) {
        const int x = xIn(line, m_caret);
        if (x < m_scrollX)
            m_scrollX = std::max(0, x - view / 4);
        else if (x >= m_scrollX + view)
            m_scrollX = x - view + 1 + view / 4;
        // Never leave empty room on the right while text is hidden on the left.
        m_scrollX = std::clamp(m_scrollX, 0, std::max(0, total - view + 1));
    } else {
        m_scrollX = 0;
    }
    if (l < m_firstLine)
        m_firstLine = l;
    else if (l >= m_firstLine + viewLines())
        m_firstLine = l - viewLines() + 1;
    m_firstLine = std::clamp(m_firstLine, 0, std::max(0, static_cast<int>(m_lines.size()) - 1));
}

void EditControl::placeCaret()
{
    if (!m_focused)
        return;
    const POINT p = pointOf(m_caret);
    SetCaretPos(p.x, p.y);
}

void EditControl::select(int anchor, int caret)
{
    m_anchor = std::clamp(anchor, 0, length());
    m_caret = std::clamp(caret, 0, length());
    scrollToCaret();
    placeCaret();
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

std::u16string EditControl::shown(int from, int to) const
{
    if (!password())
        return m_text.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
    std::u16string mask;
    for (int i = from; i < to; ++i)
        if (!(isLow(m_text[static_cast<size_t>(i)]) && i > 0 && isHigh(m_text[static_cast<size_t>(i) - 1])))
            mask.push_back(m_passwordChar);
    return mask;
}

// ---- Changes ----

bool EditControl::fits(const std::u16string& candidate)
{
    // Without horizontal scrolling a single line holds only what the field shows.
    if (multiLine() || (style() & ES_AUTOHSCROLL))
        return true;
    std::u16string saved;
    saved.swap(m_text);
    m_text = candidate;
    int width = 0;
    const bool masked = password();
    for (int i = 0; i < length(); ++i)
        width += unitWidth(i, masked);
    m_text.swap(saved);
    return width < viewWidth();
}

bool EditControl::replaceRange(int from, int to, const std::u16string& insert)
{
    m_undoText = m_text;
    m_canUndo = true;
    m_text.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), insert);
    m_anchor = m_caret = from + static_cast<int>(insert.size());
    m_modified = true;
    DefWindowProcW(m_hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_text.c_str()));
    layout();
    scrollToCaret();
    if (!notify(EN_UPDATE))
        return false;
    InvalidateRect(m_hwnd, nullptr, FALSE);
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
    const size_t room = static_cast<size_t>(std::max(0, m_limit - (length() - (to - from))));
    if (insert.size() > room) {
        insert.resize(room);
        full = true;
    }
    auto candidate = [&] {
        std::u16string t = m_text;
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
    m_text = std::move(text);
    m_anchor = m_caret = 0;
    m_scrollX = 0;
    m_firstLine = 0;
    m_modified = false;
    m_canUndo = false;
    DefWindowProcW(m_hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_text.c_str()));
    layout();
    placeCaret();
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

bool EditControl::typeChar(WCHAR ch)
{
    if (isHigh(ch)) {
        m_pendingHigh = ch;
        return true;
    }
    std::u16string insert;
    if (isLow(ch)) {
        if (!m_pendingHigh)
            return true;
        insert = {m_pendingHigh, ch};
    } else {
        insert = {ch};
    }
    m_pendingHigh = 0;
    if (ch == VK_BACK) {
        if (readOnly()) {
            MessageBeep(MB_OK);
            return true;
        }
        if (m_anchor == m_caret && m_caret == 0)
            return true;
        const int from = m_anchor != m_caret ? selMin() : step(m_caret, -1);
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
    int to = m_caret;
    const int l = lineOf(m_caret);
    const Line& line = m_lines[static_cast<size_t>(l)];
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT: {
        const int dir = vk == VK_LEFT ? -1 : 1;
        if (!shift && !ctrl && m_anchor != m_caret)
            to = dir < 0 ? selMin() : selMax();
        else if (ctrl)
            to = dir < 0 ? wordStart(m_caret) : wordEnd(m_caret);
        else
            to = step(m_caret, dir);
        break;
    }
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
        if (!multiLine()) {
            to = step(m_caret, vk == VK_UP || vk == VK_PRIOR ? -1 : 1);
            break;
        }
        const int lines = vk == VK_UP || vk == VK_DOWN ? 1 : std::max(1, viewLines() - 1);
        const int target = std::clamp(l + (vk == VK_UP || vk == VK_PRIOR ? -lines : lines), 0,
                                      static_cast<int>(m_lines.size()) - 1);
        if (target == l)
            break;
        const int x = pointOf(m_caret).x;
        // Scroll first so the hit test finds the line on screen.
        m_firstLine = std::clamp(m_firstLine, target - viewLines() + 1, target);
        to = hit(POINT{x, textTop() + (target - m_firstLine) * m_lineHeight});
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
            return readOnly() || password() || m_anchor == m_caret || replaceRange(selMin(), selMax(), {});
        }
        if (readOnly()) {
            MessageBeep(MB_OK);
            return true;
        }
        if (m_anchor != m_caret)
            return replaceRange(selMin(), selMax(), {});
        if (m_caret < length())
            return replaceRange(m_caret, step(m_caret, 1), {});
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
        return !copy() ? false : m_anchor == m_caret || replaceRange(selMin(), selMax(), {});
    case 'V':
        return !ctrl || paste();
    case 'Z':
        return !ctrl || undo();
    default:
        return true;
    }
    select(shift ? m_anchor : to, to);
    return true;
}

bool EditControl::copy()
{
    if (m_anchor == m_caret || password())
        return true;
    if (!OpenClipboard(m_hwnd))
        return true;
    EmptyClipboard();
    if (HGLOBAL h =
            globalText(m_text.substr(static_cast<size_t>(selMin()), static_cast<size_t>(selMax() - selMin()))))
        if (!SetClipboardData(CF_UNICODETEXT, h))
            GlobalFree(h);
    CloseClipboard();
    return true;
}

bool EditControl::paste()
{
    std::u16string text;
    if (!OpenClipboard(m_hwnd))
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
    if (!m_canUndo || readOnly())
        return true;
    std::u16string previous = m_undoText;
    m_undoText = m_text;
    m_text = std::move(previous);
    m_anchor = m_caret = length();
    m_modified = true;
    DefWindowProcW(m_hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_text.c_str()));
    layout();
    scrollToCaret();
    if (!notify(EN_UPDATE))
        return false;
    InvalidateRect(m_hwnd, nullptr, FALSE);
    placeCaret();
    return notify(EN_CHANGE);
}

// ---- Painting ----

HBRUSH EditControl::askColours(HDC dc)
{
    // Read-only and disabled fields are drawn like static text, and asked for as such.
    const bool asStatic = readOnly() || !IsWindowEnabled(m_hwnd);
    SetTextColor(dc, IsWindowEnabled(m_hwnd) ? GetSysColor(COLOR_WINDOWTEXT) : kGrayText);
    SetBkColor(dc, GetSysColor(asStatic ? COLOR_BTNFACE : COLOR_WINDOW));
    HBRUSH brush = nullptr;
    if (HWND parent = GetParent(m_hwnd))
        brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, asStatic ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT,
                                                      reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(m_hwnd)));
    return brush ? brush : GetSysColorBrush(asStatic ? COLOR_BTNFACE : COLOR_WINDOW);
}

void EditControl::paint()
{
    HideCaret(m_hwnd);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hwnd, &ps);
    if (!dc) {
        ShowCaret(m_hwnd);
        return;
    }
    RECT rc;
    GetClientRect(m_hwnd, &rc);
    HGDIOBJ oldFont = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
    HBRUSH brush = askColours(dc);
    if (m_dead) {
        EndPaint(m_hwnd, &ps);
        return;
    }
    HWND parent = GetParent(m_hwnd);
    if (brush == GetStockObject(NULL_BRUSH) && parent) {
        // A hollow brush means "the parent shows through": copy what the parent drew under us.
        POINT origin{0, 0};
        MapWindowPoints(m_hwnd, parent, &origin, 1);
        if (HDC below = GetDC(parent)) {
            BitBlt(dc, 0, 0, rc.right, rc.bottom, below, origin.x, origin.y, SRCCOPY);
            ReleaseDC(parent, below);
        }
    } else {
        FillRect(dc, &rc, brush);
    }
    const COLORREF textColour = IsWindowEnabled(m_hwnd) ? GetTextColor(dc) : kGrayText;
    SetBkMode(dc, TRANSPARENT);
    const bool showSel = m_anchor != m_caret && (m_focused || (style() & ES_NOHIDESEL));
    const int a = selMin(), b = selMax();
    for (int l = m_firstLine; l < static_cast<int>(m_lines.size()); ++l) {
        const Line& line = m_lines[static_cast<size_t>(l)];
        const int y = textTop() + (l - m_firstLine) * m_lineHeight;
        if (y >= rc.bottom)
            break;
        const int left = lineLeft(line);
        // Only the part of a long line that shows is laid out and drawn.
        int shownFrom = line.start, shownTo = line.end;
        for (int i = line.start, x = left; i < line.end; ++i) {
            x += m_widths[static_cast<size_t>(i)];
            if (x < 0)
                shownFrom = i + 1;
            if (x - m_widths[static_cast<size_t>(i)] > rc.right) {
                shownTo = i;
                break;
            }
        }
        shownFrom = std::max(line.start, step(shownFrom, -1));
        auto run = [&](int from, int to, bool selected) {
            from = std::max(from, shownFrom);
            to = std::min(to, shownTo);
            if (from >= to)
                return;
            const int x = left + xIn(line, from);
            const int w = xIn(line, to) - xIn(line, from);
            if (selected) {
                RECT hl{x, y, x + w, y + m_lineHeight};
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
                RECT hl{x, y, x + m_lineHeight / 3, y + m_lineHeight};
                HBRUSH hb = CreateSolidBrush(kHighlight);
                FillRect(dc, &hl, hb);
                DeleteObject(hb);
            }
        } else {
            run(line.start, line.end, false);
        }
    }
    if (m_composing && !m_composition.empty()) {
        // The text being composed sits over the caret, underlined, until it is committed.
        const POINT p = pointOf(m_caret);
        SIZE size{};
        GetTextExtentPoint32W(dc, m_composition.c_str(), static_cast<int>(m_composition.size()), &size);
        RECT box{p.x, p.y, p.x + size.cx, p.y + m_lineHeight};
        FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        ExtTextOutW(dc, p.x, p.y, 0, nullptr, m_composition.c_str(), static_cast<UINT>(m_composition.size()),
                    nullptr);
        RECT underline{p.x, p.y + m_lineHeight - 1, p.x + size.cx, p.y + m_lineHeight};
        FillRect(dc, &underline, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    SelectObject(dc, oldFont);
    EndPaint(m_hwnd, &ps);
    ShowCaret(m_hwnd);
}

void EditControl::describe(AutomationNode& node)
{
    node.text = shown(0, length());
    node.state["selStart"] = number(selMin());
    node.state["selEnd"] = number(selMax());
    node.state["caret"] = number(m_caret);
    node.state["limit"] = number(m_limit);
    if (readOnly())
        node.state["readOnly"] = u"1";
    if (password())
        node.state["password"] = u"1";
    if (m_composing)
        node.state["composition"] = m_composition;
}

// ---- Messages ----

LRESULT EditControl::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
        if (const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam); cs && cs->lpszName)
            m_text = cs->lpszName;
        DefWindowProcW(m_hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_text.c_str()));
        layout();
        return TRUE;
    case WM_NCDESTROY:
        m_dead = true;
        return DefWindowProcW(m_hwnd, message, wParam, lParam);
    case WM_SIZE:
        layout();
        scrollToCaret();
        placeCaret();
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return 0;
    case WM_SETFONT:
        m_font = reinterpret_cast<HFONT>(wParam);
        measureFont();
        layout();
        scrollToCaret();
        if (m_focused) {
            CreateCaret(m_hwnd, nullptr, 1, m_lineHeight);
            placeCaret();
            ShowCaret(m_hwnd);
        }
        if (LOWORD(lParam))
            InvalidateRect(m_hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_font);
    case WM_SETTEXT:
        setText(lParam ? std::u16string(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string());
        // As on Windows, a program's change is announced like a user's.
        if (notify(EN_UPDATE))
            notify(EN_CHANGE);
        return TRUE;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (multiLine() && (style() & ES_WANTRETURN) && msg && msg->message == WM_KEYDOWN &&
            msg->wParam == VK_RETURN)
            code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_SETFOCUS:
        m_focused = true;
        CreateCaret(m_hwnd, nullptr, 1, m_lineHeight);
        placeCaret();
        ShowCaret(m_hwnd);
        InvalidateRect(m_hwnd, nullptr, FALSE);
        notify(EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        m_focused = false;
        m_selecting = false;
        DestroyCaret();
        InvalidateRect(m_hwnd, nullptr, FALSE);
        notify(EN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN: {
        if (!m_focused) {
            SetFocus(m_hwnd);
            if (m_dead || !m_focused)
                return 0;
        }
        const int at = hit(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        select((wParam & MK_SHIFT) ? m_anchor : at, at);
        m_selecting = true;
        SetCapture(m_hwnd);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        if (!m_focused)
            SetFocus(m_hwnd);
        if (m_dead)
            return 0;
        if (password()) {
            select(0, length());
            return 0;
        }
        // The word under the pointer (or just before it at a line's end) and the spaces after it.
        int at = hit(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        auto breakAt = [&](int i) {
            return m_text[static_cast<size_t>(i)] == u'\r' || m_text[static_cast<size_t>(i)] == u'\n';
        };
        if (at > 0 && (at == length() || breakAt(at)))
            --at;
        if (at >= length() || breakAt(at)) {
            select(at, at);
            return 0;
        }
        const int cls = wordClass(m_text[static_cast<size_t>(at)]);
        int from = at, to = at;
        while (from > 0 && !breakAt(from - 1) && wordClass(m_text[static_cast<size_t>(from) - 1]) == cls)
            --from;
        while (to < length() && !breakAt(to) && wordClass(m_text[static_cast<size_t>(to)]) == cls)
            ++to;
        while (cls != 0 && to < length() && m_text[static_cast<size_t>(to)] == u' ')
            ++to;
        select(from, to);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (m_selecting && GetCapture() == m_hwnd)
            select(m_anchor, hit(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
        return 0;
    case WM_LBUTTONUP:
        if (m_selecting) {
            m_selecting = false;
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        m_selecting = false;
        return 0;
    case WM_KEYDOWN:
        keyDown(wParam);
        return 0;
    case WM_CHAR:
        typeChar(static_cast<WCHAR>(wParam));
        return 0;
    case WM_IME_STARTCOMPOSITION:
        m_composing = true;
        m_composition.clear();
        return 0;
    case WM_IME_COMPOSITION: {
        HIMC imc = ImmGetContext(m_hwnd);
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
            m_composition.clear();
            InvalidateRect(m_hwnd, nullptr, FALSE);
            ImmReleaseContext(m_hwnd, imc);
            // A committed string is one change, however many characters it has.
            if (!result.empty()) {
                if ((style() & ES_NUMBER) && !digitsOnly(result))
                    MessageBeep(MB_OK);
                else
                    userReplace(std::move(result), true);
            }
            return 0;
        }
        m_composition = (lParam & GCS_COMPSTR) ? read(GCS_COMPSTR) : std::u16string();
        ImmReleaseContext(m_hwnd, imc);
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_IME_ENDCOMPOSITION:
        m_composing = false;
        m_composition.clear();
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return 0;
    case WM_CUT:
        if (!readOnly() && !password() && copy() && m_anchor != m_caret)
            replaceRange(selMin(), selMax(), {});
        return 0;
    case WM_COPY:
        copy();
        return 0;
    case WM_PASTE:
        paste();
        return 0;
    case WM_CLEAR:
        if (!readOnly() && m_anchor != m_caret)
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
            select(m_caret, m_caret); // -1 removes the selection and keeps the caret
        else
            select(start, end < 0 ? length() : end);
        return 0;
    }
    case EM_SCROLLCARET:
        scrollToCaret();
        placeCaret();
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return TRUE;
    case EM_REPLACESEL:
        // A program may replace text even in a read-only or numeric field.
        userReplace(lParam ? std::u16string(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string(), false,
                    true);
        return 0;
    case EM_LIMITTEXT: {
        const auto n = static_cast<uint64_t>(wParam);
        m_limit = n == 0 || n > static_cast<uint64_t>(kMaxLimit) ? kMaxLimit : static_cast<int>(n);
        return 0;
    }
    case EM_GETLIMITTEXT:
        return m_limit;
    case EM_GETMODIFY:
        return m_modified;
    case EM_SETMODIFY:
        m_modified = wParam != 0;
        return 0;
    case EM_CANUNDO:
        return m_canUndo;
    case EM_GETLINECOUNT:
        return static_cast<LRESULT>(m_lines.size());
    case EM_GETRECT:
        if (auto* r = reinterpret_cast<RECT*>(lParam)) {
            GetClientRect(m_hwnd, r);
            r->left += kMargin;
            r->right -= kMargin;
        }
        return 0;
    case EM_SETPASSWORDCHAR:
        m_passwordChar = static_cast<WCHAR>(wParam);
        SetWindowLongW(m_hwnd, GWL_STYLE,
                       static_cast<LONG>(m_passwordChar ? style() | ES_PASSWORD
                                                       : style() & ~static_cast<DWORD>(ES_PASSWORD)));
        layout();
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return 0;
    case EM_GETPASSWORDCHAR:
        return password() ? m_passwordChar : 0;
    case EM_SETREADONLY:
        SetWindowLongW(
            m_hwnd, GWL_STYLE,
            static_cast<LONG>(wParam ? style() | ES_READONLY : style() & ~static_cast<DWORD>(ES_READONLY)));
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return TRUE;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

} // namespace pictavo::platform
