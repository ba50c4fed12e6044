#include "platform/win/SdlBackend.h"

#include "platform/win/Automation.h"

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/Display.h"

#include <cstdlib>
#include <cstring>

namespace pictavo::platform {

namespace {

std::mutex g_displayMutex;
DisplayKind g_display = DisplayKind::Headless;

std::u16string fromUtf8(const char* text)
{
    std::u16string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (p && *p) {
        char32_t c;
        int extra;
        if (*p < 0x80) {
            c = *p;
            extra = 0;
        } else if ((*p >> 5) == 6) {
            c = *p & 0x1F;
            extra = 1;
        } else if ((*p >> 4) == 14) {
            c = *p & 0x0F;
            extra = 2;
        } else if ((*p >> 3) == 30) {
            c = *p & 0x07;
            extra = 3;
        } else {
            ++p;
            out.push_back(0xFFFD);
            continue;
        }
        ++p;
        for (int i = 0; i < extra; ++i) {
            if ((*p & 0xC0) != 0x80) {
                c = 0xFFFD;
                break;
            }
            c = (c << 6) | (*p++ & 0x3F);
        }
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string toUtf8(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

UINT virtualKey(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return static_cast<UINT>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9)
        return static_cast<UINT>('0' + (key - SDLK_0));
    switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_F4:
        return VK_F4;
    }
    return 0;
}

SDL_SystemCursor systemCursor(HCURSOR cursor)
{
    switch (reinterpret_cast<uintptr_t>(cursor)) {
    case 32513:
        return SDL_SYSTEM_CURSOR_IBEAM;
    case 32514:
        return SDL_SYSTEM_CURSOR_WAIT;
    case 32515:
        return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case 32642:
        return SDL_SYSTEM_CURSOR_SIZENWSE;
    case 32643:
        return SDL_SYSTEM_CURSOR_SIZENESW;
    case 32644:
        return SDL_SYSTEM_CURSOR_SIZEWE;
    case 32645:
        return SDL_SYSTEM_CURSOR_SIZENS;
    case 32646:
        return SDL_SYSTEM_CURSOR_SIZEALL;
    case 32648:
        return SDL_SYSTEM_CURSOR_NO;
    case 32649:
        return SDL_SYSTEM_CURSOR_HAND;
    }
    return SDL_SYSTEM_CURSOR_ARROW;
}

} // namespace

std::shared_ptr<SdlBackend> SdlBackend::start(DWORD uiThread)
{
    // Pictures are composed already: a plain framebuffer copy, no GL renderer behind it.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return nullptr;
    auto backend = std::shared_ptr<SdlBackend>(new SdlBackend(uiThread));
    if (backend->wakeEvent_ == static_cast<Uint32>(-1))
        return nullptr;
    SDL_StartTextInput();
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    SDL_EventState(SDL_DROPBEGIN, SDL_ENABLE);
    SDL_EventState(SDL_DROPCOMPLETE, SDL_ENABLE);
    std::weak_ptr<SdlBackend> weak = backend;
    const Uint32 wake = backend->wakeEvent_;
    ThreadQueue::current()->setWaitHook(
        [weak](DWORD ms) {
            if (auto b = weak.lock())
                b->block(ms);
        },
        [wake] {
            SDL_Event e{};
            e.type = wake;
            SDL_PushEvent(&e);
        });
    return backend;
}

SdlBackend::SdlBackend(DWORD uiThread) : uiThread_(uiThread), wakeEvent_(SDL_RegisterEvents(1)) {}

SdlBackend::~SdlBackend()
{
    for (auto& [hwnd, window] : windows_)
        SDL_DestroyWindow(window);
    for (auto& [handle, cursor] : cursors_)
        SDL_FreeCursor(cursor);
}

void SdlBackend::block(DWORD milliseconds)
{
    SDL_WaitEventTimeout(
        nullptr, milliseconds == INFINITE ? -1 : static_cast<int>(std::min<DWORD>(milliseconds, 0x7FFFFFFF)));
    pump();
}

void SdlBackend::pump()
{
    SDL_Event e;
    while (SDL_PollEvent(&e))
        handle(e);
}

HWND SdlBackend::windowOf(Uint32 sdlId) const
{
    SDL_Window* window = SDL_GetWindowFromID(sdlId);
    for (auto& [hwnd, w] : windows_)
        if (w == window)
            return hwnd;
    return nullptr;
}

void SdlBackend::handle(const SDL_Event& e)
{
    auto screenPoint = [&](Uint32 sdlId, int x, int y) {
        RECT r{};
        GetWindowRect(windowOf(sdlId), &r);
        return POINT{r.left + x, r.top + y};
    };
    InputEvent in;
    switch (e.type) {
    case SDL_MOUSEMOTION:
        in.kind = InputEvent::Kind::Move;
        in.pt = screenPoint(e.motion.windowID, e.motion.x, e.motion.y);
        ws().inject(std::move(in));
        return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        InputEvent move;
        move.kind = InputEvent::Kind::Move;
        move.pt = screenPoint(e.button.windowID, e.button.x, e.button.y);
        ws().inject(std::move(move));
        in.kind = e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::Kind::Down : InputEvent::Kind::Up;
        in.button = e.button.button == SDL_BUTTON_RIGHT    ? VK_RBUTTON
                    : e.button.button == SDL_BUTTON_MIDDLE ? VK_MBUTTON
                                                           : VK_LBUTTON;
        ws().inject(std::move(in));
        return;
    }
    case SDL_MOUSEWHEEL:
        in.kind = InputEvent::Kind::Wheel;
        in.delta = e.wheel.y * WHEEL_DELTA;
        ws().inject(std::move(in));
        return;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        in.kind = InputEvent::Kind::Key;
        in.vk = virtualKey(e.key.keysym.sym);
        in.up = e.type == SDL_KEYUP;
        if (in.vk)
            ws().inject(std::move(in));
        return;
    case SDL_TEXTEDITING:
        // The desktop's input method composes; its committed text comes as SDL_TEXTINPUT.
        if (e.edit.text[0])
            Automation::compose(fromUtf8(e.edit.text));
        else
            Automation::cancelComposition();
        return;
    case SDL_TEXTINPUT:
        Automation::cancelComposition();
        for (char16_t c : fromUtf8(e.text.text)) {
            InputEvent ch;
            ch.kind = InputEvent::Kind::Char;
            ch.ch = c;
            ws().inject(std::move(ch));
        }
        return;
    case SDL_DROPBEGIN:
        dropping_ = true;
        dropped_.clear();
        return;
    case SDL_DROPFILE:
        if (e.drop.file) {
            dropped_.push_back(fromUtf8(e.drop.file));
            SDL_free(e.drop.file);
        }
        // Without a begin event each file is a drop of its own.
        if (dropping_)
            return;
        [[fallthrough]];
    case SDL_DROPCOMPLETE: {
        dropping_ = false;
        if (dropped_.empty())
            return;
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        in.kind = InputEvent::Kind::Drop;
        in.pt = POINT{x, y};
        in.files = std::move(dropped_);
        dropped_.clear();
        ws().inject(std::move(in));
        return;
    }
    case SDL_WINDOWEVENT: {
        HWND hwnd = windowOf(e.window.windowID);
        switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (hwnd && hwnd != GetActiveWindow()) {
                in.kind = InputEvent::Kind::Activate;
                in.window = hwnd;
                ws().inject(std::move(in));
            }
            return;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // Another program took the focus when none of our windows has it now.
            if (!SDL_GetKeyboardFocus()) {
                in.kind = InputEvent::Kind::Activate;
                in.window = nullptr;
                ws().inject(std::move(in));
            }
            return;
        case SDL_WINDOWEVENT_CLOSE:
            if (hwnd)
                PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            return;
        case SDL_WINDOWEVENT_EXPOSED:
            if (hwnd)
                ws().recompose(hwnd);
            ws().wakeThread(uiThread_);
            return;
        }
        return;
    }
    }
}

