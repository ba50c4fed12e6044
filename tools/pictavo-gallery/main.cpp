// Shows every control of the toolkit in each of its states and every skin picture:
//   pictavo-gallery OUT.png
// Runs on the headless display; exit 0 when the picture was written.

#include "GalleryForm.h"

#include "platform/win/Automation.h"
#include "ui/FormWindow.h"
#include "ui/SetUpSkin.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

using pictavo::platform::Automation;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pictavo-gallery OUT.png\n");
        return 2;
    }
    std::mutex m;
    std::condition_variable cv;
    HWND shown = nullptr;
    bool ready = false;
    std::thread ui([&] {
        SetUpSkin();
        GalleryForm form;
        FormWindow host(form, [](HWND, UINT message, WPARAM, LPARAM, LRESULT&) -> BOOL {
            if (message == WM_DESTROY)
                PostQuitMessage(0);
            return FALSE;
        });
        HWND window = host.Create(nullptr, RECT{0, 0, 1180, 860}, u"pictavo-gallery");
        if (window) {
            form.Build(window);
            form.LayoutChildren();
            InvalidateRect(window, nullptr, FALSE);
        }
        {
            std::lock_guard lock(m);
            shown = window;
            ready = true;
            cv.notify_all();
        }
        MSG msg;
        while (window && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ReleaseSkin();
    });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return ready; });
    }
    int status = 1;
    if (shown) {
        Automation::waitIdle(shown);
        auto picture = Automation::picture(shown);
        if (picture && Automation::savePng(picture, argv[1]))
            status = 0;
        else
            std::fprintf(stderr, "pictavo-gallery: could not write %s\n", argv[1]);
        PostMessageW(shown, WM_CLOSE, 0, 0);
    } else {
        std::fprintf(stderr, "pictavo-gallery: no window\n");
    }
    ui.join();
    return status;
}
