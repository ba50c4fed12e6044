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
    ComPtr(T* p) : p_(p) { addRef(); }
    ComPtr(const ComPtr& o) : p_(o.p_) { addRef(); }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U> ComPtr(const ComPtr<U>& o) : p_(o.Get()) { addRef(); }
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

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

    T** GetAddressOf() { return &p_; }
    T* const* GetAddressOf() const { return &p_; }
    T** ReleaseAndGetAddressOf()
    {
        release();
        return &p_;
    }
    // Takes over a reference the caller already owns.
    void Attach(T* p)
    {
        release();
        p_ = p;
    }
    T* Detach() { return std::exchange(p_, nullptr); }
    ULONG Reset()
    {
        T* old = std::exchange(p_, nullptr);
        return old ? old->Release() : 0;
    }
    void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

    HRESULT CopyTo(T** out) const
    {
        if (!out)
            return E_POINTER;
        *out = p_;
        addRef();
        return S_OK;
    }
    template <class U> HRESULT As(ComPtr<U>* out) const
    {
        if (!out)
            return E_POINTER;
        if (!p_) {
            out->Reset();
            return E_POINTER;
        }
        return p_->QueryInterface(iidOf<U>(), reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

private:
    void addRef() const
    {
        if (p_)
            p_->AddRef();
    }
    void release()
    {
        if (T* old = std::exchange(p_, nullptr))
            old->Release();
    }

    T* p_ = nullptr;
};

template <class T> ComPtr<T> attachCom(T* ownedReference)
{
    ComPtr<T> p;
    p.Attach(ownedReference);
    return p;
}
