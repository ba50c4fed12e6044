#pragma once

#include "platform/com/Unknown.h"

struct ISupportErrorInfo : public IUnknown
{
    virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;
};
