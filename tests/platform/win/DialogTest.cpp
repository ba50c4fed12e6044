#include "WinTestSupport.h"

#include "platform/kernel/MessageBox.h"
#include "platform/win/Automation.h"
#include "platform/win/Dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace wintest;
using pictavo::platform::Automation;
using pictavo::platform::DialogItem;
using pictavo::platform::DialogTemplate;

namespace {

using Dialogs = WindowTest;

// What a test's dialog does when it opens: a step that runs once its loop is up.
struct Script
{
    std::function<void(HWND)> onOpen;
    std::vector<std::pair<int, UINT>> commands; // (id, code) seen
    bool ownerDisabled = false;
    HWND owner = nullptr;
};

INT_PTR scriptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* script = reinterpret_cast<Script*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        PostMessageW(dialog, WM_APP, 0, 0);
        return TRUE;
    case WM_APP:
        script->ownerDisabled = script->owner && !IsWindowEnabled(script->owner);
        if (script->onOpen)
            script->onOpen(dialog);
        return TRUE;
    case WM_COMMAND:
        script->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        EndDialog(dialog, LOWORD(wParam) * 10);
        return TRUE;
    }
    return FALSE;
}

DialogTemplate simpleTemplate(const std::u16string& caption)
{
    DialogTemplate t;
    t.caption = caption;
    t.style = WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_CENTER;
    t.width = 200;
    t.height = 100;
    t.items.push_back(
        DialogItem{u"Recorder", u"field", 100, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, RECT{10, 10, 110, 30}});
    return t;
}

TEST_F(Dialogs, EnterAndEscapeEndTheModalLoopThroughCommands)
{
    registerClasses();
    HWND owner = create(WS_POPUP | WS_VISIBLE, 0, 0, 300, 300);
    const auto tmpl = simpleTemplate(u"Enter");
    Script script;
    script.owner = owner;
    script.onOpen = [](HWND dialog) {
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 100)) << "the first tab stop has the focus";
        Automation::pressKey(VK_RETURN);
    };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &tmpl, owner, scriptProc, reinterpret_cast<LPARAM>(&script)),
              IDOK * 10);
    EXPECT_TRUE(script.ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner) << "activation returns to the owner";
    ASSERT_EQ(script.commands.size(), 1u);
    EXPECT_EQ(script.commands[0], std::make_pair(static_cast<int>(IDOK), static_cast<UINT>(BN_CLICKED)));

    script.commands.clear();
    script.onOpen = [](HWND) { Automation::pressKey(VK_ESCAPE); };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &tmpl, owner, scriptProc, reinterpret_cast<LPARAM>(&script)),
              IDCANCEL * 10);
    EXPECT_EQ(script.commands.size(), 1u);
}

