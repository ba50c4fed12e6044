#include "forms/IDropSourceImpl.h"

HRESULT IDropSourceImpl::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
        *object = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG IDropSourceImpl::AddRef()
{
    return refs_.fetch_add(1) + 1;
}

ULONG IDropSourceImpl::Release()
{
    ULONG left = refs_.fetch_sub(1) - 1;
    if (left == 0)
        delete this;
    return left;
}

HRESULT IDropSourceImpl::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    if (escapePressed)
        return DRAGDROP_S_CANCEL;
    if (!(keyState & MK_LBUTTON))
        return DRAGDROP_S_DROP;
    return S_OK;
}

HRESULT IDropSourceImpl::GiveFeedback(DWORD)
{
    return DRAGDROP_S_USEDEFAULTCURSORS;
}
