#pragma once

// Apartments per thread, task memory and the global interface table.

#include "platform/com/Dispatch.h"

#include <cstddef>

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
inline constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;
inline constexpr DWORD COINIT_SPEED_OVER_MEMORY = 0x8;

// S_OK the first time on a thread, S_FALSE when already in the same kind of apartment,
// RPC_E_CHANGED_MODE when in the other kind. Every success needs one CoUninitialize.
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

void* CoTaskMemAlloc(SIZE_T size);
void* CoTaskMemRealloc(void* block, SIZE_T size);
void CoTaskMemFree(void* block);

// An interface registered by an apartment-threaded thread and fetched on another thread is a
// proxy whose calls run on the registering thread (which handles them while it waits for
// messages or blocks in platform waits); the caller waits for the answer. Arguments cross as
// copied VARIANTs: BSTRs and arrays are copied, interface pointers in them are passed as they
// are (not marshalled). A call to a thread that has ended fails with RPC_E_DISCONNECTED.
struct IGlobalInterfaceTable : IUnknown
{
    virtual HRESULT RegisterInterfaceInGlobal(IUnknown* object, REFIID riid, DWORD* cookie) = 0;
    virtual HRESULT RevokeInterfaceFromGlobal(DWORD cookie) = 0;
    virtual HRESULT GetInterfaceFromGlobal(DWORD cookie, REFIID riid, void** object) = 0;

protected:
    ~IGlobalInterfaceTable() = default;
};
PICTAVO_DECLARE_IID(IGlobalInterfaceTable, IID_IGlobalInterfaceTable)

#include "platform/com/GlobalInterfaceTable.h"

namespace pictavo::platform {

enum class ApartmentKind
{
    None,
    SingleThreaded,
    MultiThreaded
};
ApartmentKind currentApartment();

} // namespace pictavo::platform
