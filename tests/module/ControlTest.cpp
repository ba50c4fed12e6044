#include "Biz/AppState.h"
#include "module/Module.h"
#include "module/Pictavo.h"
#include "module/PictavoTypeLib.h"
#include "platform/com/RefCounted.h"
#include "platform/gfx/MemoryStream.h"
#include "platform/ole/OleControl.h"
#include "support/MemorySurface.h"
#include "support/PageSite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using pictavo::platform::makeCom;
using pictavo::platform::RefCounted;
using pictavo::test::PageSite;


class MapBag : public RefCounted<IPropertyBag>
{
public:
    std::map<std::u16string, std::u16string> texts_;
    std::map<std::u16string, VARTYPE> writtenTypes_;

    HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override
    {
        auto it = texts_.find(name);
        VariantInit(value);
        if (it == texts_.end())
            return E_INVALIDARG;
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(it->second.c_str());
        return S_OK;
    }
    HRESULT Write(LPCOLESTR name, VARIANT* value) override
    {
        writtenTypes_[name] = value->vt;
        VARIANT text;
        VariantInit(&text);
        VariantChangeType(&text, value, 0, VT_BSTR);
        texts_[name] = text.bstrVal;
        VariantClear(&text);
        return S_OK;
    }
};

struct Text
{
    BSTR value;
    explicit Text(const char16_t* text) : value(SysAllocString(text)) {}
    ~Text() { SysFreeString(value); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
};

ComPtr<IPictavo> createControl()
{
    ComPtr<IPictavo> control;
    EXPECT_EQ(CPictavo::CreateInstance(nullptr, IID_IPictavo, reinterpret_cast<void**>(control.GetAddressOf())),
              S_OK);
    return control;
}

template <class I> ComPtr<I> as(const ComPtr<IPictavo>& control)
{
    ComPtr<I> out;
    control.As(&out);
    return out;
}

SIZEL extentOf(const ComPtr<IPictavo>& control)
{
    SIZEL size{};
    as<IOleObject>(control)->GetExtent(DVASPECT_CONTENT, &size);
    return size;
}

TEST(ControlTest, AnswersEveryControlInterfaceWithOneIdentity)
{
    auto control = createControl();
    const IID answered[] = {IID_IPictavo, IID_IDispatch, IID_IDropTarget, IID_IViewObjectEx, IID_IViewObject2,
                            IID_IViewObject, IID_IOleInPlaceObjectWindowless, IID_IOleInPlaceObject,
                            IID_IOleWindow, IID_IOleInPlaceActiveObject, IID_IOleControl, IID_IOleObject,
                            IID_IPersistStreamInit, IID_IPersist, IID_ISupportErrorInfo,
                            IID_ISpecifyPropertyPages, IID_IQuickActivate, IID_IPersistStorage, IID_IDataObject,
                            IID_IProvideClassInfo, IID_IProvideClassInfo2, IID_IObjectSafety,
                            IID_IPersistPropertyBag};
    ComPtr<IUnknown> identity;
    control.As(&identity);
    for (const IID& iid : answered) {
        ComPtr<IUnknown> face;
        ASSERT_EQ(control->QueryInterface(iid, reinterpret_cast<void**>(face.GetAddressOf())), S_OK);
        // Every face, the drop target included, leads back to the same object.
        ComPtr<IUnknown> back;
        ASSERT_EQ(face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(back.GetAddressOf())), S_OK);
        EXPECT_EQ(back.Get(), identity.Get());
    }
    for (const IID& iid : {IID_IOleInPlaceSite, IID_IOleClientSite, IID_IPropertyBag, IID_IAdviseSink}) {
        void* face = reinterpret_cast<void*>(1);
        EXPECT_EQ(control->QueryInterface(iid, &face), E_NOINTERFACE);
        EXPECT_EQ(face, nullptr);
    }
}

TEST(ControlTest, DropTargetCountsOnTheControl)
{
    const LONG before = Module::LockCount();
    IPictavo* raw = nullptr;
    ASSERT_EQ(CPictavo::CreateInstance(nullptr, IID_IPictavo, reinterpret_cast<void**>(&raw)), S_OK);
    IDropTarget* target = nullptr;
    ASSERT_EQ(raw->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target)), S_OK);
    // The control's own reference goes first; the drop target's keeps the object alive.
    EXPECT_EQ(raw->Release(), 1u);
    EXPECT_EQ(Module::LockCount(), before + 1);
    EXPECT_EQ(target->Release(), 0u);
    EXPECT_EQ(Module::LockCount(), before);
}

