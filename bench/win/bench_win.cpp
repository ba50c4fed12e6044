// Round trip of a cross-thread SendMessage, and composing a full 1024 x 768 top-level window
// with 20 painted children into its picture.

#include "platform/gfx/Canvas.h"
#include "platform/win/Automation.h"
#include "platform/win/WinUser.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

LRESULT echoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER)
        return lParam + 1;
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(reinterpret_cast<uintptr_t>(hwnd) * 2654435761u) &
                                    0xFFFFFF);
        FillRect(dc, &r, b);
        DeleteObject(b);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = echoProc;
    wc.lpszClassName = u"Bench";
    RegisterClassExW(&wc);

    // The window's thread runs an ordinary loop; this thread sends.
    std::atomic<HWND> target{nullptr};
    std::thread ui([&] {
        target =
            CreateWindowExW(0, u"Bench", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
        DestroyWindow(target);
    });
    while (!target)
        std::this_thread::yield();
    const int sends = 20000;
    for (int i = 0; i < 1000; ++i)
        SendMessageW(target, WM_USER, 0, i);
    auto start = Clock::now();
    long long sum = 0;
    for (int i = 0; i < sends; ++i)
        sum += SendMessageW(target, WM_USER, 0, i);
    const double sendUs = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / sends;
    PostMessageW(target, WM_QUIT, 0, 0);
    ui.join();

    HWND top = CreateWindowExW(0, u"Bench", u"", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, nullptr, nullptr,
                               nullptr, nullptr);
    for (int i = 0; i < 20; ++i)
        CreateWindowExW(0, u"Bench", u"", WS_CHILD | WS_VISIBLE, (i % 5) * 200 + 4, (i / 5) * 190 + 4, 190,
                        180, top, nullptr, nullptr, nullptr);
    std::vector<double> compose;
    for (int round = 0; round < 30; ++round) {
        InvalidateRect(top, nullptr, TRUE);
        for (HWND c = GetWindow(top, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            InvalidateRect(c, nullptr, TRUE);
        start = Clock::now();
        auto picture = pictavo::platform::Automation::picture(top);
        compose.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (!picture)
            return 1;
    }
    // Composition alone, nothing to repaint.
    std::vector<double> composeOnly;
    for (int round = 0; round < 30; ++round) {
        start = Clock::now();
        pictavo::platform::Automation::picture(top);
        composeOnly.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("cross-thread SendMessage round trip: %.2f us (%d sends, check %lld)\n", sendUs, sends, sum);
    std::printf("1024x768 + 20 children, repaint all and compose: median %.2f ms\n", median(compose));
    std::printf("1024x768 + 20 children, compose only: median %.2f ms\n", median(composeOnly));
    DestroyWindow(top);
    return 0;
}
