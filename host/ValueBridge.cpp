#include "ValueBridge.h"

#include "ComObjectProxy.h"
#include "ScriptObject.h"
#include "ScriptString.h"
#include "VBArray.h"

#include "platform/com/HResult.h"
#include "platform/kernel/Synch.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace pictavo::host {

namespace {

const char* const kBridge = DUK_HIDDEN_SYMBOL("bridge");
const char* const kWrapped = DUK_HIDDEN_SYMBOL("wrapped");
const char* const kStopMarker = DUK_HIDDEN_SYMBOL("pageStop");
const char* const kHeldError = DUK_HIDDEN_SYMBOL("heldError");

// A SAFEARRAY is in-process data, but a damaged bound must not make us allocate without end.
constexpr uint64_t kMaxArrayElements = 1u << 24;
constexpr UINT kMaxDimensions = 32;

std::string keyOf(unsigned long long id)
{
    return std::to_string(id);
}

bool scalarElement(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
    case VT_ERROR:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return true;
    default:
        return false;
    }
}

} // namespace

ValueBridge::ValueBridge(duk_context* ctx)
    : m_ctx(ctx), m_threadId(GetCurrentThreadId()), m_link(std::make_shared<BridgeLink>())
{
    m_link->bridge = this;
    duk_push_global_stash(ctx);
    duk_push_pointer(ctx, this);
    duk_put_prop_string(ctx, -2, kBridge);
    duk_push_object(ctx);
    duk_put_prop_string(ctx, -2, kWrapped);
    duk_pop(ctx);
}

ValueBridge::~ValueBridge()
{
    // Releasing a control may free wrappers (and through them proxies) as we go: take one at a time.
    while (!m_foreign.empty()) {
        ForeignObject* object = *m_foreign.begin();
        m_foreign.erase(m_foreign.begin());
        IDispatch* dispatch = object->dispatch;
        object->dispatch = nullptr;
        if (dispatch)
            dispatch->Release();
    }
    collect();
    {
        std::lock_guard lock(m_link->mutex);
        m_link->bridge = nullptr;
        for (ScriptObject* wrapper : m_link->released)
            wrapper->destroy();
        m_link->released.clear();
    }
    duk_push_global_stash(m_ctx);
    duk_push_pointer(m_ctx, nullptr);
    duk_put_prop_string(m_ctx, -2, kBridge);
    duk_pop(m_ctx);
}

ValueBridge* ValueBridge::from(duk_context* ctx)
{
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kBridge);
    auto* bridge = static_cast<ValueBridge*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return bridge;
}

