#pragma once

#include "platform/com/Dispatch.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>

namespace pictavo::host {

struct BridgeLink;

// Lets the bridge recognise its own wrappers when they come back from COM.
PICTAVO_GUID(IID_IScriptObject, "6E2B51C4-3F0A-4C9D-9E1B-7A44D0C3B215");

// A script object or function as COM sees it. DISPID 0 with DISPATCH_METHOD calls a function;
// other names map to the object's properties. Calls are answered on the heap's thread only;
// anything else gets RPC_E_WRONG_THREAD.
class ScriptObject final : public IDispatchEx
{
public:
    ScriptObject(std::shared_ptr<BridgeLink> link, unsigned long long id, void* heapPtr);

    unsigned long long id() const { return m_id; }
    const BridgeLink* link() const { return m_link.get(); }
    void* heapPtr() const { return m_heapPtr; }
    // AddRef unless the count already reached zero (the wrapper is then on its way out).
    bool tryAddRef();
    // The last reference went while the bridge was alive: it frees the wrapper.
    void destroy() { delete this; }

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

private:
    ~ScriptObject() = default;
    DISPID dispIdFor(const std::u16string& name);

    std::shared_ptr<BridgeLink> m_link;
    unsigned long long m_id;
    void* m_heapPtr;
    std::atomic<ULONG> m_refs{1};
    // Names are the script's (case-sensitive); ids only grow, so a stale id never aliases.
    std::map<std::u16string, DISPID> m_ids;
    std::map<DISPID, std::u16string> m_names;
};

} // namespace pictavo::host