TEST(ControlTest, StreamHoldsOnlyTheExtent)
{
    auto control = createControl();
    SIZEL size{5292, 2646};
    ASSERT_EQ(as<IOleObject>(control)->SetExtent(DVASPECT_CONTENT, &size), S_OK);
    control->put_PostUrl(Text(u"http://example/").value);
    auto stream = makeCom<pictavo::platform::MemoryStream>(std::vector<uint8_t>{});
    auto persist = as<IPersistStreamInit>(control);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    ASSERT_EQ(stat.cbSize.QuadPart, 8u);
    ULARGE_INTEGER max{};
    persist->GetSizeMax(&max);
    EXPECT_EQ(max.QuadPart, 8u);

    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    uint8_t bytes[8];
    ULONG read = 0;
    stream->Read(bytes, 8, &read);
    const uint8_t expected[8] = {0xAC, 0x14, 0, 0, 0x56, 0x0A, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 8), std::vector<uint8_t>(expected, expected + 8));

    auto other = createControl();
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(as<IPersistStreamInit>(other)->Load(stream.Get()), S_OK);
    EXPECT_EQ(extentOf(other).cx, 5292);
    EXPECT_EQ(extentOf(other).cy, 2646);

    // A stream cut short leaves the extent as it was.
    auto shortStream = makeCom<pictavo::platform::MemoryStream>(std::vector<uint8_t>{1, 2, 3, 4, 5});
    EXPECT_EQ(as<IPersistStreamInit>(other)->Load(shortStream.Get()), STG_E_READFAULT);
    EXPECT_EQ(extentOf(other).cx, 5292);
}

TEST(ControlTest, PropertyBagTakesTheExtentAndNothingElse)
{
    auto control = createControl();
    auto bag = makeCom<MapBag>();
    bag->texts_ = {{u"_cx", u"7000"}, {u"_cy", u"300"}, {u"PostUrl", u"http://ignored/"}};
    ASSERT_EQ(as<IPersistPropertyBag>(control)->Load(bag.Get(), nullptr), S_OK);
    EXPECT_EQ(extentOf(control).cx, 7000);
    EXPECT_EQ(extentOf(control).cy, 300);
    // Settings come from script only: a PostUrl param does not configure the control.
    auto* object = static_cast<CPictavo*>(control.Get());
    EXPECT_EQ(object->PostUrl(), u"");

    // A missing or unreadable value keeps what the control had.
    auto partial = makeCom<MapBag>();
    partial->texts_ = {{u"_cx", u"wide"}};
    ASSERT_EQ(as<IPersistPropertyBag>(control)->Load(partial.Get(), nullptr), S_OK);
    EXPECT_EQ(extentOf(control).cx, 7000);

    auto saved = makeCom<MapBag>();
    ASSERT_EQ(as<IPersistPropertyBag>(control)->Save(saved.Get(), TRUE, TRUE), S_OK);
    EXPECT_EQ(saved->texts_, (std::map<std::u16string, std::u16string>{{u"_cx", u"7000"}, {u"_cy", u"300"}}));
    EXPECT_EQ(saved->writtenTypes_[u"_cx"], VT_UI4);
}

TEST(ControlTest, DrawPaintsTheBoundsThroughAMemoryContext)
{
    auto control = createControl();
    pictavo::test::MemorySurface surface(80, 60);
    HBRUSH black = CreateSolidBrush(0);
    RECT all{0, 0, 80, 60};
    FillRect(surface.dc, &all, black);
    DeleteObject(black);

    auto view = as<IViewObjectEx>(control);
    const RECTL bounds{10, 10, 60, 40};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, surface.dc, &bounds, nullptr, nullptr, 0),
              S_OK);
    EXPECT_EQ(GetPixel(surface.dc, 10, 10) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(GetPixel(surface.dc, 59, 39) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(GetPixel(surface.dc, 9, 10) & 0xFFFFFF, 0u);
    EXPECT_EQ(GetPixel(surface.dc, 60, 39) & 0xFFFFFF, 0u);
    EXPECT_EQ(GetPixel(surface.dc, 30, 40) & 0xFFFFFF, 0u);

    EXPECT_EQ(view->Draw(4 /* DVASPECT_ICON */, -1, nullptr, nullptr, nullptr, surface.dc, &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
    // Not active: without bounds there is nothing to draw into.
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, surface.dc, nullptr, nullptr, nullptr, 0),
              E_INVALIDARG);
}

class ActiveControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"ControlTestPage";
        RegisterClassExW(&wc);
        page = CreateWindowExW(0, u"ControlTestPage", u"page", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                               nullptr, nullptr);
        site = makeCom<PageSite>(page, RECT{10, 20, 210, 120});
        site->clip = RECT{0, 0, 400, 300};
        control = createControl();
        ole = as<IOleObject>(control);
        ASSERT_EQ(ole->SetClientSite(site.Get()), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, page, &site->position), S_OK);
        as<IOleWindow>(control)->GetWindow(&hwnd);
    }
    void TearDown() override
    {
        if (ole)
            ole->Close(OLECLOSE_NOSAVE);
        DestroyWindow(page);
    }

    HWND page = nullptr;
    HWND hwnd = nullptr;
    ComPtr<PageSite> site;
    ComPtr<IPictavo> control;
    ComPtr<IOleObject> ole;
};

