#pragma once

// IUnknown and IClassFactory, and the way code names an interface's IID: iidOf<I>().

#include "platform/com/Guid.h"

// Declared, never defined: every interface gets a specialisation through PICTAVO_DECLARE_IID.
template <class Interface> const IID& iidOf();

// Use at global scope, after the interface: PICTAVO_DECLARE_IID(IPictavo, IID_IPictavo).
#define PICTAVO_DECLARE_IID(Interface, iidValue)                                                             \
    template <> inline const IID& iidOf<Interface>()                                                         \
    {                                                                                                        \
        return iidValue;                                                                                     \
    }

struct IUnknown
{
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;
PICTAVO_DECLARE_IID(IUnknown, IID_IUnknown)

struct IClassFactory : IUnknown
{
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};
PICTAVO_DECLARE_IID(IClassFactory, IID_IClassFactory)
