#pragma once

#include "platform/kernel/WinTypes.h"

// What the control needs of its upload list; the list view implements it.
struct IUploadList
{
    virtual ~IUploadList() = default;
    virtual LONG Count() = 0;
    virtual void Clear() = 0;
};
