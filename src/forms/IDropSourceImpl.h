#pragma once

#include "platform/ole/Ole2.h"

#include <atomic>

// Drops on release, cancels on Escape, shows the system's drag cursors.
class IDropSourceImpl : public IDropSource
{
public:
    IDropSourceImpl() = default;
    IDropSourceImpl(const IDropSourceImpl&) = delete;
    IDropSourceImpl& operator=(const IDropSourceImpl&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT GiveFeedback(DWORD effect) override;

protected:
    virtual ~IDropSourceImpl() = default;

private:
    std::atomic<ULONG> refs_{1};
};
