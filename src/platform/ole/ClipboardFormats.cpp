#include "platform/com/NameCompare.h"
#include "platform/ole/Ole2.h"

#include <algorithm>
#include <mutex>

namespace {
std::mutex formatsMutex;
// Index i holds the name of format 0xC000 + i.
std::vector<std::u16string>& formatNames()
{
    static std::vector<std::u16string> names;
    return names;
}
} // namespace

UINT RegisterClipboardFormatW(LPCWSTR name)
{
    if (!name || !*name) {
        SetLastError(87); // ERROR_INVALID_PARAMETER
        return 0;
    }
    std::lock_guard lock(formatsMutex);
    auto& names = formatNames();
    for (size_t i = 0; i < names.size(); ++i)
        if (pictavo::platform::namesEqual(names[i].c_str(), name))
            return static_cast<UINT>(0xC000 + i);
    if (names.size() >= 0x3FFF)
        return 0;
    names.emplace_back(name);
    return static_cast<UINT>(0xC000 + names.size() - 1);
}

int GetClipboardFormatNameW(UINT format, LPWSTR buffer, int size)
{
    std::lock_guard lock(formatsMutex);
    auto& names = formatNames();
    if (format < 0xC000 || format - 0xC000 >= names.size() || !buffer || size <= 0)
        return 0;
    const std::u16string& name = names[format - 0xC000];
    int n = std::min(static_cast<int>(name.size()), size - 1);
    std::copy_n(name.data(), n, buffer);
    buffer[n] = 0;
    return n;
}
