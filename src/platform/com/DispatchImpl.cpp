#include "platform/com/DispatchImpl.h"

#include "platform/com/NameCompare.h"

#include <cstring>
#include <vector>

namespace pictavo::platform {

namespace {

bool isRetval(const TypeParam& p)
{
    return p.flags & PARAMFLAG_FRETVAL;
}
bool isOut(const TypeParam& p)
{
    return p.flags & PARAMFLAG_FOUT;
}
bool isIn(const TypeParam& p)
{
    return (p.flags & PARAMFLAG_FIN) || !(p.flags & PARAMFLAG_FOUT);
}

// The parameters the caller passes: all but a retval.
std::vector<const TypeParam*> passedParams(const TypeMember& m)
{
    std::vector<const TypeParam*> out;
    for (const TypeParam& p : m.params)
        if (!isRetval(p))
            out.push_back(&p);
    return out;
}

bool hasRetval(const TypeMember& m)
{
    for (const TypeParam& p : m.params)
        if (isRetval(p))
            return true;
    return false;
}

const TypeMember* resolve(const TypeInterface& type, DISPID id, WORD flags)
{
    const TypeMember* m = nullptr;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (flags & DISPATCH_PROPERTYPUTREF)
            m = type.findMember(id, DISPATCH_PROPERTYPUTREF);
        if (!m && (flags & DISPATCH_PROPERTYPUT))
            m = type.findMember(id, DISPATCH_PROPERTYPUT);
        return m;
    }
    if (flags & DISPATCH_METHOD)
        m = type.findMember(id, DISPATCH_METHOD);
    if (!m && (flags & DISPATCH_PROPERTYGET))
        m = type.findMember(id, DISPATCH_PROPERTYGET);
    return m;
}

// Writes value (already of the referenced type) through the caller's reference.
HRESULT storeThrough(VARIANT& ref, VARIANT& value)
{
    VARTYPE target = ref.vt & ~VT_BYREF;
    if (target == VT_VARIANT) {
        if (HRESULT hr = VariantClear(ref.pvarVal); FAILED(hr))
            return hr;
        *ref.pvarVal = value;
        VariantInit(&value);
        return S_OK;
    }
    if (HRESULT hr = VariantChangeType(&value, &value, 0, target); FAILED(hr))
        return hr;
    if (target & VT_ARRAY) {
        SafeArrayDestroy(*ref.pparray);
        *ref.pparray = value.parray;
    } else {
        switch (target) {
        case VT_BSTR:
            SysFreeString(*ref.pbstrVal);
            *ref.pbstrVal = value.bstrVal;
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (*ref.ppunkVal)
                (*ref.ppunkVal)->Release();
            *ref.ppunkVal = value.punkVal;
            break;
        case VT_I1:
        case VT_UI1:
            *ref.pbVal = value.bVal;
            break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            *ref.piVal = value.iVal;
            break;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_DATE:
        case VT_CY:
            std::memcpy(ref.byref, &value.llVal, 8);
            break;
        default:
            std::memcpy(ref.byref, &value.lVal, 4);
            break;
        }
    }
    VariantInit(&value); // ownership moved to the caller's storage
    return S_OK;
}

struct ArgsGuard
{
    std::vector<VARIANT> args;
    ~ArgsGuard()
    {
        for (VARIANT& v : args)
            VariantClear(&v);
    }
};

} // namespace

DispatchImpl::DispatchImpl(const TypeInterface& type, Invoker invoker)
    : m_type(type), m_invoker(std::move(invoker))
{}

HRESULT DispatchImpl::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_INVALIDARG;
    *count = 0;
    return S_OK;
}

