#include "ControlSite.h"

namespace pictavo::host {

HRESULT ControlSite::queryOther(REFIID riid, void** object)
{
    if (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow)) {
        *object = static_cast<IOleInPlaceSite*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT ControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlSite::GetContainer(IOleContainer** container)
{
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT ControlSite::GetWindow(HWND* hwnd)
{
    if (!hwnd)
        return E_POINTER;
    *hwnd = m_page;
    return m_page ? S_OK : E_FAIL;
}

HRESULT ControlSite::OnInPlaceActivate()
{
    m_inPlaceActive = true;
    return S_OK;
}

HRESULT ControlSite::OnInPlaceActivateEx(BOOL* noRedraw, DWORD)
{
    if (noRedraw)
        *noRedraw = FALSE;
    m_inPlaceActive = true;
    return S_OK;
}

HRESULT ControlSite::OnUIActivate()
{
    m_uiActive = true;
    return S_OK;
}

HRESULT ControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* posRect,
                                      RECT* clipRect, OLEINPLACEFRAMEINFO* frameInfo)
{
    if (!frame || !doc || !posRect || !clipRect)
        return E_POINTER;
    // The page has no menus, tool bars or accelerators to share with a control.
    *frame = nullptr;
    *doc = nullptr;
    *posRect = m_position;
    RECT client{};
    if (m_page)
        GetClientRect(m_page, &client);
    *clipRect = client;
    if (frameInfo) {
        frameInfo->fMDIApp = FALSE;
        frameInfo->hwndFrame = m_page;
        frameInfo->haccel = nullptr;
        frameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

HRESULT ControlSite::OnUIDeactivate(BOOL)
{
    m_uiActive = false;
    return S_OK;
}

HRESULT ControlSite::OnInPlaceDeactivate()
{
    m_inPlaceActive = false;
    m_uiActive = false;
    return S_OK;
}

HRESULT ControlSite::OnInPlaceDeactivateEx(BOOL)
{
    return OnInPlaceDeactivate();
}

HRESULT ControlSite::OnPosRectChange(const RECT* posRect)
{
    if (!posRect)
        return E_POINTER;
    m_position = *posRect;
    return S_OK;
}

} // namespace pictavo::host
