#include "platform/com/DispatchProxy.h"

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"

#include <vector>

namespace pictavo::platform {

namespace {

struct CopiedArgs
{
    std::vector<VARIANT> args;
    std::vector<DISPID> named;
    DISPPARAMS params{nullptr, nullptr, 0, 0};

    ~CopiedArgs()
    {
        for (VARIANT& v : args)
            VariantClear(&v);
    }

    HRESULT copyFrom(const DISPPARAMS* from)
    {
        if (!from)
            return S_OK;
        if ((from->cArgs && !from->rgvarg) || (from->cNamedArgs && !from->rgdispidNamedArgs) ||
            from->cNamedArgs > from->cArgs)
            return E_INVALIDARG;
        args.resize(from->cArgs);
        for (VARIANT& v : args)
            VariantInit(&v);
        for (UINT i = 0; i < from->cArgs; ++i)
            if (HRESULT hr = VariantCopy(&args[i], &from->rgvarg[i]); FAILED(hr))
                return hr;
        named.assign(from->rgdispidNamedArgs, from->rgdispidNamedArgs + from->cNamedArgs);
        params = {args.data(), named.data(), from->cArgs, from->cNamedArgs};
        return S_OK;
    }
};

} // namespace

DispatchProxy::DispatchProxy(std::shared_ptr<ThreadQueue> owner, IDispatch* target, IDispatchEx* targetEx)
    : m_owner(std::move(owner)), m_target(target), m_targetEx(targetEx)
{}

DispatchProxy::~DispatchProxy()
{
    auto release = [this] {
        m_target->Release();
        if (m_targetEx)
            m_targetEx->Release();
        return S_OK;
    };
    // The object belongs to its thread; once that thread has ended nobody else can run there.
    if (onThread(*m_owner, release) == RPC_E_DISCONNECTED)
        release();
}

HRESULT DispatchProxy::onThread(ThreadQueue& owner, const std::function<HRESULT()>& call)
{
    HRESULT hr = RPC_E_DISCONNECTED;
    if (!owner.send([&] { hr = call(); }, INFINITE))
        return RPC_E_DISCONNECTED;
    return hr;
}

HRESULT DispatchProxy::remote(const std::function<HRESULT()>& call)
{
    return onThread(*m_owner, call);
}

HRESULT DispatchProxy::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        (m_targetEx && IsEqualIID(riid, IID_IDispatchEx)))
        *object = static_cast<IDispatchEx*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG DispatchProxy::AddRef()
{
    return m_refs.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG DispatchProxy::Release()
{
    ULONG left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

HRESULT
DispatchProxy::invokeRemote(const std::function<HRESULT(DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)>& call,
                            DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr)
{
    CopiedArgs copied;
    if (HRESULT hr = copied.copyFrom(params); FAILED(hr))
        return hr;
    VARIANT value;
    VariantInit(&value);
    EXCEPINFO info{};
    UINT err = 0;
    HRESULT hr = remote([&] {
        return call(params ? &copied.params : nullptr, result ? &value : nullptr, excepInfo ? &info : nullptr,
                    argErr ? &err : nullptr);
    });
    if (result) {
        VariantClear(result);
        *result = value;
    }
    if (excepInfo && hr == DISP_E_EXCEPTION)
        *excepInfo = info;
    if (argErr && (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW || hr == DISP_E_PARAMNOTFOUND))
        *argErr = err;
    return hr;
}

HRESULT DispatchProxy::GetTypeInfoCount(UINT* count)
{
    return remote([&] { return m_target->GetTypeInfoCount(count); });
}

HRESULT DispatchProxy::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    return remote([&] { return m_target->GetTypeInfo(index, lcid, info); });
}

HRESULT DispatchProxy::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    return remote([&] { return m_target->GetIDsOfNames(riid, names, count, lcid, ids); });
}

HRESULT DispatchProxy::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr)
{
    return invokeRemote([&](DISPPARAMS* p, VARIANT* r, EXCEPINFO* e,
                            UINT* a) { return m_target->Invoke(id, riid, lcid, flags, p, r, e, a); },
                        params, result, excepInfo, argErr);
}

HRESULT DispatchProxy::GetDispID(BSTR name, DWORD flags, DISPID* id)
{
    return remote([&] { return m_targetEx ? m_targetEx->GetDispID(name, flags, id) : E_NOTIMPL; });
}

HRESULT DispatchProxy::InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* excepInfo, IServiceProvider* caller)
{
    return invokeRemote(
        [&](DISPPARAMS* p, VARIANT* r, EXCEPINFO* e, UINT*) {
            if (!m_targetEx)
                return m_target->Invoke(id, IID_NULL, lcid, flags, p, r, e, nullptr);
            return m_targetEx->InvokeEx(id, lcid, flags, p, r, e, caller);
        },
        params, result, excepInfo, nullptr);
}

HRESULT DispatchProxy::DeleteMemberByName(BSTR name, DWORD flags)
{
    return remote([&] { return m_targetEx ? m_targetEx->DeleteMemberByName(name, flags) : E_NOTIMPL; });
}

HRESULT DispatchProxy::DeleteMemberByDispID(DISPID id)
{
    return remote([&] { return m_targetEx ? m_targetEx->DeleteMemberByDispID(id) : E_NOTIMPL; });
}

HRESULT DispatchProxy::GetMemberProperties(DISPID id, DWORD fetch, DWORD* properties)
{
    return remote(
        [&] { return m_targetEx ? m_targetEx->GetMemberProperties(id, fetch, properties) : E_NOTIMPL; });
}

HRESULT DispatchProxy::GetMemberName(DISPID id, BSTR* name)
{
    return remote([&] { return m_targetEx ? m_targetEx->GetMemberName(id, name) : E_NOTIMPL; });
}

HRESULT DispatchProxy::GetNextDispID(DWORD flags, DISPID id, DISPID* next)
{
    return remote([&] { return m_targetEx ? m_targetEx->GetNextDispID(flags, id, next) : E_NOTIMPL; });
}

HRESULT DispatchProxy::GetNameSpaceParent(IUnknown** parent)
{
    return remote([&] { return m_targetEx ? m_targetEx->GetNameSpaceParent(parent) : E_NOTIMPL; });
}

} // namespace pictavo::platform
