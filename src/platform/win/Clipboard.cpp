#include "platform/kernel/Strings.h"
#include "platform/kernel/Synch.h"
#include "platform/win/Display.h"
#include "platform/win/WinUser.h"

#include <SDL.h>

#include <cstring>
#include <map>
#include <mutex>

namespace {

// One clipboard for the process. Under SDL2 text also goes to the desktop's clipboard and is
// read back from it, so other programs see what was copied and paste into us.
struct Clipboard
{
    std::mutex mutex;
    DWORD openBy = 0; // thread that holds it open
    HWND owner = nullptr;
    std::map<UINT, HGLOBAL> data; // owned
};

Clipboard& clipboard()
{
    static Clipboard c;
    return c;
}

bool desktopClipboard()
{
    return pictavo::platform::currentDisplay() == pictavo::platform::DisplayKind::Sdl;
}

bool heldByCaller(Clipboard& c)
{
    return c.openBy == GetCurrentThreadId();
}

std::u16string textOf(HGLOBAL h)
{
    std::u16string text;
    const SIZE_T bytes = GlobalSize(h);
    if (const auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
        const size_t units = bytes / sizeof(char16_t);
        size_t n = 0;
        while (n < units && p[n])
            ++n;
        text.assign(p, n);
        GlobalUnlock(h);
    }
    return text;
}

HGLOBAL globalText(std::u16string_view text)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
    if (auto* p = static_cast<char16_t*>(GlobalLock(h))) {
        std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
        p[text.size()] = 0;
        GlobalUnlock(h);
    }
    return h;
}

} // namespace

BOOL OpenClipboard(HWND owner)
{
    Clipboard& c = clipboard();
    std::lock_guard lk(c.mutex);
    if (c.openBy && !heldByCaller(c))
        return FALSE;
    c.openBy = GetCurrentThreadId();
    c.owner = owner;
    return TRUE;
}

BOOL CloseClipboard()
{
    Clipboard& c = clipboard();
    std::lock_guard lk(c.mutex);
    if (!heldByCaller(c))
        return FALSE;
    c.openBy = 0;
    return TRUE;
}

BOOL EmptyClipboard()
{
    Clipboard& c = clipboard();
    std::lock_guard lk(c.mutex);
    if (!heldByCaller(c))
        return FALSE;
    for (auto& [format, h] : c.data)
        GlobalFree(h);
    c.data.clear();
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    Clipboard& c = clipboard();
    std::lock_guard lk(c.mutex);
    if (!heldByCaller(c) || !GlobalLock(data))
        return nullptr;
    GlobalUnlock(data);
    auto& slot = c.data[format];
    if (slot && slot != data)
        GlobalFree(slot);
    slot = data;
    if (format == CF_UNICODETEXT && desktopClipboard())
        SDL_SetClipboardText(pictavo::platform::toUtf8(textOf(data)).c_str());
    return data;
}

HANDLE GetClipboardData(UINT format)
{
    Clipboard& c = clipboard();
    std::lock_guard lk(c.mutex);
    if (!heldByCaller(c))
        return nullptr;
    if (format == CF_UNICODETEXT && desktopClipboard() && SDL_HasClipboardText()) {
        // What another program copied wins over what we last put there.
        if (char* utf8 = SDL_GetClipboardText()) {
            HGLOBAL fresh = globalText(pictavo::platform::fromUtf8(utf8));
            SDL_free(utf8);
            auto& slot = c.data[format];
            if (slot)
                GlobalFree(slot);
            slot = fresh;
        }
    }
    auto it = c.data.find(format);
    return it == c.data.end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format)
{
    Clipboard& c = clipboard();
    std::lock_guard lk(c.mutex);
    if (format == CF_UNICODETEXT && desktopClipboard() && SDL_HasClipboardText())
        return TRUE;
    return c.data.count(format) != 0;
}
