#include "platform/kernel/MessageBox.h"

#include "platform/kernel/Strings.h"

#include <cstdio>
#include <mutex>

namespace pictavo::platform {

namespace {

std::mutex g_mutex;
MessageBoxService::Handler g_handler;

int toStandardError(HWND, std::u16string_view text, std::u16string_view caption, UINT)
{
    std::string line = toUtf8(caption) + ": " + toUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return IDOK;
}

} // namespace

MessageBoxService::Handler MessageBoxService::setHandler(Handler handler)
{
    std::lock_guard lk(g_mutex);
    std::swap(g_handler, handler);
    return handler;
}

int MessageBoxService::show(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type)
{
    Handler handler;
    {
        std::lock_guard lk(g_mutex);
        handler = g_handler;
    }
    // Called without the lock: a modal box runs for as long as the user takes.
    return handler ? handler(owner, text, caption, type) : toStandardError(owner, text, caption, type);
}

} // namespace pictavo::platform

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    return pictavo::platform::MessageBoxService::show(owner, text ? text : u"", caption ? caption : u"Error",
                                                      type);
}
