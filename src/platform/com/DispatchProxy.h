#pragma once

// Stands for an IDispatch living on another thread: each call is carried to that thread and
// the caller waits for the answer.

#include "platform/com/Dispatch.h"

#include <atomic>
#include <functional>
#include <memory>

namespace pictavo::platform {

class ThreadQueue;

class DispatchProxy final : public IDispatchEx
{
public:
    // Takes over one reference to target and, when not null, to targetEx (same object).
    DispatchProxy(std::shared_ptr<ThreadQueue> owner, IDispatch* target, IDispatchEx* targetEx);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepInfo, UINT* argErr) override;

    HRESULT GetDispID(BSTR name, DWORD flags, DISPID* id) override;
    HRESULT InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* excepInfo, IServiceProvider* caller) override;
    HRESULT DeleteMemberByName(BSTR name, DWORD flags) override;
    HRESULT DeleteMemberByDispID(DISPID id) override;
    HRESULT GetMemberProperties(DISPID id, DWORD fetch, DWORD* properties) override;
    HRESULT GetMemberName(DISPID id, BSTR* name) override;
    HRESULT GetNextDispID(DWORD flags, DISPID id, DISPID* next) override;
    HRESULT GetNameSpaceParent(IUnknown** parent) override;

    // Runs call on the owner thread; RPC_E_DISCONNECTED when that thread has ended.
    static HRESULT onThread(ThreadQueue& owner, const std::function<HRESULT()>& call);

private:
    ~DispatchProxy();
    HRESULT remote(const std::function<HRESULT()>& call);
    // The arguments cross as copies; the result and exception text come back the same way.
    HRESULT invokeRemote(const std::function<HRESULT(DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)>& call,
                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr);

    std::atomic<ULONG> m_refs{1};
    std::shared_ptr<ThreadQueue> m_owner;
    IDispatch* m_target;
    IDispatchEx* m_targetEx;
};

} // namespace pictavo::platform
