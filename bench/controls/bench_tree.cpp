// Expanding a tree node whose 5,000 children are inserted (each with a "加载中..." placeholder)
// and sorted by a callback in the TVN_ITEMEXPANDINGW handler, as the file-add dialog fills a
// large folder: time from the click on the node's button to the painted, expanded tree.

#include "platform/controls/CommCtrl.h"
#include "platform/win/Automation.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using pictavo::platform::Automation;

namespace {

constexpr int kChildren = 5000;
std::vector<std::u16string> g_paths;
std::atomic<double> g_fillMs{0};

HTREEITEM insert(HWND tree, HTREEITEM parent, const std::u16string& text, LPARAM param)
{
    TVINSERTSTRUCTW is{};
    is.hParent = parent;
    is.hInsertAfter = TVI_LAST;
    is.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    is.item.pszText = const_cast<LPWSTR>(text.c_str());
    is.item.lParam = param;
    return TreeView_InsertItem(tree, &is);
}

int byPath(LPARAM a, LPARAM b, LPARAM)
{
    const auto& x = g_paths[static_cast<size_t>(a)];
    const auto& y = g_paths[static_cast<size_t>(b)];
    return x < y ? -1 : x > y ? 1 : 0;
}

LRESULT formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMTREEVIEWW*>(lParam);
        if (nm->hdr.code == TVN_ITEMEXPANDINGW && nm->action == TVE_EXPAND && nm->itemNew.lParam == -1) {
            const auto start = Clock::now();
            HWND tree = nm->hdr.hwndFrom;
            HTREEITEM node = nm->itemNew.hItem;
            while (HTREEITEM c = TreeView_GetChild(tree, node))
                TreeView_DeleteItem(tree, c);
            // Reverse order so the sort has work to do.
            for (int i = kChildren - 1; i >= 0; --i) {
                HTREEITEM child = insert(tree, node, g_paths[static_cast<size_t>(i)].substr(6), i);
                insert(tree, child, u"加载中...", -2);
            }
            TVSORTCB sort{node, byPath, 0};
            SendMessageW(tree, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
            g_fillMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
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
    for (int i = 0; i < kChildren; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/data/照片文件夹 %04d", i);
        std::string utf8 = name;
        std::u16string path;
        for (size_t k = 0; k < utf8.size();) { // small UTF-8 decoder for the fixed names
            unsigned char c = static_cast<unsigned char>(utf8[k]);
            if (c < 0x80) {
                path.push_back(c);
                k += 1;
            } else {
                path.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((utf8[k + 1] & 0x3F) << 6) |
                                                     (utf8[k + 2] & 0x3F)));
                k += 3;
            }
        }
        g_paths.push_back(path);
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = formProc;
    wc.lpszClassName = u"BenchTreeForm";
    RegisterClassExW(&wc);

    HIMAGELIST icons = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
    std::atomic<HWND> formHandle{nullptr};
    HWND tree = nullptr;
    std::thread ui([&] {
        HWND form = CreateWindowExW(0, u"BenchTreeForm", u"bench", WS_POPUP | WS_VISIBLE, 0, 0, 220, 500, nullptr,
                                    nullptr, nullptr, nullptr);
        tree = CreateWindowExW(0, WC_TREEVIEWW, u"", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES |
                                                        TVS_LINESATROOT,
                               1, 33, 189, 450, form, nullptr, nullptr, nullptr);
        SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(icons));
        HTREEITEM node = insert(tree, TVI_ROOT, u"data", -1);
        insert(tree, node, u"加载中...", -2);
        formHandle = form;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    });
    while (!formHandle)
        std::this_thread::yield();
    HWND form = formHandle;
    Automation::picture(form);

    std::vector<double> times, fills;
    for (int round = 0; round < 9; ++round) {
        auto node = Automation::describe(tree);
        const auto* item = node.find(u"TreeItem", u"data");
        const std::u16string at = item ? item->value("button") : u"";
        if (at.empty())
            return 1;
        const size_t comma = at.find(u',');
        const int x = std::stoi(std::string(at.begin(), at.begin() + comma));
        const int y = std::stoi(std::string(at.begin() + comma + 1, at.end()));
        const auto start = Clock::now();
        Automation::click(x, y);
        auto picture = Automation::picture(form);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (!picture || Automation::describe(tree).children.size() < 20)
            return 1;
        fills.push_back(g_fillMs);
        // Back to an unpopulated node for the next round.
        SendMessageW(tree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET,
                     reinterpret_cast<LPARAM>(TreeView_GetRoot(tree)));
        TVINSERTSTRUCTW is{};
        is.hParent = TreeView_GetRoot(tree);
        is.hInsertAfter = TVI_LAST;
        is.item.mask = TVIF_TEXT | TVIF_PARAM;
        is.item.pszText = const_cast<LPWSTR>(u"加载中...");
        is.item.lParam = -2;
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&is));
        Automation::picture(form);
        std::this_thread::sleep_for(std::chrono::milliseconds(600)); // no double-click with the next
    }
    std::printf("expand a node of %d children (+%d placeholders, sorted by callback) to painted: median %.1f ms "
                "(min %.1f, max %.1f, %zu runs)\n",
                kChildren, kChildren, median(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), times.size());
    std::printf("  of which the handler's inserts and sort: median %.1f ms\n", median(fills));
    PostMessageW(form, WM_CLOSE, 0, 0);
    ui.join();
    ImageList_Destroy(icons);
    return 0;
}
