#pragma once

#include "platform/com/RefCounted.h"
#include "platform/ole/Ole2.h"

// Drops on release, cancels on Escape, shows the system's drag cursors.
class IDropSourceImpl : public pictavo::platform::RefCounted<IDropSource>
{
public:
    IDropSourceImpl() = default;
    IDropSourceImpl(const IDropSourceImpl&) = delete;
    IDropSourceImpl& operator=(const IDropSourceImpl&) = delete;

    HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT GiveFeedback(DWORD effect) override;

protected:
    ~IDropSourceImpl() override = default;
};
