#include "platform/com/GlobalInterfaceTable.h"

#include "platform/com/ComPtr.h"
#include "platform/com/DispatchProxy.h"
#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace pictavo::platform {

namespace {

struct Entry
{
    IUnknown* object; // one reference, held for the registration
    IID iid;
    DWORD ownerThread;
    std::shared_ptr<ThreadQueue> owner; // null: free-threaded, no proxy needed
};

class Table final : public IGlobalInterfaceTable
{
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IGlobalInterfaceTable)) {
            *object = static_cast<IGlobalInterfaceTable*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT RegisterInterfaceInGlobal(IUnknown* object, REFIID riid, DWORD* cookie) override;
    HRESULT RevokeInterfaceFromGlobal(DWORD cookie) override;
    HRESULT GetInterfaceFromGlobal(DWORD cookie, REFIID riid, void** object) override;

    void addFactory(REFIID riid, GlobalInterfaceTable::ProxyFactory factory)
    {
        std::lock_guard lock(m_mutex);
        for (auto& f : m_factories)
            if (IsEqualIID(f.first, riid)) {
                f.second = std::move(factory);
                return;
            }
        m_factories.emplace_back(riid, std::move(factory));
    }

private:
    HRESULT makeProxy(const Entry& entry, REFIID riid, void** object);

    std::mutex m_mutex;
    DWORD m_nextCookie = 0x100;
    std::map<DWORD, Entry> m_entries;
    std::vector<std::pair<IID, GlobalInterfaceTable::ProxyFactory>> m_factories;
};

Table& table()
{
    static Table* t = new Table; // lives as long as the process: proxies may outlive statics
    return *t;
}

// Releases on the object's own thread while that thread lives.
void releaseOnOwner(const Entry& entry)
{
    IUnknown* object = entry.object;
    if (!entry.owner || GetCurrentThreadId() == entry.ownerThread ||
        DispatchProxy::onThread(*entry.owner, [object] {
            object->Release();
            return S_OK;
        }) == RPC_E_DISCONNECTED)
        object->Release();
}

HRESULT Table::RegisterInterfaceInGlobal(IUnknown* object, REFIID riid, DWORD* cookie)
{
    if (!cookie)
        return E_INVALIDARG;
    *cookie = 0;
    if (!object)
        return E_INVALIDARG;
    ApartmentKind apartment = currentApartment();
    if (apartment == ApartmentKind::None)
        return CO_E_NOTINITIALIZED;
    IUnknown* registered = nullptr;
    if (HRESULT hr = object->QueryInterface(riid, reinterpret_cast<void**>(&registered)); FAILED(hr))
        return hr;
    Entry entry{registered, riid, GetCurrentThreadId(), nullptr};
    if (apartment == ApartmentKind::SingleThreaded)
        entry.owner = ThreadQueue::current();
    std::lock_guard lock(m_mutex);
    DWORD id = m_nextCookie++;
    if (m_nextCookie == 0)
        m_nextCookie = 0x100;
    m_entries.emplace(id, std::move(entry));
    *cookie = id;
    return S_OK;
}

HRESULT Table::RevokeInterfaceFromGlobal(DWORD cookie)
{
    Entry entry;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_entries.find(cookie);
        if (it == m_entries.end())
            return E_INVALIDARG;
        entry = std::move(it->second);
        m_entries.erase(it);
    }
    releaseOnOwner(entry);
    return S_OK;
}

HRESULT Table::GetInterfaceFromGlobal(DWORD cookie, REFIID riid, void** object)
{
    if (!object)
        return E_INVALIDARG;
    *object = nullptr;
    std::unique_lock lock(m_mutex);
    auto it = m_entries.find(cookie);
    if (it == m_entries.end())
        return E_INVALIDARG;
    Entry entry = it->second;
    // Keeps the object alive while we work on it without the table's lock.
    entry.object->AddRef();
    lock.unlock();
    HRESULT hr;
    if (!entry.owner || GetCurrentThreadId() == entry.ownerThread)
        hr = entry.object->QueryInterface(riid, object);
    else
        hr = makeProxy(entry, riid, object);
    releaseOnOwner(entry);
    return hr;
}

HRESULT Table::makeProxy(const Entry& entry, REFIID riid, void** object)
{
    GlobalInterfaceTable::ProxyFactory factory;
    bool generic = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
                   IsEqualIID(riid, IID_IDispatchEx);
    if (!generic) {
        std::lock_guard lock(m_mutex);
        for (auto& f : m_factories)
            if (IsEqualIID(f.first, riid))
                factory = f.second;
        if (!factory)
            return E_NOINTERFACE;
    }
    IDispatch* dispatch = nullptr;
    IDispatchEx* dispatchEx = nullptr;
    HRESULT hr = DispatchProxy::onThread(*entry.owner, [&] {
        HRESULT found = entry.object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
        if (SUCCEEDED(found) &&
            FAILED(entry.object->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&dispatchEx))))
            dispatchEx = nullptr;
        return found;
    });
    if (FAILED(hr))
        return hr == RPC_E_DISCONNECTED ? hr : E_NOINTERFACE;
    auto proxy = attachCom(new DispatchProxy(entry.owner, dispatch, dispatchEx));
    if (generic)
        return proxy->QueryInterface(riid, object);
    return factory(proxy.Get(), riid, object);
}

} // namespace

IGlobalInterfaceTable* GlobalInterfaceTable::instance()
{
    return &table();
}

void GlobalInterfaceTable::registerProxyFactory(REFIID riid, ProxyFactory factory)
{
    table().addFactory(riid, std::move(factory));
}

} // namespace pictavo::platform
