#pragma once

// GUIDs as COM lays them out, with the identities of the standard interfaces.

#include "platform/com/HResult.h"
#include "platform/kernel/Strings.h"

struct GUID
{
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

constexpr bool InlineIsEqualGUID(REFGUID a, REFGUID b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}
constexpr bool IsEqualGUID(REFGUID a, REFGUID b)
{
    return InlineIsEqualGUID(a, b);
}
constexpr bool IsEqualIID(REFIID a, REFIID b)
{
    return InlineIsEqualGUID(a, b);
}
constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b)
{
    return InlineIsEqualGUID(a, b);
}
constexpr bool operator==(REFGUID a, REFGUID b)
{
    return InlineIsEqualGUID(a, b);
}

// Writes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper case); returns the characters written
// including the terminator (39), or 0 when cchMax is too small.
int StringFromGUID2(REFGUID guid, LPOLESTR out, int cchMax);
// Accept the braced form in any case; anything else is CO_E_CLASSSTRING / E_INVALIDARG.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
HRESULT IIDFromString(LPCOLESTR text, IID* iid);

namespace pictavo::platform {

namespace detail {
consteval int hexDigit(char c)
{
    const int value = hexDigitValue(static_cast<unsigned char>(c));
    if (value < 0)
        throw "not a hex digit"; // compile-time error only
    return value;
}
consteval unsigned long long hexField(const char* s, int first, int count)
{
    unsigned long long v = 0;
    for (int i = 0; i < count; ++i)
        v = v * 16 + hexDigit(s[first + i]);
    return v;
}
} // namespace detail

// makeGuid("0C58D11A-7A83-4F45-9BDA-AA99BFE98F03"): the registry form without braces.
consteval GUID makeGuid(const char (&s)[37])
{
    if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
        throw "malformed GUID";
    GUID g{};
    g.Data1 = static_cast<DWORD>(detail::hexField(s, 0, 8));
    g.Data2 = static_cast<WORD>(detail::hexField(s, 9, 4));
    g.Data3 = static_cast<WORD>(detail::hexField(s, 14, 4));
    g.Data4[0] = static_cast<BYTE>(detail::hexField(s, 19, 2));
    g.Data4[1] = static_cast<BYTE>(detail::hexField(s, 21, 2));
    for (int i = 0; i < 6; ++i)
        g.Data4[2 + i] = static_cast<BYTE>(detail::hexField(s, 24 + 2 * i, 2));
    return g;
}

} // namespace pictavo::platform

inline constexpr GUID GUID_NULL{};
inline constexpr IID IID_NULL{};
inline constexpr CLSID CLSID_NULL{};

#define PICTAVO_GUID(name, text) inline constexpr GUID name = ::pictavo::platform::makeGuid(text)

PICTAVO_GUID(IID_IUnknown, "00000000-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IClassFactory, "00000001-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IMarshal, "00000003-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IPersistStorage, "0000010A-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IPersist, "0000010C-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IViewObject, "0000010D-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IDataObject, "0000010E-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IOleObject, "00000112-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IOleInPlaceObject, "00000113-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IOleWindow, "00000114-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IOleInPlaceActiveObject, "00000117-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IDropSource, "00000121-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IDropTarget, "00000122-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IViewObject2, "00000127-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IGlobalInterfaceTable, "00000146-0000-0000-C000-000000000046");
PICTAVO_GUID(CLSID_StdGlobalInterfaceTable, "00000323-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IDispatch, "00020400-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_ITypeInfo, "00020401-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_ITypeLib, "00020402-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IDispatchEx, "A6EF9860-C720-11D0-9337-00A0C90DCAA9");
PICTAVO_GUID(IID_IServiceProvider, "6D5140C1-7436-11CE-8034-00AA006009FA");
PICTAVO_GUID(IID_IObjectSafety, "CB5BDC81-93C1-11CF-8F20-00805F2CD064");
PICTAVO_GUID(IID_ISupportErrorInfo, "DF0B3D60-548F-101B-8E65-08002B2BD119");
PICTAVO_GUID(IID_ISpecifyPropertyPages, "B196B28B-BAB4-101A-B69C-00AA00341D07");
PICTAVO_GUID(IID_IPersistStreamInit, "7FD52380-4E07-101B-AE2D-08002B2EC713");
PICTAVO_GUID(IID_IProvideClassInfo, "B196B283-BAB4-101A-B69C-00AA00341D07");
PICTAVO_GUID(IID_IProvideClassInfo2, "A6BC3AC0-DBAA-11CE-9DE3-00AA004BB851");
PICTAVO_GUID(IID_IOleControl, "B196B288-BAB4-101A-B69C-00AA00341D07");
PICTAVO_GUID(IID_IOleInPlaceObjectWindowless, "1C2056CC-5EF4-101B-8BC8-00AA003E3B29");
PICTAVO_GUID(IID_IViewObjectEx, "3AF24292-0C96-11CE-A0CF-00AA00600AB8");
PICTAVO_GUID(IID_IQuickActivate, "CF51ED10-62FE-11CF-BF86-00A0C9034836");