HRESULT DispatchImpl::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT DispatchImpl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    const TypeMember* member = m_type.findMember(names[0]);
    if (!member)
        return DISP_E_UNKNOWNNAME;
    ids[0] = member->id;
    HRESULT hr = S_OK;
    std::vector<const TypeParam*> params = passedParams(*member);
    for (UINT i = 1; i < count; ++i) {
        for (size_t p = 0; p < params.size(); ++p)
            if (namesEqual(params[p]->name, names[i]))
                ids[i] = static_cast<DISPID>(p);
        if (ids[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchImpl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* excepInfo, UINT* argErr)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs) ||
        params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    const TypeMember* member = resolve(m_type, id, flags);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    WORD kind = static_cast<WORD>(member->kind);
    bool put = kind & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);

    std::vector<const TypeParam*> declared = passedParams(*member);
    const UINT n = static_cast<UINT>(declared.size());
    const UINT named = params->cNamedArgs;
    const UINT positional = params->cArgs - named;
    constexpr UINT kUnset = ~0u;
    std::vector<UINT> source(n, kUnset); // declaration slot -> index in rgvarg

    if (put) {
        // The assigned value is the one named DISPID_PROPERTYPUT argument, always the last parameter.
        if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTFOUND;
        if (n == 0 || positional > n - 1)
            return DISP_E_BADPARAMCOUNT;
        source[n - 1] = 0;
    } else {
        if (positional > n)
            return DISP_E_BADPARAMCOUNT;
        for (UINT i = 0; i < named; ++i) {
            DISPID slot = params->rgdispidNamedArgs[i];
            if (slot < 0 || static_cast<UINT>(slot) >= n || static_cast<UINT>(slot) < positional ||
                source[slot] != kUnset) {
                if (argErr)
                    *argErr = i;
                return slot < 0 ? DISP_E_NONAMEDARGS : DISP_E_PARAMNOTFOUND;
            }
            source[slot] = i;
        }
    }
    for (UINT j = 0; j < positional; ++j)
        source[j] = params->cArgs - 1 - j;

    ArgsGuard guard;
    guard.args.resize(n);
    for (VARIANT& v : guard.args)
        VariantInit(&v);
    for (UINT slot = 0; slot < n; ++slot) {
        const TypeParam& p = *declared[slot];
        if (source[slot] == kUnset) {
            if (p.flags & PARAMFLAG_FOPT) {
                guard.args[slot].vt = VT_ERROR;
                guard.args[slot].scode = DISP_E_PARAMNOTFOUND;
                continue;
            }
            return named ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
        }
        VARIANT& given = params->rgvarg[source[slot]];
        HRESULT hr = S_OK;
        if (isOut(p) && !(given.vt & VT_BYREF))
            hr = DISP_E_TYPEMISMATCH;
        else if (isIn(p) && p.type == VT_VARIANT)
            hr = VariantCopyInd(&guard.args[slot], &given);
        else if (isIn(p))
            hr = VariantChangeType(&guard.args[slot], &given, 0, p.type);
        if (FAILED(hr)) {
            if (argErr)
                *argErr = source[slot];
            return hr;
        }
    }

    VARIANT ret;
    VariantInit(&ret);
    HRESULT hr = m_invoker(member->id, kind, guard.args.data(), n, &ret);
    if (FAILED(hr)) {
        VariantClear(&ret);
        if (excepInfo && HRESULT_FACILITY(hr) != FACILITY_DISPATCH) {
            std::memset(excepInfo, 0, sizeof *excepInfo);
            excepInfo->scode = hr;
            return DISP_E_EXCEPTION;
        }
        return hr;
    }
    for (UINT slot = 0; slot < n; ++slot) {
        if (!isOut(*declared[slot]) || source[slot] == kUnset)
            continue;
        if (HRESULT stored = storeThrough(params->rgvarg[source[slot]], guard.args[slot]); FAILED(stored)) {
            if (argErr)
                *argErr = source[slot];
            VariantClear(&ret);
            return stored;
        }
    }
    if (result && hasRetval(*member)) {
        VariantClear(result);
        *result = ret;
    } else {
        VariantClear(&ret);
    }
    return hr;
}

} // namespace pictavo::platform
