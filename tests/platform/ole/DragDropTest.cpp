#include "platform/com/RefCounted.h"
#include "platform/kernel/Synch.h"
#include "platform/ole/Ole2.h"
#include "platform/win/Automation.h"
#include "support/DataObjects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

using namespace pictavo::platform;

namespace {

// Windows whose procedure is a closure, created on the thread that runs it.
std::mutex g_mutex;
std::map<HWND, std::function<bool(UINT, WPARAM, LPARAM)>> g_procs;
thread_local std::function<bool(UINT, WPARAM, LPARAM)> t_pending;

LRESULT procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::function<bool(UINT, WPARAM, LPARAM)> proc;
    {
        std::lock_guard lk(g_mutex);
        auto it = g_procs.find(hwnd);
        if (it == g_procs.end() && t_pending)
            it = g_procs.emplace(hwnd, t_pending).first;
        if (it != g_procs.end())
            proc = it->second;
    }
    if (message == WM_DESTROY && !GetParent(hwnd))
        PostQuitMessage(0);
    if (proc && proc(message, wParam, lParam))
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND window(DWORD style, int x, int y, int w, int h, HWND parent, std::function<bool(UINT, WPARAM, LPARAM)> proc = {})
{
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.lpszClassName = u"DropTestWindow";
        RegisterClassExW(&wc);
    });
    t_pending = std::move(proc);
    HWND hwnd = CreateWindowExW(0, u"DropTestWindow", u"drops", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
    t_pending = nullptr;
    return hwnd;
}

void pumpUntilQuit()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Records the conversation; accepts copy when the data carries the wanted format.
class RecordingTarget final : public RefCounted<IDropTarget>
{
public:
    explicit RecordingTarget(CLIPFORMAT wanted) : wanted_(wanted) {}
    std::vector<std::string> calls;
    std::vector<std::u16string> files;
    DWORD dropKeys = 0;
    POINTL dropPoint{};

    HRESULT DragEnter(IDataObject* data, DWORD keys, POINTL, DWORD* effect) override
    {
        FORMATETC f{wanted_, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        accept_ = data->QueryGetData(&f) == S_OK;
        calls.push_back("enter");
        *effect = accept_ ? ((keys & MK_CONTROL) || !(*effect & DROPEFFECT_MOVE) ? DROPEFFECT_COPY : DROPEFFECT_MOVE)
                          : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT DragOver(DWORD keys, POINTL, DWORD* effect) override
    {
        if (calls.empty() || calls.back() != "over")
            calls.push_back("over");
        *effect = accept_ ? ((keys & MK_CONTROL) || !(*effect & DROPEFFECT_MOVE) ? DROPEFFECT_COPY : DROPEFFECT_MOVE)
                          : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT DragLeave() override
    {
        calls.push_back("leave");
        return S_OK;
    }
    HRESULT Drop(IDataObject* data, DWORD keys, POINTL at, DWORD*) override
    {
        calls.push_back("drop");
        dropKeys = keys;
        dropPoint = at;
        if (wanted_ == CF_HDROP)
            files = pictavo::test::droppedPaths(data);
        return S_OK;
    }

private:
    CLIPFORMAT wanted_;
    bool accept_ = false;
};

// A list's item drag: one private format holding a 32-bit id.
class ItemData final : public pictavo::test::DataObjectStub
{
public:
    ItemData(CLIPFORMAT format, int id) : format_(format), id_(id) {}
    HRESULT GetData(FORMATETC* f, STGMEDIUM* m) override
    {
        if (QueryGetData(f) != S_OK)
            return DV_E_FORMATETC;
        m->tymed = TYMED_HGLOBAL;
        m->hGlobal = GlobalAlloc(GMEM_FIXED, 4);
        std::memcpy(m->hGlobal, &id_, 4);
        m->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT QueryGetData(FORMATETC* f) override
    {
        return f->cfFormat == format_ && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }

private:
    CLIPFORMAT format_;
    int id_;
};

class Source final : public RefCounted<IDropSource>
{
public:
    HRESULT QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return keys & MK_LBUTTON ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

} // namespace

TEST(DropFiles, ListsPathsWholeAndSurvivesDamagedBlocks)
{
    // A name that is not UTF-8 arrives as lone surrogates and must come back unchanged.
    const std::u16string odd = u"/tmp/\xDCFF\xDC80.jpg";
    HGLOBAL block = makeDropFiles({u"/tmp/照片 1.jpg", odd}, POINT{3, 4});
    auto drop = static_cast<HDROP>(block);
    ASSERT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileW(drop, 1, nullptr, 0), odd.size());
    WCHAR buffer[64];
    ASSERT_EQ(DragQueryFileW(drop, 1, buffer, 64), odd.size());
    EXPECT_EQ(std::u16string(buffer), odd);
    EXPECT_EQ(DragQueryFileW(drop, 0, buffer, 6), 5u) << "a short buffer gets a cut copy, NUL-terminated";
    EXPECT_EQ(std::u16string(buffer), u"/tmp/");
    EXPECT_EQ(DragQueryFileW(drop, 2, buffer, 64), 0u);
    POINT pt{};
    EXPECT_TRUE(DragQueryPoint(drop, &pt));
    EXPECT_EQ(pt.y, 4);

    // The list's end is missing: reading stops at the block's end.
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    auto* chars = reinterpret_cast<char16_t*>(reinterpret_cast<BYTE*>(header) + header->pFiles);
    const size_t count = (GlobalSize(block) - header->pFiles) / 2;
    for (size_t i = 0; i < count; ++i)
        if (!chars[i])
            chars[i] = u'x';
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 1u);
    header->pFiles = 1 << 20;
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 0u);
    GlobalUnlock(block);
    DragFinish(drop);
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 0u) << "a freed list is refused";
}