TEST_F(ActiveControlTest, ActivationMakesAChildWindowThatTakesDrops)
{
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetParent(hwnd), page);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    const DWORD wanted = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE), 0);
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    POINT origin{0, 0};
    ClientToScreen(page, &origin);
    EXPECT_EQ(rect.left - origin.x, 10);
    EXPECT_EQ(rect.top - origin.y, 20);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(site->calls().front(), "OnInPlaceActivateEx");
    // The window is already a drop target: a second registration is refused.
    auto other = createControl();
    ComPtr<IDropTarget> target;
    other.As(&target);
    EXPECT_EQ(RegisterDragDrop(hwnd, target.Get()), DRAGDROP_E_ALREADYREGISTERED);

    // Moved by the container.
    RECT moved{30, 40, 130, 90};
    RECT clip{0, 0, 400, 300};
    ASSERT_EQ(as<IOleInPlaceObject>(control)->SetObjectRects(&moved, &clip), S_OK);
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.right - rect.left, 100);
    EXPECT_EQ(rect.bottom - rect.top, 50);
}

TEST_F(ActiveControlTest, WindowMessagesCarryTheLabelTextsAndEnablePosting)
{
    auto* object = static_cast<CPictavo*>(control.Get());
    const char16_t* progress = u"已上传 1/3";
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 101, reinterpret_cast<WPARAM>(progress), 0), 0);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 102, reinterpret_cast<WPARAM>(u"00:12"), 0), 0);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 103, reinterpret_cast<WPARAM>(u"12KB/S"), 0), 0);
    EXPECT_EQ(object->ProgressText(), progress);
    EXPECT_EQ(object->RemainingTimeText(), u"00:12");
    EXPECT_EQ(object->SpeedText(), u"12KB/S");
    // A null text empties the label instead of crashing the window.
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 103, 0, 0), 0);
    EXPECT_EQ(object->SpeedText(), u"");
    EXPECT_FALSE(object->PostEnabled());
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 104, 0, 0), 1);
    EXPECT_TRUE(object->PostEnabled());
    EXPECT_EQ(SendMessageW(hwnd, WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(ActiveControlTest, TakingTheFocusMakesTheControlUiActive)
{
    ASSERT_EQ(site->count("OnUIActivate"), 0);
    ShowWindow(page, SW_SHOW);
    SetFocus(hwnd);
    EXPECT_EQ(site->count("OnUIActivate"), 1);
    SetFocus(page);
    SetFocus(hwnd);
    EXPECT_EQ(site->count("OnUIActivate"), 1);
    ASSERT_EQ(as<IOleInPlaceObject>(control)->UIDeactivate(), S_OK);
    EXPECT_EQ(site->calls().back(), "OnUIDeactivate");
}

TEST_F(ActiveControlTest, DestroyingTheWindowEmptiesFieldsAndRevokesTheDropTarget)
{
    control->AddField(Text(u"album").value, Text(u"x").value);
    auto* object = static_cast<CPictavo*>(control.Get());
    ASSERT_EQ(object->ExtraFields().size(), 1u);
    ASSERT_EQ(as<IOleInPlaceObject>(control)->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(object->Window(), nullptr);
    EXPECT_TRUE(object->ExtraFields().empty());
    EXPECT_EQ(RevokeDragDrop(hwnd), DRAGDROP_E_NOTREGISTERED);
    EXPECT_EQ(site->calls().back(), "OnInPlaceDeactivateEx");
    // A late message from a loader thread meets a dead handle and does nothing.
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 104, 0, 0), 0);

    // Activated again, the control makes a new window.
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, page, &site->position), S_OK);
    EXPECT_TRUE(IsWindow(object->Window()));
}

TEST_F(ActiveControlTest, ReleasedOnlyAfterItsWindowIsGone)
{
    const LONG locked = Module::LockCount();
    ole->Close(OLECLOSE_NOSAVE);
    ole = nullptr;
    site = nullptr;
    control = nullptr;
    EXPECT_EQ(Module::LockCount(), locked - 1);
}

} // namespace