void SdlBackend::present(HWND top, const std::shared_ptr<Bitmap>& picture)
{
    if (!picture || GetCurrentThreadId() != uiThread_)
        return;
    RECT r;
    if (!GetWindowRect(top, &r) || !IsWindowVisible(top))
        return;
    SDL_Window*& window = windows_[top];
    if (!window) {
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(top, GWL_EXSTYLE));
        // Windows that take keys stay ordinary (borderless) so the window manager gives them focus.
        const bool popup =
            (exStyle & WS_EX_NOACTIVATE) || ((exStyle & WS_EX_TOOLWINDOW) && GetWindow(top, GW_OWNER));
        Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
        if (popup)
            flags |= SDL_WINDOW_POPUP_MENU | SDL_WINDOW_SKIP_TASKBAR;
        std::u16string title(static_cast<size_t>(GetWindowTextLengthW(top)) + 1, 0);
        title.resize(static_cast<size_t>(GetWindowTextW(top, title.data(), static_cast<int>(title.size()))));
        window =
            SDL_CreateWindow(toUtf8(title).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
        if (!window) {
            windows_.erase(top);
            return;
        }
        SDL_ShowWindow(window);
    }
    int x, y, w, h;
    SDL_GetWindowPosition(window, &x, &y);
    SDL_GetWindowSize(window, &w, &h);
    if (x != r.left || y != r.top)
        SDL_SetWindowPosition(window, r.left, r.top);
    if (w != r.right - r.left || h != r.bottom - r.top)
        SDL_SetWindowSize(window, r.right - r.left, r.bottom - r.top);
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN))
        SDL_ShowWindow(window);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface || !picture->pixels())
        return;
    SDL_Surface* source =
        SDL_CreateRGBSurfaceWithFormatFrom(picture->pixels(), picture->width(), picture->height(), 32,
                                           picture->stride(), SDL_PIXELFORMAT_ARGB8888);
    if (source) {
        SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
        SDL_BlitSurface(source, nullptr, surface, nullptr);
        SDL_FreeSurface(source);
    }
    SDL_UpdateWindowSurface(window);
}

