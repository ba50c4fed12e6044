#include "platform/com/Apartment.h"

#include "platform/kernel/ThreadQueue.h"

#include <cstdlib>

namespace {

struct ThreadApartment
{
    pictavo::platform::ApartmentKind kind = pictavo::platform::ApartmentKind::None;
    unsigned count = 0;
};

thread_local ThreadApartment t_apartment;

} // namespace

namespace pictavo::platform {

ApartmentKind currentApartment()
{
    return t_apartment.kind;
}

} // namespace pictavo::platform

HRESULT CoInitializeEx(void* reserved, DWORD coInit)
{
    using pictavo::platform::ApartmentKind;
    if (reserved)
        return E_INVALIDARG;
    ApartmentKind kind =
        (coInit & COINIT_APARTMENTTHREADED) ? ApartmentKind::SingleThreaded : ApartmentKind::MultiThreaded;
    ThreadApartment& a = t_apartment;
    if (a.count == 0) {
        // Calls for this apartment's objects arrive through the thread's queue.
        if (kind == ApartmentKind::SingleThreaded)
            pictavo::platform::ThreadQueue::current();
        a.kind = kind;
        a.count = 1;
        return S_OK;
    }
    if (a.kind != kind)
        return RPC_E_CHANGED_MODE;
    ++a.count;
    return S_FALSE;
}

HRESULT CoInitialize(void* reserved)
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize()
{
    ThreadApartment& a = t_apartment;
    if (a.count == 0)
        return;
    if (--a.count == 0)
        a.kind = pictavo::platform::ApartmentKind::None;
}

void* CoTaskMemAlloc(SIZE_T size)
{
    return std::malloc(size ? size : 1);
}
void* CoTaskMemRealloc(void* block, SIZE_T size)
{
    return std::realloc(block, size ? size : 1);
}
void CoTaskMemFree(void* block)
{
    std::free(block);
}
