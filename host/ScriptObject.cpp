#include "ScriptObject.h"

#include "ScriptString.h"
#include "ValueBridge.h"

#include "platform/kernel/Message.h"
#include "platform/kernel/Synch.h"

#include <vector>

namespace pictavo::host {

namespace {

constexpr DISPID kFirstNamedId = 1000;

ValueBridge* bridgeOf(const std::shared_ptr<BridgeLink>& link)
{
    std::lock_guard lock(link->mutex);
    return link->bridge;
}

// duk_safe_call bodies: they may throw (getters, setters), so they hold no C++ objects.
duk_ret_t getProperty(duk_context* ctx, void*)
{
    duk_get_prop(ctx, -2); // [object key] -> [object value]
    return 1;
}

duk_ret_t putProperty(duk_context* ctx, void*)
{
    duk_put_prop(ctx, -3); // [object key value] -> [object]
    return 0;
}

duk_ret_t deleteProperty(duk_context* ctx, void*)
{
    duk_del_prop(ctx, -2);
    return 0;
}

duk_ret_t toText(duk_context* ctx, void*)
{
    duk_to_string(ctx, -1);
    return 1;
}

} // namespace

ScriptObject::ScriptObject(std::shared_ptr<BridgeLink> link, unsigned long long id, void* heapPtr)
    : m_link(std::move(link)), m_id(id), m_heapPtr(heapPtr)
{}

bool ScriptObject::tryAddRef()
{
    ULONG refs = m_refs.load(std::memory_order_relaxed);
    while (refs != 0) {
        if (m_refs.compare_exchange_weak(refs, refs + 1, std::memory_order_relaxed))
            return true;
    }
    return false;
}

HRESULT ScriptObject::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IDispatchEx) || IsEqualIID(riid, IID_IScriptObject)) {
        *object = static_cast<IDispatchEx*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ScriptObject::AddRef()
{
    return m_refs.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG ScriptObject::Release()
{
    ULONG left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left != 0)
        return left;
    std::unique_lock lock(m_link->mutex);
    ValueBridge* bridge = m_link->bridge;
    if (!bridge) {
        lock.unlock();
        delete this;
        return 0;
    }
    if (GetCurrentThreadId() == bridge->threadId()) {
        lock.unlock();
        bridge->dropWrapper(this);
        return 0;
    }
    // The script heap belongs to the host thread: leave the wrapper for it to free.
    m_link->released.push_back(this);
    DWORD owner = bridge->threadId();
    lock.unlock();
    PostThreadMessageW(owner, WM_NULL, 0, 0);
    return 0;
}

HRESULT ScriptObject::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT ScriptObject::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT ScriptObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids)
        return E_POINTER;
    for (UINT i = 0; i < count; ++i) {
        HRESULT hr = GetDispID(names[i], 0, &ids[i]);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT ScriptObject::Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* excepInfo, UINT*)
{
    return InvokeEx(id, lcid, flags, params, result, excepInfo, nullptr);
}

DISPID ScriptObject::dispIdFor(const std::u16string& name)
{
    auto found = m_ids.find(name);
    if (found != m_ids.end())
        return found->second;
    auto id = static_cast<DISPID>(kFirstNamedId + m_ids.size());
    m_ids.emplace(name, id);
    m_names.emplace(id, name);
    return id;
}

HRESULT ScriptObject::GetDispID(BSTR name, DWORD, DISPID* id)
{
    if (!id)
        return E_POINTER;
    *id = DISPID_UNKNOWN;
    ValueBridge* bridge = bridgeOf(m_link);
    if (!bridge)
        return E_UNEXPECTED;
    if (GetCurrentThreadId() != bridge->threadId())
        return RPC_E_WRONG_THREAD;
    if (!name)
        return DISP_E_UNKNOWNNAME;
    *id = dispIdFor(std::u16string(name, SysStringLen(name)));
    return S_OK;
}

