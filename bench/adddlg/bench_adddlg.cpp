// The add dialog on a folder of photos, as a person uses it: click the folder in the tree,
// see the first tiles painted, wait for every thumbnail, check all and confirm into the
// upload list.
//   bench-adddlg FOLDER   (prints: first_paint_ms all_thumbnails_s confirm_ms tiles)
// FOLDER's parent's parent is made a drive of the computer, and FOLDER's parent must hold a
// folder "start" without pictures, where the dialog opens.

#include "Biz/ConfigMgr.h"
#include "forms/CFileAddDialog.h"
#include "platform/kernel/Strings.h"
#include "platform/win/Automation.h"
#include "ui/SetUpSkin.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

using Clock = std::chrono::steady_clock;
using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;
namespace fs = std::filesystem;

namespace {

constexpr UINT WM_OPEN_DIALOG = WM_APP + 1;
constexpr UINT WM_STOP_HOST = WM_APP + 2;

ListView* g_upload = nullptr;

LRESULT OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_OPEN_DIALOG) {
        CFileAddDialog dialog;
        dialog.SetTargetList(g_upload);
        dialog.DoModal(hwnd);
        return 0;
    }
    if (message == WM_STOP_HOST) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

const AutomationNode* childOf(const AutomationNode& node, std::u16string_view className)
{
    return node.find(className);
}

int tileCount(const AutomationNode* list, bool loadedOnly)
{
    int n = 0;
    if (list)
        for (const AutomationNode& c : list->children)
            if (c.className.rfind(u"ListView", 0) == 0 && (!loadedOnly || c.value("loaded") == u"1"))
                ++n;
    return n;
}

void clickCentre(const RECT& r)
{
    Automation::click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-adddlg FOLDER\n");
        return 2;
    }
    const fs::path folder = fs::absolute(argv[1]);
    const fs::path drive = folder.parent_path().parent_path();
    const fs::path table = fs::temp_directory_path() / ("bench-adddlg-mounts-" + std::to_string(getpid()));
    std::ofstream(table) << "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                         << "2 1 8:17 / " << drive.string() << " rw - ext4 /dev/sdb1 rw\n";
    setenv("PICTAVO_SHELL_MOUNTINFO", table.c_str(), 1);
    ConfigMgr::Instance()->SetDefaultFolder(pictavo::platform::fromUtf8((folder.parent_path() / "start").string()));
    Automation::setScreenSize(1280, 1024);

    HWND owner = nullptr;
    std::promise<HWND> ready;
    std::thread ui([&] {
        SetUpSkin();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = u"BenchAddDialogOwner";
        RegisterClassExW(&wc);
        HWND window = CreateWindowExW(0, u"BenchAddDialogOwner", u"page", WS_POPUP | WS_VISIBLE, 50, 50, 1000, 800,
                                      nullptr, nullptr, nullptr, nullptr);
        ListView upload;
        upload.SetItemSize(150, 151);
        upload.Create(window, 10, 10, 4 * 164 + 25, 700);
        g_upload = &upload;
        ready.set_value(window);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        upload.StopLoader();
        DestroyWindow(window);
        ReleaseSkin();
    });
    owner = ready.get_future().get();
    PostMessageW(owner, WM_OPEN_DIALOG, 0, 0);
    HWND dialog = Automation::waitForWindow(u"添加图片", {}, 30000);
    if (!dialog || !Automation::waitIdle(dialog, 30000)) {
        std::fprintf(stderr, "bench-adddlg: the dialog did not open\n");
        return 1;
    }
    const std::u16string name = pictavo::platform::fromUtf8(folder.filename().string());
    AutomationNode d = Automation::describe(dialog);
    const AutomationNode* tree = childOf(d, u"SysTreeView32");
    const AutomationNode* item = tree ? tree->find(u"TreeItem", name) : nullptr;
    if (!item) {
        std::fprintf(stderr, "bench-adddlg: %s is not in the tree\n", folder.filename().c_str());
        return 1;
    }

    const auto start = Clock::now();
    clickCentre(item->bounds);
    Automation::picture(dialog, 30000);
    const double firstPaint = msSince(start);

    int tiles = 0;
    for (;;) {
        d = Automation::describe(dialog);
        const AutomationNode* list = childOf(d, u"ListView");
        tiles = tileCount(list, false);
        if (list && list->value("loading") == u"0" && tileCount(list, true) == tiles)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double all = msSince(start) / 1000.0;

    const AutomationNode* box = d.find(u"CheckBox", u"全选");
    clickCentre(box->bounds);
    Automation::waitIdle(dialog);
    RECT confirm{};
    for (const AutomationNode& c : d.children)
        if (c.className == u"Button") {
            confirm = c.bounds;
            break;
        }
    const auto confirmStart = Clock::now();
    clickCentre(confirm);
    Automation::waitForGone(dialog, 30000);
    const double confirmMs = msSince(confirmStart);

    const AutomationNode page = Automation::describe(owner);
    const int moved = tileCount(page.find(u"ListView"), true);
    std::printf("%.2f %.3f %.2f %d %d\n", firstPaint, all, confirmMs, tiles, moved);
    PostMessageW(owner, WM_STOP_HOST, 0, 0);
    ui.join();
    fs::remove(table);
    return moved == tiles ? 0 : 1;
}
