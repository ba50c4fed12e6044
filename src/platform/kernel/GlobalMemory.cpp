#include "platform/kernel/GlobalMemory.h"

#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

struct Block
{
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    int locks = 0;
};

constexpr SIZE_T kMaxBlock = SIZE_T{1} << 30;

std::mutex& mutex()
{
    static std::mutex m;
    return m;
}

std::unordered_map<uintptr_t, Block>& blocks()
{
    static std::unordered_map<uintptr_t, Block> table;
    return table;
}

// Serial numbers, never reused, so a freed handle stays refused.
uintptr_t g_next = 0x4000;

Block* find(HGLOBAL memory)
{
    auto it = blocks().find(reinterpret_cast<uintptr_t>(memory));
    return it == blocks().end() ? nullptr : &it->second;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (bytes > kMaxBlock)
        return nullptr;
    Block block;
    // A zero-byte block still hands out a valid pointer when locked.
    block.bytes.reset(new (std::nothrow) uint8_t[bytes ? bytes : 1]);
    if (!block.bytes)
        return nullptr;
    if (flags & GMEM_ZEROINIT)
        std::fill_n(block.bytes.get(), bytes ? bytes : 1, uint8_t{0});
    block.size = bytes;
    std::lock_guard lk(mutex());
    g_next += 4;
    blocks().emplace(g_next, std::move(block));
    return reinterpret_cast<HGLOBAL>(g_next);
}

HGLOBAL GlobalFree(HGLOBAL memory)
{
    std::lock_guard lk(mutex());
    // Win32 answers the handle itself when it could not be freed.
    return blocks().erase(reinterpret_cast<uintptr_t>(memory)) ? nullptr : memory;
}

LPVOID GlobalLock(HGLOBAL memory)
{
    std::lock_guard lk(mutex());
    Block* b = find(memory);
    if (!b)
        return nullptr;
    ++b->locks;
    return b->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL memory)
{
    std::lock_guard lk(mutex());
    Block* b = find(memory);
    if (!b || b->locks == 0)
        return FALSE;
    return --b->locks > 0;
}

SIZE_T GlobalSize(HGLOBAL memory)
{
    std::lock_guard lk(mutex());
    Block* b = find(memory);
    return b ? b->size : 0;
}

UINT GetProfileIntW(LPCWSTR, LPCWSTR, int defaultValue)
{
    return static_cast<UINT>(defaultValue);
}
