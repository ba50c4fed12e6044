#pragma once

#include "platform/com/Unknown.h"

struct CAUUID
{
    ULONG cElems;
    GUID* pElems;
};

struct ISpecifyPropertyPages : public IUnknown
{
    virtual HRESULT GetPages(CAUUID* pages) = 0;

protected:
    ~ISpecifyPropertyPages() = default;
};
PICTAVO_DECLARE_IID(ISpecifyPropertyPages, IID_ISpecifyPropertyPages)