HRESULT ScriptObject::InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* excepInfo, IServiceProvider*)
{
    ValueBridge* bridge = bridgeOf(m_link);
    if (!bridge)
        return E_UNEXPECTED;
    if (GetCurrentThreadId() != bridge->threadId())
        return RPC_E_WRONG_THREAD;
    DISPPARAMS empty{nullptr, nullptr, 0, 0};
    if (!params)
        params = &empty;
    if (result)
        VariantInit(result);

    std::u16string name;
    if (id != DISPID_VALUE) {
        auto found = m_names.find(id);
        if (found == m_names.end())
            return DISP_E_MEMBERNOTFOUND;
        name = found->second;
    }

    AddRef(); // script run below may drop every other reference
    duk_context* ctx = bridge->context();
    duk_idx_t base = duk_get_top(ctx);
    bridge->pushWrapped(ctx, m_id);
    HRESULT hr = S_OK;
    duk_int_t rc = DUK_EXEC_SUCCESS;

    if (flags & DISPATCH_METHOD) {
        if (id == DISPID_VALUE) {
            duk_dup_top(ctx);
            duk_push_undefined(ctx);
        } else {
            duk_dup(ctx, base);
            ScriptString::push(ctx, name);
            rc = duk_safe_call(ctx, getProperty, nullptr, 2, 1);
            if (rc == DUK_EXEC_SUCCESS)
                duk_dup(ctx, base); // [object function object]: the function and its this
        }
        if (rc == DUK_EXEC_SUCCESS && !duk_is_callable(ctx, -2)) {
            hr = DISP_E_MEMBERNOTFOUND;
        } else if (rc == DUK_EXEC_SUCCESS) {
            // Named arguments (DISPID_THIS) come first in rgvarg; script has no use for them.
            UINT named = params->cNamedArgs < params->cArgs ? params->cNamedArgs : params->cArgs;
            for (UINT i = params->cArgs; i > named; --i)
                bridge->pushVariant(ctx, params->rgvarg[i - 1]);
            rc = duk_pcall_method(ctx, static_cast<duk_idx_t>(params->cArgs - named));
        }
    } else if (flags & DISPATCH_PROPERTYGET) {
        if (id == DISPID_VALUE) {
            duk_dup_top(ctx);
            rc = duk_safe_call(ctx, toText, nullptr, 1, 1);
        } else {
            duk_dup_top(ctx);
            ScriptString::push(ctx, name);
            rc = duk_safe_call(ctx, getProperty, nullptr, 2, 1);
        }
    } else if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (id == DISPID_VALUE || params->cArgs != 1) {
            hr = id == DISPID_VALUE ? DISP_E_MEMBERNOTFOUND : DISP_E_BADPARAMCOUNT;
        } else {
            duk_dup_top(ctx);
            ScriptString::push(ctx, name);
            bridge->pushVariant(ctx, params->rgvarg[0]);
            rc = duk_safe_call(ctx, putProperty, nullptr, 3, 1);
        }
    } else {
        hr = DISP_E_MEMBERNOTFOUND;
    }

    if (rc != DUK_EXEC_SUCCESS && ValueBridge::isStopError(ctx, -1)) {
        hr = S_OK; // host.exit: the call itself went well
    } else if (rc != DUK_EXEC_SUCCESS) {
        hr = DISP_E_EXCEPTION;
        if (excepInfo) {
            *excepInfo = EXCEPINFO{};
            duk_dup_top(ctx);
            duk_safe_call(ctx, toText, nullptr, 1, 1);
            std::u16string text = ScriptString::get(ctx, -1);
            duk_pop(ctx);
            excepInfo->bstrDescription = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            excepInfo->scode = DISP_E_EXCEPTION;
        }
        const bool conversion =
            id == DISPID_VALUE && (flags & DISPATCH_PROPERTYGET) && !(flags & DISPATCH_METHOD);
        if (conversion && bridge->inCall())
            bridge->holdError(ctx);
        else if (bridge->onCallbackError)
            bridge->onCallbackError(ctx);
    } else if (SUCCEEDED(hr) && result && !(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
        hr = bridge->toVariant(ctx, -1, result);
    }
    duk_set_top(ctx, base);
    // A call sent from another thread runs inside the pump's wait, which does not return for
    // it: a message makes the pump look at what the script did (host.exit, new timers).
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
    Release();
    return hr;
}

HRESULT ScriptObject::DeleteMemberByName(BSTR name, DWORD)
{
    ValueBridge* bridge = bridgeOf(m_link);
    if (!bridge)
        return E_UNEXPECTED;
    if (GetCurrentThreadId() != bridge->threadId())
        return RPC_E_WRONG_THREAD;
    duk_context* ctx = bridge->context();
    duk_idx_t base = duk_get_top(ctx);
    bridge->pushWrapped(ctx, m_id);
    ScriptString::push(ctx, std::u16string(name ? name : u"", name ? SysStringLen(name) : 0));
    duk_int_t rc = duk_safe_call(ctx, deleteProperty, nullptr, 2, 0);
    duk_set_top(ctx, base);
    return rc == DUK_EXEC_SUCCESS ? S_OK : S_FALSE;
}

HRESULT ScriptObject::DeleteMemberByDispID(DISPID id)
{
    auto found = m_names.find(id);
    if (found == m_names.end())
        return S_FALSE;
    std::u16string name = found->second;
    BSTR text = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
    HRESULT hr = DeleteMemberByName(text, 0);
    SysFreeString(text);
    return hr;
}

HRESULT ScriptObject::GetMemberProperties(DISPID, DWORD, DWORD* properties)
{
    if (properties)
        *properties = 0;
    return E_NOTIMPL;
}

HRESULT ScriptObject::GetMemberName(DISPID id, BSTR* name)
{
    if (!name)
        return E_POINTER;
    *name = nullptr;
    ValueBridge* bridge = bridgeOf(m_link);
    if (!bridge || GetCurrentThreadId() != bridge->threadId())
        return RPC_E_WRONG_THREAD;
    auto found = m_names.find(id);
    if (found == m_names.end())
        return DISP_E_MEMBERNOTFOUND;
    *name = SysAllocStringLen(found->second.data(), static_cast<UINT>(found->second.size()));
    return S_OK;
}

HRESULT ScriptObject::GetNextDispID(DWORD, DISPID, DISPID* next)
{
    if (next)
        *next = DISPID_UNKNOWN;
    return E_NOTIMPL;
}

HRESULT ScriptObject::GetNameSpaceParent(IUnknown** parent)
{
    if (parent)
        *parent = nullptr;
    return E_NOTIMPL;
}

} // namespace pictavo::host
