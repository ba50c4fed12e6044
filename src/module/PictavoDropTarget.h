#pragma once

#include "ui/CIDropTargetImpl.h"

class CPictavo;

// The drop target of the control's window. It is part of the control: its identity and
// lifetime are the control's, so a drag source holding it keeps the control alive.
class CPictavoDropTarget final : public CIDropTargetImpl
{
public:
    explicit CPictavoDropTarget(CPictavo& owner) : m_owner(owner) {}

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    void OnDropFiles(HDROP files) override;

private:
    CPictavo& m_owner;
};
