#include "UiHarness.h"

#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "platform/com/Resource.h"
#include "ui/Drawing.h"
#include "ui/SetUpSkin.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

using pictavo::platform::Automation;

namespace uitest {

namespace {

constexpr UINT WM_RUN = WM_APP + 77;

std::vector<BYTE> encodePicture(int id, int w, int h, bool alpha)
{
    CxImage image;
    image.Create(static_cast<DWORD>(w), static_cast<DWORD>(h), 24);
    const COLORREF c = colourOf(id);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.SetPixelColour(x, y, RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0});
    if (alpha) {
        image.AlphaCreate();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.AlphaSet(x, y, 255);
        // Image rows are bottom-up: the top row is h - 1.
        image.AlphaSet(0, h - 1, 0);
        if (w > 1)
            image.AlphaSet(1, h - 1, 128);
    }
    CxMemFile file;
    file.Open();
    image.Encode(&file, ImageFormat::Png);
    const int32_t size = file.Size();
    return std::vector<BYTE>(file.GetBuffer(), file.GetBuffer() + size);
}

struct TestSkin
{
    std::vector<std::vector<BYTE>> data;
    std::vector<pictavo::platform::ResourceEntry> entries;
    HMODULE module = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x5C1A0000));

    TestSkin()
    {
        auto add = [&](int id, int w, int h, bool alpha) {
            data.push_back(encodePicture(id, w, h, alpha));
        };
        for (const SkinPicture& p : SkinPictures())
            add(p.resourceId, p.width, p.height, p.alpha);
        add(kSpriteSheetId, 96, 16, true);
        int i = 0;
        for (const SkinPicture& p : SkinPictures())
            entries.push_back({u"PNG", 0, nullptr, static_cast<WORD>(p.resourceId), data[i].data(),
                               static_cast<DWORD>(data[i].size())}),
                ++i;
        entries.push_back({u"PNG", 0, nullptr, kSpriteSheetId, data[i].data(), static_cast<DWORD>(data[i].size())});
        pictavo::platform::registerResources(module, entries);
    }
};

} // namespace

COLORREF colourOf(int id)
{
    return RGB(id, (id * 7) & 0xFF, 255 - id);
}

HMODULE skinModule()
{
    static TestSkin* skin = new TestSkin;
    return skin->module;
}

void useTestSkin()
{
    static std::once_flag once;
    std::call_once(once, [] { SetUpSkin(skinModule()); });
}

void TestForm::OnPaint(Quendal::UI::CPaintEventArgs& e)
{
    Quendal::UI::FillSolid(e.hdc, bounds, background);
    FormBase::OnPaint(e);
}

FormThread::FormThread(FormBase& form, RECT rect, Setup setup, OwnMap ownMap) : form_(form)
{
    std::mutex m;
    std::condition_variable cv;
    bool ready = false;
    thread_ = std::thread([&, rect] {
        auto map = [ownMap](HWND h, UINT msg, WPARAM w, LPARAM l, LRESULT& r) -> BOOL {
            if (msg == WM_RUN) {
                (*reinterpret_cast<const std::function<void()>*>(l))();
                r = 0;
                return TRUE;
            }
            if (msg == WM_DESTROY)
                PostQuitMessage(0);
            return ownMap ? ownMap(h, msg, w, l, r) : FALSE;
        };
        FormWindow host(form_, map);
        HWND created = host.Create(nullptr, rect, u"ui-test");
        setup(form_, created);
        form_.LayoutChildren();
        InvalidateRect(created, nullptr, FALSE);
        {
            // Notified under the lock: the waiter owns the condition and may return at once.
            std::lock_guard lock(m);
            window_ = created;
            ready = true;
            cv.notify_all();
        }
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    });
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return ready; });
}

FormThread::~FormThread()
{
    if (IsWindow(window_))
        PostMessageW(window_, WM_CLOSE, 0, 0);
    Automation::waitForGone(window_, 5000);
    thread_.join();
}

void FormThread::call(const std::function<void()>& fn)
{
    SendMessageW(window_, WM_RUN, 0, reinterpret_cast<LPARAM>(&fn));
}

POINT FormThread::screen(int x, int y)
{
    POINT p{x, y};
    call([&] { ClientToScreen(window_, &p); });
    return p;
}

COLORREF FormThread::pixel(int x, int y)
{
    Automation::waitIdle(window_);
    auto picture = Automation::picture(window_);
    if (!picture)
        return CLR_INVALID;
    RECT wr{};
    Automation::windowRect(window_, wr);
    const POINT s = screen(x, y);
    const int px = s.x - wr.left, py = s.y - wr.top;
    if (px < 0 || py < 0 || px >= picture->width() || py >= picture->height())
        return CLR_INVALID;
    const uint8_t* p = picture->pixels() + (py * picture->width() + px) * 4;
    return RGB(p[2], p[1], p[0]);
}

} // namespace uitest
