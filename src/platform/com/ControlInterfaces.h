#pragma once

// The small OLE control interfaces a scriptable control answers (ocidl/objsafe on Windows).

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

struct ISupportErrorInfo : public IUnknown
{
    virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

protected:
    ~ISupportErrorInfo() = default;
};
PICTAVO_DECLARE_IID(ISupportErrorInfo, IID_ISupportErrorInfo)

struct CAUUID
{
    ULONG cElems;
    GUID* pElems;
};

struct ISpecifyPropertyPages : public IUnknown
{
    virtual HRESULT GetPages(CAUUID* pages) = 0;

protected:
    ~ISpecifyPropertyPages() = default;
};
PICTAVO_DECLARE_IID(ISpecifyPropertyPages, IID_ISpecifyPropertyPages)
