#include "platform/com/Apartment.h"
#include "platform/shell/ShlObj.h"

#include <malloc.h>

namespace {

// The task allocator, process-wide: what it hands out CoTaskMemFree takes back and vice versa.
class ShellAllocator final : public IMalloc
{
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMalloc)) {
            *object = static_cast<IMalloc*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    void* Alloc(SIZE_T size) override { return CoTaskMemAlloc(size); }
    void* Realloc(void* block, SIZE_T size) override { return CoTaskMemRealloc(block, size); }
    void Free(void* block) override { CoTaskMemFree(block); }
    // The usable size, which may exceed what was asked for.
    SIZE_T GetSize(void* block) override
    {
        return block ? malloc_usable_size(block) : static_cast<SIZE_T>(-1);
    }
    int DidAlloc(void* block) override { return block ? -1 : 0; }
    void HeapMinimize() override {}
};

ShellAllocator g_allocator;

} // namespace

HRESULT SHGetMalloc(IMalloc** allocator)
{
    if (!allocator)
        return E_POINTER;
    *allocator = &g_allocator;
    return S_OK;
}
