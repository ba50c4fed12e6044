#pragma once

#include "platform/com/Unknown.h"

struct ISupportErrorInfo : public IUnknown
{
    virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

protected:
    ~ISupportErrorInfo() = default;
};
PICTAVO_DECLARE_IID(ISupportErrorInfo, IID_ISupportErrorInfo)
