#include "platform/com/OleAuto.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefix = sizeof(DWORD);
// Keeps prefix + text + terminator inside the 32-bit byte count.
constexpr size_t kMaxBytes = 0x7FFFFFF0u;

BSTR allocBytes(const void* data, size_t bytes)
{
    if (bytes > kMaxBytes)
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(WCHAR) + 1));
    if (!block)
        return nullptr;
    DWORD length = static_cast<DWORD>(bytes);
    std::memcpy(block, &length, kPrefix);
    unsigned char* text = block + kPrefix;
    if (data)
        std::memcpy(text, data, bytes);
    else
        std::memset(text, 0, bytes);
    // An odd byte count still ends in a whole WCHAR of zeros.
    std::memset(text + bytes, 0, sizeof(WCHAR) + 1);
    return reinterpret_cast<BSTR>(text);
}

size_t textLength(const OLECHAR* text)
{
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

} // namespace

BSTR SysAllocString(const OLECHAR* text)
{
    if (!text)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::min<size_t>(textLength(text), UINT32_MAX)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    return allocBytes(text, size_t{length} * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length)
{
    return allocBytes(bytes, length);
}

INT SysReAllocStringLen(BSTR* target, const OLECHAR* text, UINT length)
{
    if (!target)
        return FALSE;
    // text may point into the old string: copy before freeing.
    BSTR fresh = SysAllocStringLen(text, length);
    if (!fresh)
        return FALSE;
    SysFreeString(*target);
    *target = fresh;
    return TRUE;
}

INT SysReAllocString(BSTR* target, const OLECHAR* text)
{
    if (!target)
        return FALSE;
    if (!text) {
        SysFreeString(*target);
        *target = nullptr;
        return TRUE;
    }
    return SysReAllocStringLen(target, text, static_cast<UINT>(textLength(text)));
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

UINT SysStringByteLen(BSTR text)
{
    if (!text)
        return 0;
    DWORD length;
    std::memcpy(&length, reinterpret_cast<unsigned char*>(text) - kPrefix, kPrefix);
    return length;
}

UINT SysStringLen(BSTR text)
{
    return SysStringByteLen(text) / sizeof(OLECHAR);
}
