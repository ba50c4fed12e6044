#pragma once

#include "ui/CustomDataObject.h"
#include "ui/IDropSourceImpl.h"

// Starts an item drag: armed by the press on an item, run by the next move.
class OleDrager
{
public:
    OleDrager();
    virtual ~OleDrager();
    OleDrager(const OleDrager&) = delete;
    OleDrager& operator=(const OleDrager&) = delete;

    void Arm(CustomDataObject* data);
    void Disarm();
    bool IsArmed() const { return armed != 0; }
    // The modal drag loop, copy only; disarms afterwards and returns the loop's result.
    HRESULT DoDrag();

private:
    int armed = 0;
    CustomDataObject* m_data = nullptr;
    IDropSourceImpl* dropSource;
};