TEST_F(Dialogs, NestedDialogsEndInnermostFirst)
{
    registerClasses();
    HWND owner = create(WS_POPUP | WS_VISIBLE, 0, 0, 300, 300);
    const auto outerTmpl = simpleTemplate(u"Outer");
    const auto innerTmpl = simpleTemplate(u"Inner");
    Script inner, outer;
    INT_PTR innerResult = 0;
    HWND outerDialog = nullptr;
    bool outerDisabledDuringInner = false;
    inner.onOpen = [&](HWND dialog) {
        outerDisabledDuringInner = !IsWindowEnabled(outerDialog);
        SendMessageW(dialog, WM_COMMAND, 7, 0); // ended from inside its own procedure
    };
    outer.onOpen = [&](HWND dialog) {
        outerDialog = dialog;
        inner.owner = dialog;
        innerResult = DialogBoxIndirectParamW(nullptr, &innerTmpl, dialog, scriptProc,
                                              reinterpret_cast<LPARAM>(&inner));
        EXPECT_TRUE(IsWindowEnabled(dialog));
        EXPECT_EQ(GetActiveWindow(), dialog);
        Automation::pressKey(VK_ESCAPE);
    };
    outer.owner = owner;
    EXPECT_EQ(
        DialogBoxIndirectParamW(nullptr, &outerTmpl, owner, scriptProc, reinterpret_cast<LPARAM>(&outer)),
        IDCANCEL * 10);
    EXPECT_EQ(innerResult, 70);
    EXPECT_TRUE(outerDisabledDuringInner);
    EXPECT_FALSE(IsWindow(outerDialog));
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(Dialogs, QuitEndsTheLoopAndIsPassedOn)
{
    registerClasses();
    const auto tmpl = simpleTemplate(u"Quit");
    Script script;
    script.onOpen = [](HWND) { PostQuitMessage(3); };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &tmpl, nullptr, scriptProc, reinterpret_cast<LPARAM>(&script)),
              0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Dialogs, MessageBoxFromAWorkerIsShownByTheUiThreadAndAnsweredByTheUser)
{
    // The UI thread: a window and its loop.
    HWND main = create(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
    std::atomic<int> answer{0};
    std::atomic<bool> done{false};
    DWORD uiThread = GetWindowThreadProcessId(main, nullptr);
    DWORD shownOn = 0;
    std::thread worker([&] {
        answer = MessageBoxW(nullptr, u"无法读取文件 a.jpg", u"上传", MB_OKCANCEL | MB_ICONWARNING);
        done = true;
        PostMessageW(main, WM_NULL, 0, 0);
    });
    std::thread user([&] {
        HWND box = Automation::waitForWindow(u"上传", u"#32770", 5000);
        ASSERT_TRUE(box);
        shownOn = GetWindowThreadProcessId(box, nullptr);
        bool sawText = false;
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            sawText = sawText || Automation::windowText(c) == u"无法读取文件 a.jpg";
        EXPECT_TRUE(sawText);
        auto picture = Automation::picture(box);
        ASSERT_TRUE(picture);
        EXPECT_GT(picture->width(), 150);
        // The active caption bar carries its text in white.
        int white = 0;
        for (int x = 4; x < 60; ++x)
            for (int y = 2; y < 20; ++y)
                white += picture->pixels()[(y * picture->width() + x) * 4 + 1] == 0xFF;
        EXPECT_GT(white, 10);
        Automation::pressKey(VK_ESCAPE);
    });
    MSG msg;
    while (!done && GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    worker.join();
    user.join();
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(shownOn, uiThread);
}

TEST_F(Dialogs, MessageBoxOkAnswersEnterAndAClickOnItsButton)
{
    HWND main = create(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
    std::thread user([&] {
        HWND box = Automation::waitForWindow(u"问题", {}, 5000);
        ASSERT_TRUE(box);
        HWND yes = GetDlgItem(box, IDNO);
        ASSERT_TRUE(yes);
        RECT r;
        Automation::picture(box); // painted and composed before the click
        GetWindowRect(yes, &r);
        Automation::click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    });
    EXPECT_EQ(MessageBoxW(main, u"删除？", u"问题", MB_YESNO), IDNO);
    user.join();

    // Keys: Escape means nothing without a cancel button; Tab to "No" and Enter answers No;
    // Alt+F4 closes a box that has a cancel.
    std::thread keys([&] {
        HWND box = Automation::waitForWindow(u"问题", {}, 5000);
        ASSERT_TRUE(box);
        Automation::pressKey(VK_ESCAPE);
        Automation::pressKey(VK_TAB);
        Automation::pressKey(VK_RETURN);
        ASSERT_TRUE(Automation::waitForGone(box, 5000));
        box = Automation::waitForWindow(u"三个", {}, 5000);
        ASSERT_TRUE(box);
        Automation::keyDown(VK_MENU);
        Automation::pressKey(VK_F4);
        Automation::keyUp(VK_MENU);
    });
    EXPECT_EQ(MessageBoxW(main, u"删除？", u"问题", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxW(main, u"保存？", u"三个", MB_YESNOCANCEL), IDCANCEL);
    keys.join();
}

} // namespace
