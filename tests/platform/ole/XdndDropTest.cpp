#include "platform/com/RefCounted.h"
#include "platform/kernel/Synch.h"
#include "platform/kernel/Tick.h"
#include "platform/ole/Ole2.h"
#include "platform/win/Automation.h"
#include "platform/win/Display.h"

#include "support/DataObjects.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace pictavo::platform;

namespace {

// Takes file lists and records what arrived, on the window's thread.
class FileTarget final : public RefCounted<IDropTarget>
{
public:
    std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<std::u16string> files;
    HWND window = nullptr;

    HRESULT DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override
    {
        FORMATETC f{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        std::lock_guard lk(mutex);
        calls.push_back("enter");
        *effect = data->QueryGetData(&f) == S_OK ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT DragOver(DWORD, POINTL, DWORD* effect) override
    {
        std::lock_guard lk(mutex);
        calls.push_back("over");
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT DragLeave() override
    {
        std::lock_guard lk(mutex);
        calls.push_back("leave");
        return S_OK;
    }
    HRESULT Drop(IDataObject* data, DWORD, POINTL at, DWORD*) override
    {
        auto paths = pictavo::test::droppedPaths(data);
        std::lock_guard lk(mutex);
        calls.push_back("drop");
        POINT client{at.x, at.y};
        window = WindowFromPoint(client);
        files = paths;
        return S_OK;
    }
};

LRESULT quitOnDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY && !GetParent(hwnd))
        PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

// A file manager drags two files onto a real window through the X server's drag protocol: the
// window's drop target gets them as one list, at the pointer, on the window's thread.
TEST(XdndDrop, FilesFromAnotherProgramReachTheTargetUnderThePointer)
{
    const std::string source = std::string(std::getenv("PICTAVO_BIN") ? std::getenv("PICTAVO_BIN") : "") + "/xdnd-source";
    if (!std::filesystem::exists("/usr/bin/Xvfb") || !std::filesystem::exists(source))
        GTEST_SKIP() << "Xvfb or the xdnd-source client is missing: drops from other programs are not tested";
    pictavo::test::Xvfb x(500 + getpid() % 400);
    if (!x.ready())
        GTEST_SKIP() << "Xvfb did not start";
    setenv("DISPLAY", x.name().c_str(), 1);

    auto target = makeCom<FileTarget>();
    std::atomic<HWND> childWindow{nullptr};
    std::atomic<int> chose{-1};
    std::thread ui([&] {
        chose = static_cast<int>(startDisplay(DisplayKind::Sdl));
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = quitOnDestroy;
        wc.lpszClassName = u"XdndTestWindow";
        RegisterClassExW(&wc);
        HWND form = CreateWindowExW(0, u"XdndTestWindow", u"XDND e2e", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200,
                                    nullptr, nullptr, nullptr, nullptr);
        HWND child = CreateWindowExW(0, u"XdndTestWindow", u"", WS_CHILD | WS_VISIBLE, 150, 50, 100, 100, form,
                                     nullptr, nullptr, nullptr);
        RegisterDragDrop(child, target.Get());
        childWindow = child;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        RevokeDragDrop(child);
        stopDisplay();
    });
    HWND form = Automation::waitForWindow(u"XDND e2e", {}, 5000);
    ASSERT_TRUE(form);
    ASSERT_EQ(chose, static_cast<int>(DisplayKind::Sdl));
    Sleep(300); // let the window be mapped

    // Over the child that has the target: the files arrive there.
    EXPECT_EQ(x.run(source + " 300 200 /tmp/一.jpg '/tmp/two words.png'"), 0);
    bool arrived = false;
    for (int i = 0; i < 250 && !arrived; ++i) {
        Sleep(20);
        std::lock_guard lk(target->mutex);
        arrived = !target->files.empty();
    }
    ASSERT_TRUE(arrived);
    {
        std::lock_guard lk(target->mutex);
        EXPECT_EQ(target->files, (std::vector<std::u16string>{u"/tmp/一.jpg", u"/tmp/two words.png"}));
        EXPECT_EQ(target->calls, (std::vector<std::string>{"enter", "over", "drop"}));
        EXPECT_EQ(target->window, childWindow.load());
    }

    PostMessageW(form, WM_CLOSE, 0, 0);
    ui.join();
}
