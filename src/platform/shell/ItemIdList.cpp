#include "platform/com/Apartment.h"
#include "platform/shell/ShlObj.h"

#include <cstring>

UINT ILGetSize(PCUIDLIST_RELATIVE list)
{
    if (!list)
        return 0;
    UINT size = sizeof(USHORT);
    for (const BYTE* p = reinterpret_cast<const BYTE*>(list);;) {
        USHORT cb;
        std::memcpy(&cb, p, sizeof cb);
        if (cb == 0)
            return size;
        size += cb;
        p += cb;
    }
}

PCUIDLIST_RELATIVE ILGetNext(PCUIDLIST_RELATIVE list)
{
    if (!list || list->mkid.cb == 0)
        return nullptr;
    const auto* next =
        reinterpret_cast<PCUIDLIST_RELATIVE>(reinterpret_cast<const BYTE*>(list) + list->mkid.cb);
    return next->mkid.cb == 0 ? nullptr : next;
}

BOOL ILIsEmpty(PCUIDLIST_RELATIVE list)
{
    return !list || list->mkid.cb == 0;
}

PIDLIST_ABSOLUTE ILClone(PCIDLIST_ABSOLUTE list)
{
    if (!list)
        return nullptr;
    const UINT size = ILGetSize(list);
    void* copy = CoTaskMemAlloc(size);
    if (copy)
        std::memcpy(copy, list, size);
    return static_cast<PIDLIST_ABSOLUTE>(copy);
}

PIDLIST_ABSOLUTE ILCombine(PCIDLIST_ABSOLUTE parent, PCUIDLIST_RELATIVE child)
{
    if (!parent && !child)
        return nullptr;
    if (!parent)
        return ILClone(child);
    if (!child)
        return ILClone(parent);
    const UINT head = ILGetSize(parent) - sizeof(USHORT);
    const UINT tail = ILGetSize(child);
    auto* out = static_cast<BYTE*>(CoTaskMemAlloc(head + tail));
    if (!out)
        return nullptr;
    std::memcpy(out, parent, head);
    std::memcpy(out + head, child, tail);
    return reinterpret_cast<PIDLIST_ABSOLUTE>(out);
}

void ILFree(PIDLIST_RELATIVE list)
{
    CoTaskMemFree(list);
}
