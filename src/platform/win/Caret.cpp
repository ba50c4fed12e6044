#include "platform/kernel/Synch.h"
#include "platform/win/WinUser.h"

#include <atomic>

namespace {

// One caret per thread, as on Windows. It is drawn by inverting the window's pixels, so
// drawing it twice takes it away again; painting code hides it first.
struct Caret
{
    HWND hwnd = nullptr;
    int width = 0;
    int height = 0;
    POINT pos{};
    int hidden = 1; // created hidden
    bool drawn = false;
    UINT_PTR timer = 0;
};

thread_local Caret t_caret;
std::atomic<UINT> g_blinkTime{530};

void invert(Caret& c)
{
    if (!IsWindow(c.hwnd))
        return;
    if (HDC dc = GetDC(c.hwnd)) {
        PatBlt(dc, c.pos.x, c.pos.y, c.width, c.height, DSTINVERT);
        ReleaseDC(c.hwnd, dc);
    }
    c.drawn = !c.drawn;
}

void blink(HWND, UINT, UINT_PTR, DWORD)
{
    Caret& c = t_caret;
    if (c.hwnd && c.hidden == 0)
        invert(c);
}

void stopBlinking(Caret& c)
{
    if (c.timer)
        KillTimer(nullptr, c.timer);
    c.timer = 0;
}

void startBlinking(Caret& c)
{
    stopBlinking(c);
    c.timer = SetTimer(nullptr, 0, g_blinkTime.load(), blink);
}

void erase(Caret& c)
{
    if (c.drawn)
        invert(c);
}

} // namespace

BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height)
{
    if (!IsWindow(hwnd) || GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId())
        return FALSE;
    DestroyCaret();
    Caret& c = t_caret;
    c.hwnd = hwnd;
    c.width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
    c.height = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
    c.pos = POINT{};
    c.hidden = 1;
    c.drawn = false;
    return TRUE;
}

BOOL DestroyCaret()
{
    Caret& c = t_caret;
    if (!c.hwnd)
        return FALSE;
    stopBlinking(c);
    erase(c);
    c = Caret{};
    return TRUE;
}

BOOL ShowCaret(HWND hwnd)
{
    Caret& c = t_caret;
    if (!c.hwnd || (hwnd && hwnd != c.hwnd) || c.hidden == 0)
        return FALSE;
    if (--c.hidden == 0) {
        invert(c);
        startBlinking(c);
    }
    return TRUE;
}

BOOL HideCaret(HWND hwnd)
{
    Caret& c = t_caret;
    if (!c.hwnd || (hwnd && hwnd != c.hwnd))
        return FALSE;
    if (c.hidden++ == 0) {
        stopBlinking(c);
        erase(c);
    }
    return TRUE;
}

BOOL SetCaretPos(int x, int y)
{
    Caret& c = t_caret;
    if (!c.hwnd)
        return FALSE;
    if (c.pos.x == x && c.pos.y == y)
        return TRUE;
    const bool visible = c.hidden == 0;
    erase(c);
    c.pos = POINT{x, y};
    if (visible) {
        // A moved caret shows at once and the blink starts over, so typing never hides it.
        invert(c);
        startBlinking(c);
    }
    return TRUE;
}

BOOL GetCaretPos(POINT* point)
{
    const Caret& c = t_caret;
    if (!point || !c.hwnd)
        return FALSE;
    *point = c.pos;
    return TRUE;
}

UINT GetCaretBlinkTime()
{
    return g_blinkTime.load();
}

BOOL SetCaretBlinkTime(UINT milliseconds)
{
    if (milliseconds == 0)
        return FALSE;
    g_blinkTime = milliseconds;
    return TRUE;
}