HRESULT ValueBridge::toVariant(duk_context* ctx, duk_idx_t idx, VARIANT* out)
{
    idx = duk_normalize_index(ctx, idx);
    VariantInit(out);
    switch (duk_get_type(ctx, idx)) {
    case DUK_TYPE_NONE:
    case DUK_TYPE_UNDEFINED:
        return S_OK;
    case DUK_TYPE_NULL:
        out->vt = VT_NULL;
        return S_OK;
    case DUK_TYPE_BOOLEAN:
        out->vt = VT_BOOL;
        out->boolVal = duk_get_boolean(ctx, idx) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case DUK_TYPE_NUMBER: {
        double d = duk_get_number(ctx, idx);
        if (std::trunc(d) == d && d >= std::numeric_limits<int32_t>::min() &&
            d <= std::numeric_limits<int32_t>::max()) {
            out->vt = VT_I4;
            out->lVal = static_cast<LONG>(d);
        } else {
            out->vt = VT_R8;
            out->dblVal = d;
        }
        return S_OK;
    }
    case DUK_TYPE_STRING: {
        if (duk_is_symbol(ctx, idx))
            return DISP_E_TYPEMISMATCH;
        std::u16string text = ScriptString::get(ctx, idx);
        BSTR bstr = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!bstr)
            return E_OUTOFMEMORY;
        out->vt = VT_BSTR;
        out->bstrVal = bstr;
        return S_OK;
    }
    case DUK_TYPE_OBJECT:
        if (IDispatch* dispatch = ComObjectProxy::dispatchOf(ctx, idx)) {
            dispatch->AddRef();
            out->vt = VT_DISPATCH;
            out->pdispVal = dispatch;
            return S_OK;
        }
        if (VBArray::is(ctx, idx))
            return arrayToVariant(ctx, idx, out);
        return wrapObject(ctx, idx, out);
    case DUK_TYPE_BUFFER:
        return wrapObject(ctx, idx, out);
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ValueBridge::wrapObject(duk_context* ctx, duk_idx_t idx, VARIANT* out)
{
    void* heapPtr = duk_get_heapptr(ctx, idx);
    if (!heapPtr)
        return DISP_E_TYPEMISMATCH;
    ScriptObject* wrapper = nullptr;
    auto found = m_wrappers.find(heapPtr);
    if (found != m_wrappers.end() && found->second->tryAddRef()) {
        wrapper = found->second;
    } else {
        unsigned long long id = m_nextId++;
        duk_push_global_stash(ctx);
        duk_get_prop_string(ctx, -1, kWrapped);
        duk_dup(ctx, idx);
        duk_put_prop_string(ctx, -2, keyOf(id).c_str());
        duk_pop_2(ctx);
        wrapper = new ScriptObject(m_link, id, heapPtr);
        m_wrappers[heapPtr] = wrapper; // a dying wrapper of the same object drops itself later
    }
    out->vt = VT_DISPATCH;
    out->pdispVal = wrapper;
    return S_OK;
}

HRESULT ValueBridge::arrayToVariant(duk_context* ctx, duk_idx_t idx, VARIANT* out)
{
    VBArray::pushItems(ctx, idx);
    duk_idx_t items = duk_get_top_index(ctx);
    std::vector<SAFEARRAYBOUND> bounds;
    if (duk_get_prop_string(ctx, items, VBArray::kBounds) && duk_is_array(ctx, -1)) {
        duk_size_t dims = duk_get_length(ctx, -1);
        for (duk_size_t d = 0; d < dims && d < kMaxDimensions; ++d) {
            duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(d));
            duk_get_prop_index(ctx, -1, 0);
            duk_get_prop_index(ctx, -2, 1);
            bounds.push_back(
                {static_cast<ULONG>(duk_get_uint(ctx, -1)), static_cast<LONG>(duk_get_int(ctx, -2))});
            duk_pop_3(ctx);
        }
    }
    duk_pop(ctx);
    duk_size_t length = duk_get_length(ctx, items);
    uint64_t total = bounds.empty() ? 0 : 1;
    for (const auto& b : bounds)
        total *= b.cElements;
    if (bounds.empty() || total != length) {
        bounds.assign(1, SAFEARRAYBOUND{static_cast<ULONG>(length), 0});
        total = length;
    }
    if (total > kMaxArrayElements) {
        duk_pop(ctx);
        return E_OUTOFMEMORY;
    }
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, static_cast<UINT>(bounds.size()), bounds.data());
    if (!array) {
        duk_pop(ctx);
        return E_OUTOFMEMORY;
    }
    std::vector<LONG> index(bounds.size());
    for (size_t d = 0; d < bounds.size(); ++d)
        index[d] = bounds[d].lLbound;
    HRESULT hr = S_OK;
    for (uint64_t i = 0; i < total && SUCCEEDED(hr); ++i) {
        duk_get_prop_index(ctx, items, static_cast<duk_uarridx_t>(i));
        VARIANT element;
        hr = toVariant(ctx, -1, &element);
        duk_pop(ctx);
        if (SUCCEEDED(hr))
            hr = SafeArrayPutElement(array, index.data(), &element);
        VariantClear(&element);
        for (size_t d = 0; d < bounds.size(); ++d) {
            if (++index[d] < bounds[d].lLbound + static_cast<LONG>(bounds[d].cElements))
                break;
            index[d] = bounds[d].lLbound;
        }
    }
    duk_pop(ctx);
    if (FAILED(hr)) {
        SafeArrayDestroy(array);
        return hr;
    }
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array;
    return S_OK;
}

