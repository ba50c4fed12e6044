#include "module/Pictavo.h"
#include "ui/ListView.h"
#include "ui/ListViewPostItem.h"

#include <gtest/gtest.h>

// The page's GetCount and Clear act on the real list the control is given.
TEST(UploadList, TheControlCountsAndClearsTheListItIsGiven)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"UploadListParent";
    RegisterClassExW(&wc);
    HWND parent = CreateWindowExW(0, u"UploadListParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 700, 450, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent);
    ListView list;
    ASSERT_TRUE(list.Create(parent, 10, 10, 645, 400));
    for (int i = 0; i < 7; ++i)
        list.AddItem(new ListViewPostItem(u"/nonexistent/p" + std::u16string(1, static_cast<char16_t>(u'0' + i)) + u".png"));

    ComPtr<IPictavo> control;
    ASSERT_EQ(CPictavo::CreateInstance(nullptr, IID_IPictavo, reinterpret_cast<void**>(control.GetAddressOf())), S_OK);
    auto* impl = static_cast<CPictavo*>(control.Get());
    LONG n = -1;
    EXPECT_EQ(control->GetCount(&n), S_OK);
    EXPECT_EQ(n, 0) << "no list yet: nothing counted";
    impl->SetUploadList(&list);
    EXPECT_EQ(control->GetCount(&n), S_OK);
    EXPECT_EQ(n, 7);
    EXPECT_EQ(control->Clear(), S_OK);
    EXPECT_EQ(control->GetCount(&n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(list.Count(), 0);
    impl->SetUploadList(nullptr);
    DestroyWindow(parent);
}
