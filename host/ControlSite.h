#pragma once

#include "platform/com/RefCounted.h"
#include "platform/ole/OleControl.h"

namespace pictavo::host {

// Where one page object lives: the client and in-place site a browser gives each control.
// The control's child window goes into the page window at the site's position.
class ControlSite : public pictavo::platform::RefCounted<IOleClientSite, IOleInPlaceSiteEx>
{
public:
    ControlSite(HWND page, RECT position) : m_page(page), m_position(position) {}

    RECT position() const { return m_position; }
    void setPosition(RECT position) { m_position = position; }
    bool inPlaceActive() const { return m_inPlaceActive; }
    bool uiActive() const { return m_uiActive; }
    void detach() { m_page = nullptr; }

    // IOleClientSite
    HRESULT SaveObject() override { return S_OK; }
    HRESULT GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT GetContainer(IOleContainer** container) override;
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    HRESULT GetWindow(HWND* hwnd) override;
    HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite, IOleInPlaceSiteEx
    HRESULT CanInPlaceActivate() override { return m_page ? S_OK : S_FALSE; }
    HRESULT OnInPlaceActivate() override;
    HRESULT OnUIActivate() override;
    HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* posRect, RECT* clipRect,
                             OLEINPLACEFRAMEINFO* frameInfo) override;
    HRESULT Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT OnUIDeactivate(BOOL) override;
    HRESULT OnInPlaceDeactivate() override;
    HRESULT DiscardUndoState() override { return S_OK; }
    HRESULT DeactivateAndUndo() override { return S_OK; }
    HRESULT OnPosRectChange(const RECT* posRect) override;
    HRESULT OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
    HRESULT OnInPlaceDeactivateEx(BOOL noRedraw) override;
    HRESULT RequestUIActivate() override { return S_OK; }

protected:
    HRESULT queryOther(REFIID riid, void** object) override;

private:
    HWND m_page;
    RECT m_position;
    bool m_inPlaceActive = false;
    bool m_uiActive = false;
};

} // namespace pictavo::host
