#pragma once

// An owning interface pointer: AddRef on copy, Release on reset or destruction.

#include "platform/com/Unknown.h"

#include <cstddef>
#include <utility>

template <class T> class ComPtr
{
public:
    using InterfaceType = T;

    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(T* p) : m_p(p) { addRef(); }
    ComPtr(const ComPtr& o) : m_p(o.m_p) { addRef(); }
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U> ComPtr(const ComPtr<U>& o) : m_p(o.Get()) { addRef(); }
    ~ComPtr() { release(); }

    ComPtr& operator=(const ComPtr& o)
    {
        ComPtr(o).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept
    {
        ComPtr(std::move(o)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(T* p)
    {
        ComPtr(p).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t)
    {
        Reset();
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    T** GetAddressOf() { return &m_p; }
    T* const* GetAddressOf() const { return &m_p; }
    T** ReleaseAndGetAddressOf()
    {
        release();
        return &m_p;
    }
    // Takes over a reference the caller already owns.
    void Attach(T* p)
    {
        release();
        m_p = p;
    }
    T* Detach() { return std::exchange(m_p, nullptr); }
    ULONG Reset()
    {
        T* old = std::exchange(m_p, nullptr);
        return old ? old->Release() : 0;
    }
    void Swap(ComPtr& o) noexcept { std::swap(m_p, o.m_p); }

    HRESULT CopyTo(T** out) const
    {
        if (!out)
            return E_POINTER;
        *out = m_p;
        addRef();
        return S_OK;
    }
    template <class U> HRESULT As(ComPtr<U>* out) const
    {
        if (!out)
            return E_POINTER;
        if (!m_p) {
            out->Reset();
            return E_POINTER;
        }
        return m_p->QueryInterface(iidOf<U>(), reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.m_p == nullptr; }

private:
    void addRef() const
    {
        if (m_p)
            m_p->AddRef();
    }
    void release()
    {
        if (T* old = std::exchange(m_p, nullptr))
            old->Release();
    }

    T* m_p = nullptr;
};

template <class T> ComPtr<T> attachCom(T* ownedReference)
{
    ComPtr<T> p;
    p.Attach(ownedReference);
    return p;
}
