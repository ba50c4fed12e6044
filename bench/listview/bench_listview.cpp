// The upload list under a drop of many photos: time until every thumbnail is loaded, the
// longest the window thread went without handling a message meanwhile, and the time to paint
// the full list and to scroll it one page.
//   bench-listview FILE...        (prints: load_s max_gap_ms paint_ms scroll_ms tiles max_message_ms)

#include "platform/win/Automation.h"
#include "ui/FormBase.h"
#include "ui/FormWindow.h"
#include "ui/ListView.h"
#include "ui/ListViewItem.h"
#include "ui/has_slots.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <time.h>
#include <vector>

#include "platform/kernel/Strings.h"

using Clock = std::chrono::steady_clock;
using pictavo::platform::Automation;

namespace {

constexpr UINT WM_PING = WM_APP + 5;

class PlainForm : public FormBase
{};

struct Done : has_slots
{
    void onLoaded() { loaded = true; }
    bool loaded = false;
};

template <typename F>
double medianMs(int runs, F&& f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::u16string> files;
    for (int i = 1; i < argc; ++i)
        files.push_back(pictavo::platform::fromUtf8(argv[i]));
    if (files.empty()) {
        std::fprintf(stderr, "usage: bench-listview FILE...\n");
        return 2;
    }
    Automation::setScreenSize(1280, 1024);
    PlainForm form;
    FormWindow host(form);
    // The main panel's list: 150 x 151 tiles, four columns.
    HWND window = host.Create(nullptr, RECT{0, 0, 700, 700}, u"bench-listview");
    ListView list;
    list.SetItemSize(150, 151);
    list.Create(window, 10, 10, 4 * 164 + 17 + 8, 640);
    Done done;
    list.thumbnailsLoaded.connect(&done, &Done::onLoaded);
    UpdateWindow(window);

    RECT wr{};
    GetWindowRect(list.m_hWnd, &wr);
    std::atomic<bool> running{true};
    // A steady trickle of messages, so a stalled window thread shows as a gap between them.
    std::thread pinger([&] {
        while (running) {
            PostMessageW(window, WM_PING, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const auto start = Clock::now();
    std::thread dropper([&] { Automation::dropFiles(POINT{wr.left + 40, wr.top + 40}, files); });
    auto lastPing = Clock::now();
    // Measured from the first ping after the drop started the loader.
    bool loadingAtLastPing = false;
    double maxGap = 0;
    // The longest single message in CPU time of the window thread, so time the machine gave to
    // other programs does not count.
    double maxDispatch = 0;
    MSG msg;
    while (!done.loaded && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_PING) {
            const auto now = Clock::now();
            if (loadingAtLastPing && list.IsLoading())
                maxGap = std::max(maxGap, std::chrono::duration<double, std::milli>(now - lastPing).count());
            lastPing = now;
            loadingAtLastPing = list.IsLoading();
            continue;
        }
        const double before = threadCpuMs();
        const bool loading = list.IsLoading();
        DispatchMessageW(&msg);
        if (loading)
            maxDispatch = std::max(maxDispatch, threadCpuMs() - before);
    }
    const double loadS = std::chrono::duration<double>(Clock::now() - start).count();
    running = false;
    pinger.join();
    dropper.join();

    const double paint = medianMs(50, [&] {
        InvalidateRect(list.m_hWnd, nullptr, FALSE);
        UpdateWindow(list.m_hWnd);
    });
    int page = 0;
    const double scroll = medianMs(50, [&] {
        SendMessageW(list.m_hWnd, WM_VSCROLL, MAKEWPARAM(page++ % 8 < 4 ? SB_PAGEDOWN : SB_PAGEUP, 0), 0);
        UpdateWindow(list.m_hWnd);
    });
    int loaded = 0;
    for (ListViewItem* item : list.Items())
        loaded += item->IsLoaded() && item->thumbnail ? 1 : 0;
    std::printf("%.3f %.2f %.2f %.2f %d %.2f\n", loadS, maxGap, paint, scroll, loaded, maxDispatch);
    DestroyWindow(window);
    return loaded == static_cast<int>(files.size()) ? 0 : 1;
}
