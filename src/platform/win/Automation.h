#pragma once

// The headless screen as a test's user sees it: every function may be called from any thread
// and acts like a person at the screen would (input goes through the same routing as real
// input, pictures are what the screen would show once the windows' threads have painted).

#include "platform/gfx/Bitmap.h"
#include "platform/win/AutomationNode.h"
#include "platform/win/WinUser.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pictavo::platform {

class Automation
{
public:
    static void setScreenSize(int width, int height);

    static void moveMouse(int x, int y);
    static void press(int button = VK_LBUTTON);
    static void release(int button = VK_LBUTTON);
    static void click(int x, int y, int button = VK_LBUTTON);
    static void doubleClick(int x, int y);
    static void wheel(int delta);
    static void keyDown(UINT vk);
    static void keyUp(UINT vk);
    static void pressKey(UINT vk);
    static void typeText(std::u16string_view text);
    // An input method at work in the focused window: compose shows (or replaces) the text
    // being composed, commit delivers it (or the given text) as typed, cancel drops it.
    static void compose(std::u16string_view text);
    static void commitComposition(std::u16string_view text = {});
    static void cancelComposition();
    // How often the application has beeped (MessageBeep) so far.
    static int beeps();
    static void dropFiles(POINT screen, std::vector<std::u16string> files);
    // The application loses the focus to another program.
    static void deactivate();

    // A visible top-level window with that caption and/or class (empty: any); null on time-out.
    static HWND waitForWindow(std::u16string_view caption, std::u16string_view className, DWORD timeoutMs);
    static bool waitForGone(HWND hwnd, DWORD timeoutMs);
    static std::u16string windowText(HWND hwnd);
    static bool windowRect(HWND hwnd, RECT& rect);
    static HCURSOR cursor();
    // The window, its child windows and the parts they draw themselves, as a person sees them
    // (each window answers on its own thread); an empty node when the window is gone.
    static AutomationNode describe(HWND hwnd);

    // Waits until the window's thread has handled the input injected so far (and what that
    // handling posted); false on time-out.
    static bool waitIdle(HWND hwnd, DWORD timeoutMs = 5000);
    // After waitIdle, lets the window's thread run its pending paints, then composes: the
    // window's picture (null when gone or when its thread does not answer in time).
    static std::shared_ptr<Bitmap> picture(HWND hwnd, DWORD timeoutMs = 5000);
    static std::shared_ptr<Bitmap> screen(DWORD timeoutMs = 5000);
    static bool savePng(const std::shared_ptr<Bitmap>& picture, const std::string& path);
};

} // namespace pictavo::platform
