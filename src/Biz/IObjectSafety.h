#pragma once

#include "platform/com/Unknown.h"

constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x1;
constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x2;

struct IObjectSafety : public IUnknown
{
    virtual HRESULT GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) = 0;
    virtual HRESULT SetInterfaceSafetyOptions(REFIID riid, DWORD optionSetMask, DWORD enabledOptions) = 0;

protected:
    ~IObjectSafety() = default;
};
PICTAVO_DECLARE_IID(IObjectSafety, IID_IObjectSafety)
