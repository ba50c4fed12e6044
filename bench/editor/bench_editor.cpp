// The edit window on one big photo, as a person uses it: the edit tool to the painted window
// (the tile's picture decoded from its file, as the list leaves it), one step of the
// brightness and contrast sliders each to the repainted view, one saturation run to the
// repainted view, and "确定" to the tile holding the new picture (right after opening, and
// after a slider step, when the whole picture goes back). Medians of RUNS.
//   bench-editor FILE [RUNS]

#include "forms/ImageEditForm.h"
#include "platform/kernel/Strings.h"
#include "platform/win/Automation.h"
#include "ui/ListViewPostItem.h"
#include "ui/SetUpSkin.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;

namespace {

double ms(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

POINT centreOf(const RECT& r)
{
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

const AutomationNode* findAt(const AutomationNode& n, std::u16string_view cls, LONG x, LONG y)
{
    if (n.className == cls && n.bounds.left == x && n.bounds.top == y)
        return &n;
    for (const auto& c : n.children)
        if (const AutomationNode* f = findAt(c, cls, x, y))
            return f;
    return nullptr;
}

// One opening of the window on its own UI thread.
class Session
{
public:
    explicit Session(ListViewPostItem& tile)
    {
        start_ = Clock::now();
        thread_ = std::thread([this, &tile] {
            ImageEditForm form(tile);
            form.DoModal(nullptr);
            closed_ = Clock::now();
            done_ = true;
        });
        dialog_ = Automation::waitForWindow(u"编辑图片", {}, 30000);
        Automation::picture(dialog_, 30000);
        painted_ = Clock::now();
        Automation::windowRect(dialog_, rect_);
    }
    ~Session()
    {
        if (!done_)
            Automation::pressKey(VK_ESCAPE);
        thread_.join();
    }
    double openMs() const { return ms(start_, painted_); }
    void clickAt(POINT p)
    {
        Automation::click(p.x, p.y);
        Automation::picture(dialog_, 30000);
    }
    void click(std::u16string_view text)
    {
        const AutomationNode t = Automation::describe(dialog_);
        if (const AutomationNode* b = t.find(u"Button", text))
            clickAt(centreOf(b->bounds));
    }
    // Time from the press to the repainted window.
    double timedClick(std::u16string_view text)
    {
        const AutomationNode t = Automation::describe(dialog_);
        const AutomationNode* b = t.find(u"Button", text);
        if (!b)
            return -1;
        const POINT p = centreOf(b->bounds);
        const auto t0 = Clock::now();
        clickAt(p);
        return ms(t0, Clock::now());
    }
    // Slider steps of `pixels` each, each timed to the repainted view.
    std::vector<double> sliderSteps(LONG dx, LONG dy, int steps, int pixels)
    {
        const AutomationNode t = Automation::describe(dialog_);
        const AutomationNode* slider = findAt(t, u"ExtTrackBar", rect_.left + dx, rect_.top + dy);
        std::vector<double> times;
        if (!slider) {
            std::fprintf(stderr, "no slider at %ld,%ld\n", static_cast<long>(dx), static_cast<long>(dy));
            return times;
        }
        POINT p{slider->bounds.left + 54 + 7, slider->bounds.top + 7};
        Automation::moveMouse(p.x, p.y);
        Automation::press();
        Automation::picture(dialog_, 30000);
        for (int i = 0; i < steps; ++i) {
            p.x += (i % 2 ? -pixels : pixels);
            const auto t0 = Clock::now();
            Automation::moveMouse(p.x, p.y);
            Automation::picture(dialog_, 30000);
            times.push_back(ms(t0, Clock::now()));
            if (getenv("BENCH_DEBUG")) {
                const AutomationNode now = Automation::describe(dialog_);
                const AutomationNode* m = findAt(now, u"ExtTrackBar", rect_.left + dx, rect_.top + dy);
                std::fprintf(stderr, "step %d at %ld: value %s pressed %s %s\n", i, static_cast<long>(p.x),
                             std::string(m->value("value").begin(), m->value("value").end()).c_str(),
                             std::string(m->value("pressed").begin(), m->value("pressed").end()).c_str(), shown().c_str());
            }
        }
        Automation::release();
        Automation::picture(dialog_, 30000);
        const AutomationNode after = Automation::describe(dialog_);
        if (const AutomationNode* moved = findAt(after, u"ExtTrackBar", rect_.left + dx, rect_.top + dy))
            if (getenv("BENCH_DEBUG"))
                std::fprintf(stderr, "slider value %s visible %d\n",
                             std::string(moved->value("value").begin(), moved->value("value").end()).c_str(), moved->visible);
        return times;
    }
    // The picture the canvas shows, "WIDTHxHEIGHT".
    std::string shown()
    {
        const AutomationNode t = Automation::describe(dialog_);
        const AutomationNode* c = t.find(u"ImageEditor");
        if (!c)
            return "?";
        const std::u16string w = c->value("pictureWidth"), h = c->value("pictureHeight");
        return std::string(w.begin(), w.end()) + "x" + std::string(h.begin(), h.end());
    }
    double ok()
    {
        const AutomationNode t = Automation::describe(dialog_);
        const AutomationNode* b = t.find(u"Button", u"确定");
        const POINT p = centreOf(b->bounds);
        const auto t0 = Clock::now();
        Automation::click(p.x, p.y);
        while (!done_)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return ms(t0, closed_);
    }

private:
    std::thread thread_;
    HWND dialog_ = nullptr;
    RECT rect_{};
    Clock::time_point start_, painted_, closed_;
    std::atomic<bool> done_{false};
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-editor FILE [RUNS]\n");
        return 2;
    }
    const std::u16string file = pictavo::platform::fromUtf8(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    Automation::setScreenSize(1280, 1024);
    std::thread([] { SetUpSkin(); }).join();

    std::vector<double> open, decode, okOpened, light, contrast, saturate, okWhole;
    for (int r = 0; r < runs; ++r) {
        ListViewPostItem tile(file);
        tile.LoadThumbnail();
        {
            // What the tool costs before any window: the picture's pixels from the file.
            ListViewPostItem probe(file);
            probe.LoadThumbnail();
            const auto t0 = Clock::now();
            GpRect all{0, 0, 1, 1};
            BitmapData data{};
            if (GdipBitmapLockBits(probe.image, &all, ImageLockModeRead, PixelFormat32bppARGB, &data) == Ok)
                GdipBitmapUnlockBits(probe.image, &data);
            decode.push_back(ms(t0, Clock::now()));
        }
        {
            Session s(tile);
            open.push_back(s.openMs());
            okOpened.push_back(s.ok());
        }
        // OK left the reduced picture in the tile: the slider runs get the file's again.
        ListViewPostItem whole(file);
        whole.LoadThumbnail();
        {
            Session s(whole);
            s.click(u"调整亮度");
            for (double t : s.sliderSteps(119, 31, 4, 3))
                light.push_back(t);
            for (double t : s.sliderSteps(334, 31, 4, 3))
                contrast.push_back(t);
            if (r == 0)
                std::printf("after the slider steps the view shows %s\n", s.shown().c_str());
            s.click(u"饱和度");
            saturate.push_back(s.timedClick(u"调整"));
            okWhole.push_back(s.ok());
        }
    }
    std::printf("picture %s, %d runs (medians, ms)\n", argv[1], runs);
    std::printf("edit tool to painted window        %8.1f   (of which decoding the file %.1f)\n", median(open),
                median(decode));
    std::printf("brightness slider step to view     %8.1f\n", median(light));
    std::printf("contrast slider step to view       %8.1f\n", median(contrast));
    std::printf("saturation run to view             %8.1f\n", median(saturate));
    std::printf("OK to tile, right after opening    %8.1f\n", median(okOpened));
    std::printf("OK to tile, whole picture          %8.1f\n", median(okWhole));
    return 0;
}
