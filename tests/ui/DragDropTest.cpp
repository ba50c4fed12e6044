#include "ui/CIDropTargetImpl.h"
#include "ui/CustomDataObject.h"
#include "ui/DragFormatRegistry.h"
#include "ui/OleDrager.h"

#include "platform/com/RefCounted.h"
#include "platform/win/Automation.h"
#include "support/DataObjects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

using namespace pictavo::platform;

namespace {

// Offers only plain text, which no target of ours takes.
class TextOnly final : public pictavo::test::DataObjectStub
{
public:
    HRESULT QueryGetData(FORMATETC* f) override { return f->cfFormat == 13 ? S_OK : DV_E_FORMATETC; }
};

class Target : public CIDropTargetImpl
{
public:
    std::vector<std::u16string> files;
    int customDrops = 0;
    int customId = -1;
    POINT customAt{};

    void OnDropFiles(HDROP drop) override
    {
        for (UINT i = 0, n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); i < n; ++i) {
            WCHAR path[300];
            DragQueryFileW(drop, i, path, 300);
            files.emplace_back(path);
        }
    }
    void OnDropCustom(IDataObject* data, DWORD, int x, int y, DWORD*) override
    {
        ++customDrops;
        customAt = POINT{x, y};
        FORMATETC f = DragFormatRegistry::Instance().GetFormat(u"ListViewItem");
        STGMEDIUM m{};
        if (data->GetData(&f, &m) == S_OK) {
            std::memcpy(&customId, GlobalLock(m.hGlobal), 4);
            GlobalUnlock(m.hGlobal);
            ReleaseStgMedium(&m);
        }
    }
};

IDataObject* files(std::vector<std::u16string> paths)
{
    return createFileDropData(paths, POINT{});
}

DWORD enter(CIDropTargetImpl& target, IDataObject* data, DWORD keys, DWORD allowed)
{
    DWORD effect = allowed;
    target.DragEnter(data, keys, POINTL{}, &effect);
    return effect;
}

} // namespace

