#include "platform/kernel/GlobalMemory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

struct Block
{
    SIZE_T size;
    int locks;
};

std::mutex& mutex()
{
    static auto* m = new std::mutex;
    return *m;
}
// Never destroyed: blocks still held at exit (a clipboard's, a drag's data) stay known to the
// objects that free them while the process winds down.
std::unordered_map<void*, Block>& blocks()
{
    static auto* b = new std::unordered_map<void*, Block>;
    return *b;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    // Blocks larger than any drop or clipboard text are a caller's arithmetic gone wrong.
    if (bytes > (SIZE_T{1} << 31))
        return nullptr;
    void* data = std::malloc(bytes ? bytes : 1);
    if (!data)
        return nullptr;
    if (flags & GMEM_ZEROINIT)
        std::memset(data, 0, bytes ? bytes : 1);
    std::lock_guard lock(mutex());
    blocks().emplace(data, Block{bytes, 0});
    return data;
}

HGLOBAL GlobalFree(HGLOBAL block)
{
    if (!block)
        return nullptr;
    {
        std::lock_guard lock(mutex());
        if (!blocks().erase(block))
            return block;
    }
    std::free(block);
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL block)
{
    std::lock_guard lock(mutex());
    auto it = blocks().find(block);
    if (it == blocks().end())
        return nullptr;
    ++it->second.locks;
    return block;
}

BOOL GlobalUnlock(HGLOBAL block)
{
    std::lock_guard lock(mutex());
    auto it = blocks().find(block);
    if (it == blocks().end() || it->second.locks == 0)
        return FALSE;
    return --it->second.locks > 0;
}

SIZE_T GlobalSize(HGLOBAL block)
{
    std::lock_guard lock(mutex());
    auto it = blocks().find(block);
    return it == blocks().end() ? 0 : it->second.size;
}

UINT GetProfileIntW(LPCWSTR, LPCWSTR, int defaultValue)
{
    return static_cast<UINT>(defaultValue);
}
