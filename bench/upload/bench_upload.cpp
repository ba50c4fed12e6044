// One upload run of the control, headless, against a running receiver: the time from the post
// button to the end of the run, and the memory the run added above the control's idle memory.
//   bench-upload [--box WxH] [--format F] URL FILE...
//   (prints: run_s pictures load_s idle_kib peak_above_idle_kib status)

#include "module/IRunPanel.h"
#include "module/Pictavo.h"
#include "platform/com/Apartment.h"
#include "platform/com/RefCounted.h"
#include "platform/kernel/Message.h"
#include "platform/kernel/Strings.h"
#include "platform/ole/OleControl.h"
#include "ui/ListView.h"
#include "ui/ListViewPostItem.h"
#include "ui/SetUpSkin.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

using Clock = std::chrono::steady_clock;
using pictavo::platform::fromUtf8;

namespace {

long statusKib(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

struct Panel : IRunPanel
{
    ListView* list = nullptr;
    ListView* List() override { return list; }
    void SetPostSkins(bool) override {}
    void EnablePost(bool) override {}
    void EnableAdd(bool) override {}
    void EnableSelectAll(bool) override {}
    void ShowRunLabels(bool) override {}
    void UpdateTools() override {}
    void UpdateLook() override {}
    void InvalidateList() override {}
};

class Site : public pictavo::platform::RefCounted<IOleClientSite, IOleInPlaceSiteEx>
{
public:
    explicit Site(HWND parent) : parent_(parent) {}
    HWND parent_;
    RECT position_{0, 0, 700, 500};
    HRESULT SaveObject() override { return S_OK; }
    HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
    HRESULT GetWindow(HWND* hwnd) override
    {
        *hwnd = parent_;
        return S_OK;
    }
    HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT CanInPlaceActivate() override { return S_OK; }
    HRESULT OnInPlaceActivate() override { return S_OK; }
    HRESULT OnUIActivate() override { return S_OK; }
    HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos, RECT* clip,
                             OLEINPLACEFRAMEINFO*) override
    {
        *frame = nullptr;
        *doc = nullptr;
        *pos = position_;
        *clip = position_;
        return S_OK;
    }
    HRESULT Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT OnInPlaceDeactivate() override { return S_OK; }
    HRESULT DiscardUndoState() override { return S_OK; }
    HRESULT DeactivateAndUndo() override { return S_OK; }
    HRESULT OnPosRectChange(const RECT*) override { return S_OK; }
    HRESULT OnInPlaceActivateEx(BOOL*, DWORD) override { return S_OK; }
    HRESULT OnInPlaceDeactivateEx(BOOL) override { return S_OK; }
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
};

BSTR bstr(const std::u16string& s)
{
    return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

} // namespace

int main(int argc, char** argv)
{
    int width = 0, height = 0;
    std::u16string format;
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
        if (!std::strcmp(argv[i], "--box"))
            std::sscanf(argv[i + 1], "%dx%d", &width, &height);
        else if (!std::strcmp(argv[i], "--format"))
            format = fromUtf8(argv[i + 1]);
    }
    if (argc - i < 2) {
        std::fprintf(stderr, "usage: bench-upload [--box WxH] [--format F] URL FILE...\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetUpSkin();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"BenchUploadPage";
    RegisterClassExW(&wc);
    HWND page = CreateWindowExW(0, u"BenchUploadPage", u"page", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                                nullptr, nullptr, nullptr);
    auto site = pictavo::platform::makeCom<Site>(page);
    ComPtr<IPictavo> control;
    CPictavo::CreateInstance(nullptr, IID_IPictavo, reinterpret_cast<void**>(control.GetAddressOf()));
    ComPtr<IOleObject> ole;
    control.As(&ole);
    ole->SetClientSite(site.Get());
    ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, page, &site->position_);
    auto* pictavo = static_cast<CPictavo*>(control.Get());
    ListView list;
    list.Create(pictavo->Window(), 10, 40, 645, 400);
    Panel panel;
    panel.list = &list;
    pictavo->SetRunPanel(&panel);
    pictavo->SetUploadList(&list);
    BSTR url = bstr(fromUtf8(argv[i]));
    control->put_PostUrl(url);
    SysFreeString(url);
    BSTR fmt = bstr(format);
    control->put_UploadFormat(fmt);
    SysFreeString(fmt);
    control->put_ThumbnailWidth(static_cast<USHORT>(width));
    control->put_ThumbnailHeight(static_cast<USHORT>(height));

    const auto loadStart = Clock::now();
    const int pictures = argc - i - 1;
    for (int f = i + 1; f < argc; ++f) {
        auto* tile = new ListViewPostItem(fromUtf8(argv[f]));
        list.AddItem(tile);
        tile->LoadThumbnail();
    }
    const double loadS = std::chrono::duration<double>(Clock::now() - loadStart).count();

    // Peak memory counts from here: the control with its list loaded is idle.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long idle = statusKib("VmRSS:");
    const auto start = Clock::now();
    pictavo->OnPostClicked();
    MSG msg;
    while (pictavo->IsPosting() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    const double runS = std::chrono::duration<double>(Clock::now() - start).count();
    const long peak = statusKib("VmHWM:");
    std::string status;
    for (char16_t c : pictavo->ProgressText())
        status += c < 0x80 ? static_cast<char>(c) : '?';
    const bool complete = pictavo->ProgressText() == u"所有图片已上传完毕";
    std::printf("%.3f %d %.3f %ld %ld %s\n", runS, pictures, loadS, idle, peak - idle, complete ? "complete" : "failed");

    ole->Close(OLECLOSE_NOSAVE);
    pictavo->SetRunPanel(nullptr);
    pictavo->SetUploadList(nullptr);
    control = nullptr;
    DestroyWindow(page);
    ReleaseSkin();
    return complete ? 0 : 1;
}
