#pragma once

#include "platform/kernel/WinTypes.h"

// Base of list items: an id, a rectangle and interaction bits the list paints from.
class IElement
{
public:
    virtual ~IElement() = default;
    virtual void SetRect(RECT r) { rect = r; }
    virtual RECT GetRect() { return rect; }
    virtual DWORD* GetState() { return &itemState; }

    int id = 0;
    RECT rect{};
    DWORD itemState = 0;
};
