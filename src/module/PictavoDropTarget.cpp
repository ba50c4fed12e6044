#include "module/PictavoDropTarget.h"

#include "module/Pictavo.h"

HRESULT CPictavoDropTarget::QueryInterface(REFIID riid, void** object)
{
    return m_owner.QueryInterface(riid, object);
}

ULONG CPictavoDropTarget::AddRef()
{
    return m_owner.AddRef();
}

ULONG CPictavoDropTarget::Release()
{
    return m_owner.Release();
}

HRESULT CPictavoDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    const bool accepts = m_owner.AcceptsDrops();
    SetDropEnabled(accepts);
    const HRESULT hr = CIDropTargetImpl::DragEnter(data, keyState, point, effect);
    // A refused drag must show the no-drop cursor, not keep the source's proposed effect.
    if (!accepts && effect)
        *effect = DROPEFFECT_NONE;
    return hr;
}

void CPictavoDropTarget::OnDropFiles(HDROP files)
{
    m_owner.OnFilesDropped(files);
}
