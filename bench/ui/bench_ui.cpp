// Toolkit timings: a form of 200 elements repainted into its back buffer, a mouse move up to
// the repainted hover look, and signal emission.
//   bench-ui

#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "platform/com/Resource.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ExtForm.h"
#include "ui/FormWindow.h"
#include "ui/Label.h"
#include "ui/SetUpSkin.h"
#include "ui/signal0.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <list>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;
using Quendal::UI::Controls::Button;
using Quendal::UI::Controls::CheckBox;

namespace {

// Skin pictures of the table's sizes with alpha, so drawing costs what the real art costs.
HMODULE benchSkin()
{
    static std::vector<std::vector<BYTE>> data;
    static std::vector<pictavo::platform::ResourceEntry> entries;
    HMODULE module = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0xBE0C0000));
    for (const SkinPicture& p : SkinPictures()) {
        CxImage image;
        image.Create(static_cast<DWORD>(p.width), static_cast<DWORD>(p.height), 24);
        if (p.alpha)
            image.AlphaCreate();
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                image.SetPixelColour(x, y, RGBQUAD{static_cast<BYTE>(x * 3), static_cast<BYTE>(y * 5), 200, 0});
                if (p.alpha)
                    image.AlphaSet(x, y, static_cast<BYTE>(x == 0 || y == 0 ? 0 : 255));
            }
        CxMemFile file;
        file.Open();
        image.Encode(&file, ImageFormat::Png);
        data.emplace_back(file.GetBuffer(), file.GetBuffer() + file.Size());
    }
    size_t i = 0;
    for (const SkinPicture& p : SkinPictures()) {
        entries.push_back({u"PNG", 0, nullptr, static_cast<WORD>(p.resourceId), data[i].data(),
                           static_cast<DWORD>(data[i].size())});
        ++i;
    }
    pictavo::platform::registerResources(module, entries);
    return module;
}

class BenchForm : public ExtForm
{
public:
    void OnPaint(Quendal::UI::CPaintEventArgs& e) override
    {
        ExtForm::OnPaint(e);
        ControlBase::OnPaint(e);
    }
};

template <typename F>
double medianMs(int runs, F&& f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

struct Receiver : has_slots
{
    void onFire() { ++count; }
    long count = 0;
};

} // namespace

int main()
{
    SetUpSkin(benchSkin());
    BenchForm form;
    form.SetCaption(u"两百个元素");
    form.SetIconName("IcoAdd");
    FormWindow host(form);
    HWND window = host.Create(nullptr, RECT{0, 0, 1000, 700}, u"bench-ui");
    std::list<Button> buttons;
    std::list<CheckBox> checks;
    std::list<Label> labels;
    for (int i = 0; i < 200; ++i) {
        const int x = 10 + (i % 10) * 98, y = 40 + (i / 10) * 31;
        switch (i % 3) {
        case 0:
            buttons.emplace_back().Create(form, u"按钮" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
            buttons.back().SetSize(72, 25);
            buttons.back().SetMargins(x, y, 0, 0);
            break;
        case 1:
            checks.emplace_back().Create(form, u"选择项");
            checks.back().SetMargins(x, y, 0, 0);
            break;
        default:
            labels.emplace_back().SetMargins(x, y, 0, 0);
            labels.back().Create(form, u"标签 label");
            break;
        }
    }
    form.LayoutChildren();
    UpdateWindow(window);

    // Full repaint of the tree into the back buffer, as WM_PAINT does it.
    HDC windowDc = GetDC(window);
    HDC buffer = CreateCompatibleDC(windowDc);
    HDC scratch = CreateCompatibleDC(windowDc);
    HGDIOBJ old = SelectObject(buffer, form.backBuffer);
    const double repaint = medianMs(200, [&] {
        GpGraphics* graphics = nullptr;
        GdipCreateFromHDC(buffer, &graphics);
        Quendal::UI::CPaintEventArgs e;
        e.hdc = buffer;
        e.scratchDc = scratch;
        e.graphics = graphics;
        form.OnPaint(e);
        GdipDeleteGraphics(graphics);
    });
    SelectObject(buffer, old);
    DeleteDC(scratch);
    DeleteDC(buffer);
    ReleaseDC(window, windowDc);

    // Whole WM_PAINT: back buffer, copy to the window.
    const double wmPaint = medianMs(200, [&] {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    });

    // A move onto the next button, up to its repainted hover look.
    auto it = buttons.begin();
    const double hover = medianMs(400, [&] {
        if (++it == buttons.end())
            it = buttons.begin();
        const RECT& b = it->bounds;
        SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(b.left + 5, b.top + 5));
        UpdateWindow(window);
    });
    const bool hovered = it->state & ControlBase::Hover;

    signal0 fire;
    std::vector<Receiver> receivers(10);
    for (Receiver& r : receivers)
        fire.connect(&r, &Receiver::onFire);
    constexpr int emissions = 1000000;
    auto start = Clock::now();
    for (int i = 0; i < emissions; ++i)
        fire();
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / emissions;

    std::printf("form of 200 elements, 1000x700:\n");
    std::printf("  repaint into the back buffer   %.3f ms (median of 200)\n", repaint);
    std::printf("  WM_PAINT (buffer + copy)       %.3f ms\n", wmPaint);
    std::printf("  mouse move to hover repaint    %.3f ms (median of 400)%s\n", hover, hovered ? "" : " [no hover!]");
    std::printf("signal with 10 receivers: %.1f ns per emission (%d emissions, %ld calls each)\n", ns, emissions,
                receivers[0].count);
    DestroyWindow(window);
    ReleaseSkin();
    return hovered && receivers[9].count == emissions ? 0 : 1;
}
