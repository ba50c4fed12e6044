#include "platform/com/Dispatch.h"

#include <cstring>

namespace {

bool isScalarType(VARTYPE t)
{
    switch (t) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

bool isValidType(VARTYPE vt)
{
    VARTYPE base = vt & VT_TYPEMASK;
    VARTYPE extra = vt & ~VT_TYPEMASK;
    if (extra & ~(VT_ARRAY | VT_BYREF))
        return false;
    if (vt & VT_ARRAY)
        return base == VT_VARIANT || (isScalarType(base) && base != VT_EMPTY && base != VT_NULL);
    if (vt & VT_BYREF)
        return base == VT_VARIANT || (isScalarType(base) && base != VT_EMPTY && base != VT_NULL);
    return isScalarType(base);
}

} // namespace

void VariantInit(VARIANTARG* v)
{
    if (!v)
        return;
    std::memset(v, 0, sizeof *v);
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* v)
{
    if (!v)
        return E_INVALIDARG;
    if (!isValidType(v->vt))
        return DISP_E_BADVARTYPE;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            if (HRESULT hr = SafeArrayDestroy(v->parray); FAILED(hr))
                return hr;
        } else if (v->vt == VT_BSTR) {
            SysFreeString(v->bstrVal);
        } else if ((v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) && v->punkVal) {
            v->punkVal->Release();
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (dest == src)
        return S_OK;
    if (!isValidType(src->vt))
        return DISP_E_BADVARTYPE;
    VARIANT copy = *src;
    if (!(src->vt & VT_BYREF)) {
        if (src->vt & VT_ARRAY) {
            if (HRESULT hr = SafeArrayCopy(src->parray, &copy.parray); FAILED(hr))
                return hr;
        } else if (src->vt == VT_BSTR && src->bstrVal) {
            copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(src->bstrVal),
                                                 SysStringByteLen(src->bstrVal));
            if (!copy.bstrVal)
                return E_OUTOFMEMORY;
        } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal) {
            src->punkVal->AddRef();
        }
    }
    if (HRESULT hr = VariantClear(dest); FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *dest = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANTARG* src)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (!(src->vt & VT_BYREF))
        return VariantCopy(dest, src);
    if (!isValidType(src->vt))
        return DISP_E_BADVARTYPE;
    if (!src->byref)
        return E_INVALIDARG;
    VARTYPE target = src->vt & ~VT_BYREF;
    if (target == VT_VARIANT) {
        // One level only: a reference to a reference is not a value.
        if (src->pvarVal->vt & VT_BYREF)
            return E_INVALIDARG;
        if (src->pvarVal == dest) // copying a variant onto itself changes nothing
            return S_OK;
        return VariantCopy(dest, src->pvarVal);
    }
    VARIANT value;
    VariantInit(&value);
    value.vt = target;
    if (target & VT_ARRAY) {
        value.parray = *src->pparray;
    } else {
        switch (target) {
        case VT_I1:
        case VT_UI1:
            value.bVal = *src->pbVal;
            break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            value.iVal = *src->piVal;
            break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_ERROR:
            value.lVal = *src->plVal;
            break;
        case VT_R4:
            value.fltVal = *src->pfltVal;
            break;
        case VT_R8:
        case VT_DATE:
            value.dblVal = *src->pdblVal;
            break;
        case VT_CY:
            value.cyVal = *src->pcyVal;
            break;
        case VT_I8:
        case VT_UI8:
            value.llVal = *src->pllVal;
            break;
        case VT_BSTR:
            value.bstrVal = *src->pbstrVal;
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            value.punkVal = *src->ppunkVal;
            break;
        default:
            return DISP_E_BADVARTYPE;
        }
    }
    // value borrows the referenced data; VariantCopy makes dest own a copy of it.
    return VariantCopy(dest, &value);
}
