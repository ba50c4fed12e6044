#include "ui/CIDropTargetImpl.h"

#include "ui/DragFormatRegistry.h"

CIDropTargetImpl::CIDropTargetImpl()
{
    acceptedFormats.push_back(FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
}

HRESULT CIDropTargetImpl::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CIDropTargetImpl::AddRef()
{
    return static_cast<ULONG>(++referenceCount);
}

ULONG CIDropTargetImpl::Release()
{
    return static_cast<ULONG>(--referenceCount);
}

DWORD CIDropTargetImpl::ChooseEffect(DWORD keyState, DWORD allowed)
{
    DWORD effect = DROPEFFECT_NONE;
    if (keyState & MK_CONTROL)
        effect = allowed & DROPEFFECT_COPY;
    else if (keyState & MK_SHIFT)
        effect = allowed & DROPEFFECT_MOVE;
    if (effect == DROPEFFECT_NONE) {
        if (allowed & DROPEFFECT_MOVE)
            effect = DROPEFFECT_MOVE;
        else if (allowed & DROPEFFECT_COPY)
            effect = DROPEFFECT_COPY;
    }
    return effect;
}

HRESULT CIDropTargetImpl::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect)
{
    if (!enabled) {
        acceptable = 0;
        return S_OK;
    }
    acceptable = 0;
    for (FORMATETC& format : acceptedFormats)
        if (data && data->QueryGetData(&format) == S_OK)
            acceptable = 1;
    if (!acceptable)
        acceptable = DragFormatRegistry::Instance().IsOffered(data) ? 1 : 0;
    if (effect)
        *effect = acceptable ? ChooseEffect(keyState, *effect) : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT CIDropTargetImpl::DragOver(DWORD keyState, POINTL, DWORD* effect)
{
    if (effect)
        *effect = acceptable ? ChooseEffect(keyState, *effect) : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT CIDropTargetImpl::DragLeave()
{
    return S_OK;
}

HRESULT CIDropTargetImpl::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    if (!acceptable || !data)
        return S_FALSE;
    FORMATETC files{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&files, &medium) == S_OK) {
        void* list = GlobalLock(medium.hGlobal);
        if (list)
            OnDropFiles(static_cast<HDROP>(list));
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
        // The files were copied in, never moved: a source told "move" would delete them.
        if (effect)
            *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    FORMATETC bitmap{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
    medium = STGMEDIUM{};
    if (data->GetData(&bitmap, &medium) == S_OK) {
        OnDropBitmap(medium.hBitmap);
        ReleaseStgMedium(&medium);
        return S_OK;
    }
    if (DragFormatRegistry::Instance().IsOffered(data))
        OnDropCustom(data, keyState, point.x, point.y, effect);
    return S_OK;
}

void CIDropTargetImpl::OnDropFiles(HDROP) {}

void CIDropTargetImpl::OnDropBitmap(HBITMAP) {}

void CIDropTargetImpl::OnDropCustom(IDataObject*, DWORD, int, int, DWORD*) {}