void ValueBridge::pushVariant(duk_context* ctx, const VARIANT& value)
{
    if (value.vt & VT_BYREF) {
        VARIANT plain;
        VariantInit(&plain);
        if (SUCCEEDED(VariantCopyInd(&plain, &value)) && !(plain.vt & VT_BYREF))
            pushVariant(ctx, plain);
        else
            duk_push_undefined(ctx);
        VariantClear(&plain);
        return;
    }
    if (value.vt & VT_ARRAY) {
        pushSafeArray(ctx, value.parray);
        return;
    }
    switch (value.vt) {
    case VT_NULL:
        duk_push_null(ctx);
        return;
    case VT_BOOL:
        duk_push_boolean(ctx, value.boolVal != VARIANT_FALSE);
        return;
    case VT_I1:
        duk_push_int(ctx, value.cVal);
        return;
    case VT_I2:
        duk_push_int(ctx, value.iVal);
        return;
    case VT_I4:
        duk_push_int(ctx, value.lVal);
        return;
    case VT_INT:
        duk_push_int(ctx, value.intVal);
        return;
    case VT_UI1:
        duk_push_uint(ctx, value.bVal);
        return;
    case VT_UI2:
        duk_push_uint(ctx, value.uiVal);
        return;
    case VT_UI4:
        duk_push_uint(ctx, value.ulVal);
        return;
    case VT_UINT:
        duk_push_uint(ctx, value.uintVal);
        return;
    case VT_I8:
        duk_push_number(ctx, static_cast<double>(value.llVal));
        return;
    case VT_UI8:
        duk_push_number(ctx, static_cast<double>(value.ullVal));
        return;
    case VT_R4:
        duk_push_number(ctx, value.fltVal);
        return;
    case VT_R8:
        duk_push_number(ctx, value.dblVal);
        return;
    case VT_DATE:
        duk_push_number(ctx, value.date);
        return;
    case VT_CY:
        duk_push_number(ctx, static_cast<double>(value.cyVal.int64) / 10000.0);
        return;
    case VT_BSTR:
        ScriptString::push(
            ctx, std::u16string_view(value.bstrVal ? value.bstrVal : u"", SysStringLen(value.bstrVal)));
        return;
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* unknown = value.vt == VT_DISPATCH ? static_cast<IUnknown*>(value.pdispVal) : value.punkVal;
        if (!unknown) {
            duk_push_null(ctx);
            return;
        }
        ScriptObject* own = nullptr;
        if (SUCCEEDED(unknown->QueryInterface(IID_IScriptObject, reinterpret_cast<void**>(&own)))) {
            bool ours = own->link() == m_link.get();
            if (ours)
                pushWrapped(ctx, own->id());
            own->Release();
            if (ours)
                return;
        }
        IDispatch* dispatch = nullptr;
        if (SUCCEEDED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) &&
            dispatch)
            ComObjectProxy::push(ctx, dispatch);
        else
            duk_push_null(ctx);
        return;
    }
    default: // VT_EMPTY, VT_ERROR (a missing argument) and what script has no value for
        duk_push_undefined(ctx);
        return;
    }
}

