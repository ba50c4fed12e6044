#pragma once

#include "platform/com/RefCounted.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace pictavo::test {

// A page's in-place site for one control: it gives the control the page window and its place,
// and remembers the activation notices the control sent (from whichever thread the page runs on).
class PageSite : public platform::RefCounted<IOleClientSite, IOleInPlaceSiteEx>
{
public:
    PageSite(HWND window, RECT place) : page(window), position(place), clip(place) {}

    HWND page;
    RECT position;
    RECT clip;

    std::vector<std::string> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    int count(const std::string& call) const
    {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(std::count(m_calls.begin(), m_calls.end(), call));
    }

    HRESULT SaveObject() override { return S_OK; }
    HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    HRESULT ShowObject() override { return note("ShowObject"); }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
    HRESULT GetWindow(HWND* hwnd) override
    {
        *hwnd = page;
        return S_OK;
    }
    HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT CanInPlaceActivate() override { return S_OK; }
    HRESULT OnInPlaceActivate() override { return note("OnInPlaceActivate"); }
    HRESULT OnUIActivate() override { return note("OnUIActivate"); }
    HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos, RECT* clipRect,
                             OLEINPLACEFRAMEINFO*) override
    {
        *frame = nullptr;
        *doc = nullptr;
        *pos = position;
        *clipRect = clip;
        return S_OK;
    }
    HRESULT Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT OnUIDeactivate(BOOL) override { return note("OnUIDeactivate"); }
    HRESULT OnInPlaceDeactivate() override { return note("OnInPlaceDeactivate"); }
    HRESULT DiscardUndoState() override { return S_OK; }
    HRESULT DeactivateAndUndo() override { return S_OK; }
    HRESULT OnPosRectChange(const RECT*) override { return S_OK; }
    HRESULT OnInPlaceActivateEx(BOOL*, DWORD) override { return note("OnInPlaceActivateEx"); }
    HRESULT OnInPlaceDeactivateEx(BOOL) override { return note("OnInPlaceDeactivateEx"); }
    HRESULT RequestUIActivate() override { return S_OK; }

protected:
    HRESULT queryOther(REFIID riid, void** object) override
    {
        if (!IsEqualIID(riid, IID_IOleInPlaceSite) && !IsEqualIID(riid, IID_IOleWindow))
            return E_NOINTERFACE;
        *object = static_cast<IOleInPlaceSite*>(this);
        AddRef();
        return S_OK;
    }

private:
    HRESULT note(const char* call)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        return S_OK;
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

} // namespace pictavo::test
