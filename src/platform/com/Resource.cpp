#include "platform/com/Resource.h"

#include <dlfcn.h>

#include "platform/kernel/Strings.h"

#include <algorithm>
#include <map>
#include <mutex>

using pictavo::platform::ResourceEntry;

namespace {

struct Tables
{
    std::mutex mutex;
    std::map<HMODULE, std::span<const ResourceEntry>> byModule;
};

Tables& tables()
{
    static Tables* t = new Tables;
    return *t;
}

bool matches(LPCWSTR wanted, const char16_t* text, WORD id)
{
    if (IS_INTRESOURCE(wanted))
        return !text && static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted)) == id;
    return text && pictavo::platform::equalsNoCase(wanted, text);
}

const ResourceEntry* findEntry(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    Tables& t = tables();
    std::lock_guard lock(t.mutex);
    auto it = t.byModule.find(module);
    if (it == t.byModule.end())
        return nullptr;
    for (const ResourceEntry& e : it->second)
        if (matches(type, e.type, e.typeId) && matches(name, e.name, e.nameId))
            return &e;
    return nullptr;
}

} // namespace

namespace pictavo::platform {

void registerResources(HMODULE module, std::span<const ResourceEntry> entries)
{
    std::lock_guard lock(tables().mutex);
    tables().byModule[module] = entries;
}

void unregisterResources(HMODULE module)
{
    std::lock_guard lock(tables().mutex);
    tables().byModule.erase(module);
}

HMODULE moduleContaining(const void* address)
{
    Dl_info info{};
    if (!dladdr(address, &info))
        return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

} // namespace pictavo::platform

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    if (!name || !type)
        return nullptr;
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(findEntry(module, name, type)));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource)
{
    if (!resource)
        return nullptr;
    return const_cast<BYTE*>(reinterpret_cast<const ResourceEntry*>(resource)->data);
}

LPVOID LockResource(HGLOBAL data)
{
    return data;
}

DWORD SizeofResource(HMODULE, HRSRC resource)
{
    return resource ? reinterpret_cast<const ResourceEntry*>(resource)->size : 0;
}

int LoadStringW(HMODULE module, UINT id, LPWSTR buffer, int bufferChars)
{
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), RT_STRING);
    if (!res || !buffer || bufferChars <= 0)
        return 0;
    const auto* entry = reinterpret_cast<const ResourceEntry*>(res);
    std::string_view utf8(reinterpret_cast<const char*>(entry->data), entry->size);
    while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r'))
        utf8.remove_suffix(1);
    const std::u16string text = pictavo::platform::fromUtf8(utf8);
    const size_t n = std::min<size_t>(text.size(), static_cast<size_t>(bufferChars - 1));
    std::copy_n(text.begin(), n, buffer);
    buffer[n] = 0;
    return static_cast<int>(n);
}