void ValueBridge::pushSafeArray(duk_context* ctx, SAFEARRAY* array)
{
    UINT dims = array ? SafeArrayGetDim(array) : 0;
    VARTYPE vt = VT_EMPTY;
    if (dims == 0 || dims > kMaxDimensions || FAILED(SafeArrayGetVartype(array, &vt)) ||
        (vt != VT_VARIANT && !scalarElement(vt))) {
        duk_push_array(ctx);
        return;
    }
    std::vector<LONG> lower(dims);
    std::vector<ULONG> count(dims);
    uint64_t total = 1;
    for (UINT d = 0; d < dims; ++d) {
        LONG lo = 0;
        LONG hi = -1;
        SafeArrayGetLBound(array, d + 1, &lo);
        SafeArrayGetUBound(array, d + 1, &hi);
        lower[d] = lo;
        count[d] = hi >= lo ? static_cast<ULONG>(static_cast<int64_t>(hi) - lo + 1) : 0;
        total *= count[d];
        if (total > kMaxArrayElements)
            total = kMaxArrayElements + 1;
    }
    duk_push_array(ctx);
    if (total > kMaxArrayElements)
        return;
    std::vector<LONG> index = lower;
    for (uint64_t i = 0; i < total; ++i) {
        VARIANT element;
        VariantInit(&element);
        HRESULT hr;
        if (vt == VT_VARIANT) {
            hr = SafeArrayGetElement(array, index.data(), &element);
        } else {
            element.vt = vt;
            hr = SafeArrayGetElement(array, index.data(), &element.llVal);
            if (FAILED(hr))
                element.vt = VT_EMPTY;
        }
        if (SUCCEEDED(hr))
            pushVariant(ctx, element);
        else
            duk_push_undefined(ctx);
        VariantClear(&element);
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
        for (UINT d = 0; d < dims; ++d) {
            if (++index[d] < lower[d] + static_cast<LONG>(count[d]))
                break;
            index[d] = lower[d];
        }
    }
    if (dims > 1 || lower[0] != 0) {
        duk_push_array(ctx);
        for (UINT d = 0; d < dims; ++d) {
            duk_push_array(ctx);
            duk_push_int(ctx, lower[d]);
            duk_put_prop_index(ctx, -2, 0);
            duk_push_uint(ctx, count[d]);
            duk_put_prop_index(ctx, -2, 1);
            duk_put_prop_index(ctx, -2, d);
        }
        duk_put_prop_string(ctx, -2, VBArray::kBounds);
    }
}

void ValueBridge::pushStopError(duk_context* ctx)
{
    duk_push_error_object_raw(ctx, DUK_ERR_ERROR, nullptr, 0, "page finished");
    duk_push_true(ctx);
    duk_put_prop_string(ctx, -2, kStopMarker);
}

bool ValueBridge::isStopError(duk_context* ctx, duk_idx_t idx)
{
    if (!duk_is_object(ctx, idx))
        return false;
    duk_get_prop_string(ctx, idx, kStopMarker);
    bool yes = duk_get_boolean(ctx, -1);
    duk_pop(ctx);
    return yes;
}

void ValueBridge::holdError(duk_context* ctx)
{
    if (m_errorHeld)
        return;
    m_errorHeld = true;
    duk_push_global_stash(ctx);
    duk_dup(ctx, -2);
    duk_put_prop_string(ctx, -2, kHeldError);
    duk_pop(ctx);
}

bool ValueBridge::takeHeldError(duk_context* ctx)
{
    if (!m_errorHeld)
        return false;
    m_errorHeld = false;
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kHeldError);
    duk_del_prop_string(ctx, -2, kHeldError);
    duk_remove(ctx, -2);
    return true;
}

void ValueBridge::pushWrapped(duk_context* ctx, unsigned long long id)
{
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kWrapped);
    duk_get_prop_string(ctx, -1, keyOf(id).c_str());
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
}

void ValueBridge::dropWrapper(ScriptObject* wrapper)
{
    auto found = m_wrappers.find(wrapper->heapPtr());
    if (found != m_wrappers.end() && found->second == wrapper)
        m_wrappers.erase(found);
    duk_push_global_stash(m_ctx);
    duk_get_prop_string(m_ctx, -1, kWrapped);
    duk_del_prop_string(m_ctx, -1, keyOf(wrapper->id()).c_str());
    duk_pop_2(m_ctx);
    wrapper->destroy();
}

void ValueBridge::collect()
{
    std::vector<ScriptObject*> released;
    {
        std::lock_guard lock(m_link->mutex);
        released.swap(m_link->released);
    }
    for (ScriptObject* wrapper : released)
        dropWrapper(wrapper);
}

} // namespace pictavo::host
