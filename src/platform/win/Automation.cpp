#include "platform/win/Automation.h"

#include "platform/gfx/Canvas.h"
#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/WindowSystem.h"

namespace pictavo::platform {

namespace {
void injectMouse(InputEvent::Kind kind, int button = 0, int delta = 0)
{
    InputEvent e;
    e.kind = kind;
    e.button = button;
    e.delta = delta;
    ws().inject(std::move(e));
}
} // namespace

void Automation::setScreenSize(int width, int height)
{
    auto s = ws().lock();
    s->screen = SIZE{std::max(1, width), std::max(1, height)};
}

void Automation::moveMouse(int x, int y)
{
    InputEvent e;
    e.kind = InputEvent::Kind::Move;
    e.pt = POINT{x, y};
    ws().inject(std::move(e));
}

void Automation::press(int button)
{
    injectMouse(InputEvent::Kind::Down, button);
}

void Automation::release(int button)
{
    injectMouse(InputEvent::Kind::Up, button);
}

void Automation::click(int x, int y, int button)
{
    moveMouse(x, y);
    press(button);
    release(button);
}

void Automation::doubleClick(int x, int y)
{
    click(x, y);
    click(x, y);
}

void Automation::wheel(int delta)
{
    injectMouse(InputEvent::Kind::Wheel, 0, delta);
}

void Automation::keyDown(UINT vk)
{
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    e.vk = vk & 0xFF;
    ws().inject(std::move(e));
}

void Automation::keyUp(UINT vk)
{
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    e.vk = vk & 0xFF;
    e.up = true;
    ws().inject(std::move(e));
}

void Automation::pressKey(UINT vk)
{
    keyDown(vk);
    keyUp(vk);
}

void Automation::typeText(std::u16string_view text)
{
    for (char16_t c : text) {
        InputEvent e;
        e.kind = InputEvent::Kind::Char;
        e.ch = c;
        ws().inject(std::move(e));
    }
}

void Automation::dropFiles(POINT screen, std::vector<std::u16string> files)
{
    InputEvent e;
    e.kind = InputEvent::Kind::Drop;
    e.pt = screen;
    e.files = std::move(files);
    ws().inject(std::move(e));
}

void Automation::deactivate()
{
    HWND active;
    {
        auto s = ws().lock();
        active = s->active;
    }
    auto w = [&] {
        auto s = ws().lock();
        return s->find(active);
    }();
    if (!w)
        return;
    if (auto q = ThreadQueue::find(w->thread))
        q->send([] { SetActiveWindow(nullptr); });
}

HWND Automation::waitForWindow(std::u16string_view caption, std::u16string_view className, DWORD timeoutMs)
{
    std::u16string folded;
    for (char16_t c : className)
        folded.push_back(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c);
    auto s = ws().lock();
    HWND found = nullptr;
    ws().waitChanged(s, std::chrono::milliseconds(timeoutMs), [&] {
        for (HWND top : s->topLevels) {
            auto w = s->find(top);
            if (w && (w->style & WS_VISIBLE) && !w->destroying && (caption.empty() || w->text == caption) &&
                (folded.empty() || w->cls->name == folded)) {
                found = top;
                return true;
            }
        }
        return false;
    });
    return found;
}

bool Automation::waitForGone(HWND hwnd, DWORD timeoutMs)
{
    auto s = ws().lock();
    return ws().waitChanged(s, std::chrono::milliseconds(timeoutMs), [&] { return !s->find(hwnd); });
}

std::u16string Automation::windowText(HWND hwnd)
{
    auto s = ws().lock();
    auto w = s->find(hwnd);
    return w ? w->text : std::u16string();
}

bool Automation::windowRect(HWND hwnd, RECT& rect)
{
    return GetWindowRect(hwnd, &rect);
}

HCURSOR Automation::cursor()
{
    return GetCursor();
}

bool Automation::waitIdle(HWND hwnd, DWORD timeoutMs)
{
    DWORD thread;
    HWND top;
    {
        auto s = ws().lock();
        top = s->rootOf(hwnd);
        auto w = s->find(top);
        if (!w)
            return false;
        thread = w->thread;
    }
    return thread == GetCurrentThreadId() || ws().settle(thread, top, timeoutMs);
}

std::shared_ptr<Bitmap> Automation::picture(HWND hwnd, DWORD timeoutMs)
{
    HWND top;
    DWORD thread;
    {
        auto s = ws().lock();
        top = s->rootOf(hwnd);
        auto w = s->find(top);
        if (!w)
            return nullptr;
        thread = w->thread;
    }
    if (thread != GetCurrentThreadId())
        ws().settle(thread, top, timeoutMs);
    auto q = ThreadQueue::find(thread);
    if (!q)
        return nullptr;
    std::shared_ptr<Bitmap> result;
    q->send(
        [&] {
            ws().flushThread(thread);
            result = ws().compose(top);
        },
        timeoutMs);
    return result;
}

std::shared_ptr<Bitmap> Automation::screen(DWORD timeoutMs)
{
    std::vector<HWND> tops;
    SIZE size;
    {
        auto s = ws().lock();
        tops = s->topLevels;
        size = s->screen;
    }
    auto shot = Bitmap::create(size.cx, size.cy, 0xFF3A6EA5);
    if (!shot)
        return nullptr;
    Canvas canvas(shot);
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        if (!IsWindowVisible(*it))
            continue;
        auto pic = picture(*it, timeoutMs);
        RECT r;
        if (pic && GetWindowRect(*it, &r))
            canvas.copyFrom(r.left, r.top, pic->width(), pic->height(), *pic, 0, 0);
    }
    return shot;
}

bool Automation::savePng(const std::shared_ptr<Bitmap>& picture, const std::string& path)
{
    return picture && picture->savePng(path);
}

} // namespace pictavo::platform