TEST(ClipboardFormats, NamesMapToOneNumberWhateverTheirCase)
{
    UINT a = RegisterClipboardFormatW(u"ListViewItem");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatW(u"LISTVIEWITEM"), a);
    EXPECT_NE(RegisterClipboardFormatW(u"Other"), a);
    EXPECT_EQ(RegisterClipboardFormatW(u""), 0u);
    WCHAR name[32];
    EXPECT_EQ(GetClipboardFormatNameW(a, name, 32), 12);
    EXPECT_EQ(std::u16string(name), u"ListViewItem");
    EXPECT_EQ(GetClipboardFormatNameW(CF_HDROP, name, 32), 0);
}

// Files dropped from outside reach the target of the window under the pointer (or of its
// nearest registered ancestor) as enter, over, drop, with the point in screen coordinates.
TEST(DragDrop, FilesDroppedFromOutsideReachTheRegisteredTarget)
{
    auto target = makeCom<RecordingTarget>(CF_HDROP);
    std::atomic<HWND> top{nullptr}, child{nullptr};
    std::thread ui([&] {
        HWND t = window(WS_POPUP | WS_VISIBLE, 100, 100, 200, 150, nullptr);
        HWND c = window(WS_CHILD | WS_VISIBLE, 10, 10, 80, 60, t);
        EXPECT_EQ(RegisterDragDrop(t, target.Get()), S_OK);
        EXPECT_EQ(RegisterDragDrop(t, target.Get()), DRAGDROP_E_ALREADYREGISTERED);
        top = t;
        child = c;
        pumpUntilQuit();
    });
    HWND form = Automation::waitForWindow(u"drops", {}, 5000);
    ASSERT_TRUE(form);
    while (!child)
        std::this_thread::yield();
    Automation::dropFiles(POINT{130, 125}, {u"/tmp/a.jpg", u"/tmp/图.png"});
    ASSERT_TRUE(Automation::waitIdle(form));
    SendMessageW(form, WM_NULL, 0, 0);
    EXPECT_EQ(target->calls, (std::vector<std::string>{"enter", "over", "drop"}));
    EXPECT_EQ(target->files, (std::vector<std::u16string>{u"/tmp/a.jpg", u"/tmp/图.png"}));
    EXPECT_EQ(target->dropPoint.x, 130);
    EXPECT_EQ(target->dropPoint.y, 125);
    EXPECT_FALSE(target->dropKeys & MK_LBUTTON);

    HWND c = child;
    PostMessageW(form, WM_NULL, 0, 0);
    SendMessageW(form, WM_NULL, 0, 0);
    EXPECT_EQ(RevokeDragDrop(form), S_OK);
    EXPECT_EQ(RevokeDragDrop(form), DRAGDROP_E_NOTREGISTERED);
    target->calls.clear();
    Automation::dropFiles(POINT{130, 125}, {u"/tmp/a.jpg"});
    ASSERT_TRUE(Automation::waitIdle(form));
    SendMessageW(c, WM_NULL, 0, 0);
    EXPECT_TRUE(target->calls.empty()) << "after revoking, nothing is dropped";
    PostMessageW(form, WM_CLOSE, 0, 0);
    ui.join();
}