void SdlBackend::sync()
{
    if (GetCurrentThreadId() != uiThread_)
        return;
    for (auto it = windows_.begin(); it != windows_.end();) {
        if (!IsWindow(it->first)) {
            SDL_DestroyWindow(it->second);
            if (raised_ == it->first)
                raised_ = nullptr;
            it = windows_.erase(it);
            continue;
        }
        if (!IsWindowVisible(it->first) && (SDL_GetWindowFlags(it->second) & SDL_WINDOW_SHOWN))
            SDL_HideWindow(it->second);
        ++it;
    }
    HWND active = GetActiveWindow();
    if (active != raised_) {
        raised_ = active;
        if (auto it = windows_.find(active); it != windows_.end()) {
            SDL_RaiseWindow(it->second);
            SDL_SetWindowInputFocus(it->second);
        }
    }
    HCURSOR cursor = GetCursor();
    if (cursor != cursor_) {
        cursor_ = cursor;
        SDL_Cursor*& c = cursors_[cursor];
        if (!c)
            c = SDL_CreateSystemCursor(systemCursor(cursor));
        if (c)
            SDL_SetCursor(c);
    }
}

DisplayKind startDisplay(DisplayKind wanted)
{
    if (wanted == DisplayKind::Automatic) {
        const char* choice = std::getenv("PICTAVO_DISPLAY");
        if (choice && std::strcmp(choice, "headless") == 0)
            wanted = DisplayKind::Headless;
        else if ((choice && std::strcmp(choice, "sdl") == 0) || std::getenv("DISPLAY") ||
                 std::getenv("WAYLAND_DISPLAY"))
            wanted = DisplayKind::Sdl;
        else
            wanted = DisplayKind::Headless;
    }
    std::lock_guard lk(g_displayMutex);
    if (wanted == DisplayKind::Sdl) {
        const DWORD thread = GetCurrentThreadId();
        ws().installThread(thread);
        if (auto backend = SdlBackend::start(thread)) {
            SIZE screen{1280, 800};
            SDL_DisplayMode mode;
            if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0)
                screen = SIZE{mode.w, mode.h};
            ws().attachBackend(std::move(backend), screen);
            g_display = DisplayKind::Sdl;
            return g_display;
        }
    }
    g_display = DisplayKind::Headless;
    return g_display;
}

void stopDisplay()
{
    std::lock_guard lk(g_displayMutex);
    if (g_display != DisplayKind::Sdl)
        return;
    auto backend = ws().detachBackend();
    ThreadQueue::current()->setWaitHook(nullptr, nullptr);
    backend.reset();
    SDL_Quit(); // the window layer is SDL's only user
    g_display = DisplayKind::Headless;
}

DisplayKind currentDisplay()
{
    std::lock_guard lk(g_displayMutex);
    return g_display;
}

} // namespace pictavo::platform