TEST(DropTarget, ChoosesTheEffectFromKeysAndWhatTheSourceAllows)
{
    Target target;
    ComPtr<IDataObject> shell;
    shell.Attach(files({u"/tmp/a.jpg"}));
    const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(enter(target, shell.Get(), MK_LBUTTON, all), static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(enter(target, shell.Get(), MK_LBUTTON | MK_CONTROL, all), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(enter(target, shell.Get(), MK_LBUTTON | MK_SHIFT, all), static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(enter(target, shell.Get(), MK_SHIFT, DROPEFFECT_COPY), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(enter(target, shell.Get(), MK_CONTROL, DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(enter(target, shell.Get(), 0, DROPEFFECT_LINK), static_cast<DWORD>(DROPEFFECT_NONE));
    DWORD over = DROPEFFECT_COPY;
    target.DragOver(0, POINTL{}, &over);
    EXPECT_EQ(over, static_cast<DWORD>(DROPEFFECT_COPY)) << "an item drag allows copy only";

    // A disabled target accepts nothing and leaves the effect as it was.
    target.SetDropEnabled(false);
    EXPECT_EQ(enter(target, shell.Get(), 0, all), all);
    over = all;
    target.DragOver(0, POINTL{}, &over);
    EXPECT_EQ(over, static_cast<DWORD>(DROPEFFECT_NONE));
    DWORD effect = all;
    EXPECT_EQ(target.Drop(shell.Get(), 0, POINTL{}, &effect), S_FALSE);
    EXPECT_TRUE(target.files.empty());
}

TEST(DropTarget, TakesFileListsReportsCopyAndRefusesOtherData)
{
    Target target;
    ComPtr<IDataObject> shell;
    shell.Attach(files({u"/tmp/照片.jpg", u"/tmp/b.png"}));
    DWORD effect = enter(target, shell.Get(), 0, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(target.Drop(shell.Get(), 0, POINTL{}, &effect), S_OK);
    EXPECT_EQ(target.files, (std::vector<std::u16string>{u"/tmp/照片.jpg", u"/tmp/b.png"}));
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY)) << "the source must never delete dropped files";

    auto text = makeCom<TextOnly>();
    EXPECT_EQ(enter(target, text.Get(), 0, DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE));
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target.Drop(text.Get(), 0, POINTL{}, &effect), S_FALSE);
    EXPECT_EQ(target.files.size(), 2u);
    EXPECT_EQ(target.customDrops, 0);
}

TEST(CustomDataObject, HandsOutCopiesOfItsIdOnlyForItsOwnFormat)
{
    DragFormatRegistry::Instance().RegisterFormat(u"ListViewItem");
    FORMATETC unknown = DragFormatRegistry::Instance().GetFormat(u"NoSuchFormat");
    EXPECT_EQ(unknown.cfFormat, 0);
    EXPECT_EQ(unknown.tymed, static_cast<DWORD>(TYMED_HGLOBAL));

    auto* data = new CustomDataObject;
    data->SetIdData(7, u"ListViewItem");
    data->SetIdData(42, u"ListViewItem"); // replaces the first block, which is freed
    FORMATETC f = DragFormatRegistry::Instance().GetFormat(u"ListViewItem");
    EXPECT_GE(f.cfFormat, 0xC000);
    EXPECT_EQ(data->QueryGetData(&f), S_OK);
    EXPECT_TRUE(DragFormatRegistry::Instance().IsOffered(data));
    STGMEDIUM a{}, b{};
    ASSERT_EQ(data->GetData(&f, &a), S_OK);
    ASSERT_EQ(data->GetData(&f, &b), S_OK);
    EXPECT_NE(a.hGlobal, b.hGlobal) << "each caller owns its own copy";
    int id = 0;
    std::memcpy(&id, GlobalLock(a.hGlobal), 4);
    GlobalUnlock(a.hGlobal);
    EXPECT_EQ(id, 42);
    ReleaseStgMedium(&a);
    ReleaseStgMedium(&b);

    FORMATETC wrongMedium = f;
    wrongMedium.tymed = TYMED_GDI;
    EXPECT_EQ(data->QueryGetData(&wrongMedium), DV_E_FORMATETC);
    FORMATETC wrongAspect = f;
    wrongAspect.dwAspect = 4;
    EXPECT_EQ(data->GetData(&wrongAspect, &a), DV_E_FORMATETC);
    EXPECT_EQ(data->EnumFormatEtc(1, nullptr), E_NOTIMPL);
    void* dropSource = nullptr;
    EXPECT_EQ(data->QueryInterface(IID_IDropSource, &dropSource), E_NOINTERFACE);
    EXPECT_EQ(data->Release(), 0u);
}

// An item dragged with the drager onto a window whose target takes the private format: the
// target gets the id and the drop point; Escape cancels without a drop.
TEST(OleDrager, DragsAnItemOntoATargetAndEscapeCancels)
{
    DragFormatRegistry::Instance().RegisterFormat(u"ListViewItem");
    Target target;
    std::atomic<HRESULT> result{E_FAIL};
    std::atomic<bool> armedAfter{true};
    std::thread ui([&] {
        static OleDrager* drager = nullptr;
        OleDrager own;
        drager = &own;
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpszClassName = u"DragerTest";
        wc.lpfnWndProc = [](HWND hwnd, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_DESTROY)
                PostQuitMessage(0);
            if (m == WM_LBUTTONDOWN) {
                // The drager does not own the data; the window keeps the last one.
                static ComPtr<CustomDataObject> data;
                data.Attach(new CustomDataObject);
                data->SetIdData(42, u"ListViewItem");
                drager->Arm(data.Get());
                return 0;
            }
            if (m == WM_MOUSEMOVE && drager->IsArmed()) {
                // The loop's result travels back through the window's property slot.
                SetWindowLongPtrW(GetParent(hwnd) ? GetParent(hwnd) : hwnd, GWLP_USERDATA, drager->DoDrag());
                return 0;
            }
            return DefWindowProcW(hwnd, m, w, l);
        };
        RegisterClassExW(&wc);
        HWND form = CreateWindowExW(0, u"DragerTest", u"drager", WS_POPUP | WS_VISIBLE, 0, 0, 400, 100, nullptr,
                                    nullptr, nullptr, nullptr);
        HWND right = CreateWindowExW(0, u"DragerTest", u"", WS_CHILD | WS_VISIBLE, 200, 0, 200, 100, form, nullptr,
                                     nullptr, nullptr);
        RegisterDragDrop(right, &target);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            result = static_cast<HRESULT>(GetWindowLongPtrW(form, GWLP_USERDATA));
            armedAfter = drager->IsArmed();
        }
        RevokeDragDrop(right);
    });
    HWND form = Automation::waitForWindow(u"drager", {}, 5000);
    ASSERT_TRUE(form);
    Automation::moveMouse(50, 50);
    Automation::press();
    Automation::moveMouse(60, 50);
    Automation::moveMouse(300, 40);
    Automation::release();
    ASSERT_TRUE(Automation::waitIdle(form));
    SendMessageW(form, WM_NULL, 0, 0);
    EXPECT_EQ(result.load(), DRAGDROP_S_DROP);
    EXPECT_FALSE(armedAfter.load());
    EXPECT_EQ(target.customDrops, 1);
    EXPECT_EQ(target.customId, 42);
    EXPECT_EQ(target.customAt.x, 300) << "the drop point is in screen coordinates";

    Automation::moveMouse(50, 50);
    Automation::press();
    Automation::moveMouse(300, 60);
    Automation::pressKey(VK_ESCAPE);
    Automation::release();
    ASSERT_TRUE(Automation::waitIdle(form));
    SendMessageW(form, WM_NULL, 0, 0);
    EXPECT_EQ(result.load(), DRAGDROP_S_CANCEL);
    EXPECT_EQ(target.customDrops, 1);
    PostMessageW(form, WM_CLOSE, 0, 0);
    ui.join();
}
