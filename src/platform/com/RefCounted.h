#pragma once

// IUnknown for classes implementing one or more interfaces: an atomic count and a
// QueryInterface that answers IUnknown, each listed interface and IDispatch when one of them
// derives from it. Objects start with one reference: makeCom<T>(...) takes it over.

#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"

#include <atomic>
#include <type_traits>

namespace pictavo::platform {

template <class... Interfaces> class RefCounted : public Interfaces...
{
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown))
            *object = firstUnknown();
        else
            (void)(find<Interfaces>(riid, object) || ...);
        if (!*object && IsEqualIID(riid, IID_IDispatch))
            (void)(findDispatch<Interfaces>(object) || ...);
        if (!*object)
            return queryOther(riid, object);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return m_refs.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG Release() override
    {
        ULONG left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;
    // For interfaces the list above does not name (bases of listed interfaces, tear-offs).
    // Must AddRef what it returns.
    virtual HRESULT queryOther(REFIID, void**) { return E_NOINTERFACE; }

private:
    template <class I> bool find(REFIID riid, void** object)
    {
        if (!IsEqualIID(riid, iidOf<I>()))
            return false;
        *object = static_cast<I*>(this);
        return true;
    }
    template <class I> bool findDispatch(void** object)
    {
        if constexpr (std::is_base_of_v<IDispatch, I>) {
            *object = static_cast<IDispatch*>(static_cast<I*>(this));
            return true;
        }
        return false;
    }
    template <class First, class...> IUnknown* firstOf() { return static_cast<First*>(this); }
    IUnknown* firstUnknown() { return firstOf<Interfaces...>(); }

    std::atomic<ULONG> m_refs{1};
};

template <class T, class... Args> ComPtr<T> makeCom(Args&&... args)
{
    return attachCom(new T(std::forward<Args>(args)...));
}

} // namespace pictavo::platform
