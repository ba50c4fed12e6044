#pragma once

#include "platform/com/Unknown.h"

#include <atomic>

// The class object of one creatable class. Every reference a client holds on it, and every
// LockServer(TRUE), keeps the module locked.
class ClassFactory final : public IClassFactory {
public:
    using Creator = HRESULT (*)(IUnknown* outer, REFIID riid, void** object);

    explicit ClassFactory(Creator create) : m_create(create) {}

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    HRESULT LockServer(BOOL lock) override;

private:
    Creator m_create;
    std::atomic<ULONG> m_refs{0};
};