// An item dragged inside the program: the loop follows the pointer from window to window,
// shows the effect as the cursor, drops on release and cancels on Escape.
TEST(DragDrop, LoopFollowsThePointerDropsOnReleaseAndCancelsOnEscape)
{
    const CLIPFORMAT item = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(u"ListViewItem"));
    auto target = makeCom<RecordingTarget>(item);
    std::atomic<HRESULT> result{E_FAIL};
    std::atomic<DWORD> effect{99};
    std::atomic<int> drags{0};
    std::thread ui([&] {
        HWND t = window(WS_POPUP | WS_VISIBLE, 0, 0, 300, 100, nullptr, [&](UINT m, WPARAM, LPARAM) {
            if (m != WM_LBUTTONDOWN)
                return false;
            auto data = makeCom<ItemData>(item, 42);
            auto source = makeCom<Source>();
            DWORD e = 0;
            ++drags;
            result = DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY, &e);
            effect = e;
            return true;
        });
        HWND left = window(WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, t);
        HWND right = window(WS_CHILD | WS_VISIBLE, 200, 0, 100, 100, t);
        (void)left;
        RegisterDragDrop(right, target.Get());
        pumpUntilQuit();
    });
    HWND form = Automation::waitForWindow(u"drops", {}, 5000);
    ASSERT_TRUE(form);
    Automation::moveMouse(150, 50);
    Automation::press();
    Automation::moveMouse(160, 50);
    ASSERT_TRUE(Automation::waitIdle(form));
    EXPECT_EQ(Automation::cursor(), LoadCursorW(nullptr, IDC_NO)) << "nothing takes the item here";
    Automation::moveMouse(250, 50);
    ASSERT_TRUE(Automation::waitIdle(form));
    EXPECT_EQ(Automation::cursor(), dragCursor(DROPEFFECT_COPY));
    Automation::release();
    ASSERT_TRUE(Automation::waitIdle(form));
    EXPECT_EQ(result.load(), DRAGDROP_S_DROP);
    EXPECT_EQ(effect.load(), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(target->calls, (std::vector<std::string>{"enter", "drop"}));

    target->calls.clear();
    Automation::moveMouse(150, 50);
    Automation::press();
    Automation::moveMouse(250, 50);
    Automation::pressKey(VK_ESCAPE);
    ASSERT_TRUE(Automation::waitIdle(form));
    EXPECT_EQ(result.load(), DRAGDROP_S_CANCEL);
    EXPECT_EQ(effect.load(), static_cast<DWORD>(DROPEFFECT_NONE));
    // The loop may start with the pointer already over the target (input is asynchronous).
    ASSERT_GE(target->calls.size(), 2u);
    EXPECT_EQ(target->calls.front(), "enter");
    EXPECT_EQ(target->calls.back(), "leave");
    EXPECT_EQ(std::count(target->calls.begin(), target->calls.end(), "drop"), 0);
    Automation::release();
    ASSERT_TRUE(Automation::waitIdle(form));
    EXPECT_EQ(drags.load(), 2);
    PostMessageW(form, WM_CLOSE, 0, 0);
    ui.join();
}
