#pragma once

// IDispatch, IDispatchEx and IServiceProvider.

#include "platform/com/OleAuto.h"

using DISPID = LONG;
using MEMBERID = DISPID;

inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;
inline constexpr DISPID DISPID_EVALUATE = -5;
inline constexpr DISPID DISPID_CONSTRUCTOR = -6;
inline constexpr DISPID DISPID_DESTRUCTOR = -7;
inline constexpr DISPID DISPID_THIS = -613;
inline constexpr DISPID DISPID_STARTENUM = DISPID_UNKNOWN;

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
inline constexpr WORD DISPATCH_CONSTRUCT = 0x4000;

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x400;
inline constexpr LCID LOCALE_NEUTRAL = 0;

// rgvarg holds the arguments last-first, as COM passes them.
struct DISPPARAMS
{
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO
{
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

struct ITypeInfo; // no type information objects exist; GetTypeInfo answers E_NOTIMPL

struct IDispatch : IUnknown
{
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excepInfo, UINT* argErr) = 0;

protected:
    ~IDispatch() = default;
};
using LPDISPATCH = IDispatch*;
PICTAVO_DECLARE_IID(IDispatch, IID_IDispatch)

struct IServiceProvider : IUnknown
{
    virtual HRESULT QueryService(REFGUID service, REFIID riid, void** object) = 0;

protected:
    ~IServiceProvider() = default;
};
PICTAVO_DECLARE_IID(IServiceProvider, IID_IServiceProvider)

inline constexpr DWORD fdexNameCaseSensitive = 0x1;
inline constexpr DWORD fdexNameEnsure = 0x2;
inline constexpr DWORD fdexNameImplicit = 0x4;
inline constexpr DWORD fdexNameCaseInsensitive = 0x8;
inline constexpr DWORD fdexEnumDefault = 0x1;
inline constexpr DWORD fdexEnumAll = 0x2;

struct IDispatchEx : IDispatch
{
    virtual HRESULT GetDispID(BSTR name, DWORD flags, DISPID* id) = 0;
    virtual HRESULT InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* excepInfo, IServiceProvider* caller) = 0;
    virtual HRESULT DeleteMemberByName(BSTR name, DWORD flags) = 0;
    virtual HRESULT DeleteMemberByDispID(DISPID id) = 0;
    virtual HRESULT GetMemberProperties(DISPID id, DWORD fetch, DWORD* properties) = 0;
    virtual HRESULT GetMemberName(DISPID id, BSTR* name) = 0;
    virtual HRESULT GetNextDispID(DWORD flags, DISPID id, DISPID* next) = 0;
    virtual HRESULT GetNameSpaceParent(IUnknown** parent) = 0;

protected:
    ~IDispatchEx() = default;
};
PICTAVO_DECLARE_IID(IDispatchEx, IID_IDispatchEx)
