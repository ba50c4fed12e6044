#include "platform/ole/Ole2.h"

#include <algorithm>
#include <cstring>

namespace pictavo::platform {

HGLOBAL makeDropFiles(const std::vector<std::u16string>& paths, POINT point)
{
    size_t chars = 1;
    for (const auto& p : paths)
        chars += p.size() + 1;
    const size_t bytes = sizeof(DROPFILES) + chars * sizeof(char16_t);
    HGLOBAL block = GlobalAlloc(GHND, bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    if (!header)
        return nullptr;
    header->pFiles = sizeof(DROPFILES);
    header->pt = point;
    header->fNC = FALSE;
    header->fWide = TRUE;
    auto* out = reinterpret_cast<char16_t*>(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES));
    for (const auto& p : paths) {
        std::memcpy(out, p.data(), p.size() * sizeof(char16_t));
        out += p.size();
        *out++ = 0;
    }
    *out = 0;
    GlobalUnlock(block);
    return block;
}

namespace {
// The paths of a drop list, read within the block's size (a list without its final NUL ends
// at the block's end rather than beyond it).
std::vector<std::u16string_view> dropPaths(HDROP drop)
{
    std::vector<std::u16string_view> paths;
    HGLOBAL block = reinterpret_cast<HGLOBAL>(drop);
    const SIZE_T size = GlobalSize(block);
    auto* header = static_cast<const DROPFILES*>(GlobalLock(block));
    if (!header)
        return paths;
    GlobalUnlock(block);
    if (size < sizeof(DROPFILES) || header->pFiles < sizeof(DROPFILES) || header->pFiles >= size || !header->fWide)
        return paths;
    const auto* chars = reinterpret_cast<const char16_t*>(reinterpret_cast<const BYTE*>(header) + header->pFiles);
    const size_t count = (size - header->pFiles) / sizeof(char16_t);
    size_t i = 0;
    while (i < count && chars[i]) {
        size_t end = i;
        while (end < count && chars[end])
            ++end;
        paths.emplace_back(chars + i, end - i);
        i = end + 1;
    }
    return paths;
}
} // namespace

} // namespace pictavo::platform

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT size)
{
    const auto paths = pictavo::platform::dropPaths(drop);
    if (index == 0xFFFFFFFFu)
        return static_cast<UINT>(paths.size());
    if (index >= paths.size())
        return 0;
    const auto& path = paths[index];
    if (!buffer)
        return static_cast<UINT>(path.size());
    if (size == 0)
        return 0;
    const UINT n = std::min<UINT>(static_cast<UINT>(path.size()), size - 1);
    std::copy_n(path.data(), n, buffer);
    buffer[n] = 0;
    return n;
}

BOOL DragQueryPoint(HDROP drop, POINT* point)
{
    HGLOBAL block = reinterpret_cast<HGLOBAL>(drop);
    auto* header = static_cast<const DROPFILES*>(GlobalLock(block));
    if (!header || !point || GlobalSize(block) < sizeof(DROPFILES)) {
        GlobalUnlock(block);
        return FALSE;
    }
    *point = header->pt;
    GlobalUnlock(block);
    return !header->fNC;
}

void DragFinish(HDROP drop)
{
    GlobalFree(reinterpret_cast<HGLOBAL>(drop));
}
