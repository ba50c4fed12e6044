#include "platform/controls/CommCtrl.h"
#include "platform/gfx/Bitmap.h"
#include "platform/win/Automation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

using namespace pictavo::platform;

namespace {

constexpr char16_t kLoading[] = u"加载中...";

struct Note
{
    UINT code;
    UINT action;
    std::u16string text; // of itemNew, when it still exists
};

std::u16string textOf(HWND tree, HTREEITEM item)
{
    WCHAR buffer[128] = {};
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buffer;
    it.cchTextMax = 128;
    return SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)) ? std::u16string(buffer) : u"?";
}

HTREEITEM add(HWND tree, HTREEITEM parent, std::u16string text, LPARAM param = 0, int image = 0,
              HTREEITEM after = TVI_LAST)
{
    TVINSERTSTRUCTW is{};
    is.hParent = parent;
    is.hInsertAfter = after;
    is.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    is.item.pszText = text.data();
    is.item.lParam = param;
    is.item.iImage = image;
    is.item.iSelectedImage = image + 1;
    return TreeView_InsertItem(tree, &is);
}

// A folder as the file-add dialog makes it: unpopulated (lParam 0) with one placeholder child.
HTREEITEM addFolder(HWND tree, HTREEITEM parent, std::u16string text)
{
    HTREEITEM item = add(tree, parent, std::move(text));
    add(tree, item, kLoading);
    return item;
}

// The dialog's population on expansion: the placeholder gives way to two sub-folders, which
// are folders again down to the third level.
void populate(HWND tree, HTREEITEM item)
{
    while (HTREEITEM child = TreeView_GetChild(tree, item))
        TreeView_DeleteItem(tree, child);
    const std::u16string name = textOf(tree, item);
    for (char16_t digit : {u'1', u'2'}) {
        if (name.size() < 2)
            addFolder(tree, item, name + digit);
        else
            add(tree, item, name + digit);
    }
    TVITEMW it{};
    it.mask = TVIF_PARAM;
    it.hItem = item;
    it.lParam = 1;
    SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
}

// A form on its own UI thread holding one tree; the test thread acts as the user.
class TreeForm
{
public:
    using Handler = std::function<LRESULT(HWND tree, NMHDR*)>;

    explicit TreeForm(DWORD style, std::function<void(HWND)> setup, Handler handler = {}, int width = 200,
                      int height = 150)
        : handler_(std::move(handler))
    {
        registerForm();
        ui_ = std::thread([=, this] {
            HWND form = CreateWindowExW(0, u"TreeTestForm", u"树", WS_POPUP | WS_VISIBLE, 100, 100, 300, 220,
                                        nullptr, nullptr, nullptr, this);
            HWND tree = CreateWindowExW(0, WC_TREEVIEWW, u"", WS_CHILD | WS_VISIBLE | style, 10, 10, width, height,
                                        form, nullptr, nullptr, nullptr);
            SetWindowLongPtrW(tree, GWLP_ID, 3);
            if (setup)
                setup(tree);
            {
                std::lock_guard lk(mutex_);
                notes_.clear();
            }
            tree_ = tree;
            form_ = form;
            form_.notify_all();
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        });
        form_.wait(nullptr);
        Automation::waitIdle(form_);
    }
    ~TreeForm()
    {
        if (IsWindow(form_))
            PostMessageW(form_, WM_CLOSE, 0, 0);
        Automation::waitForGone(form_, 5000);
        ui_.join();
    }

    HWND tree() const { return tree_; }
    HWND form() const { return form_; }

    void run(const std::function<void(HWND)>& f)
    {
        std::function<void()> call = [&] { f(tree_); };
        SendMessageW(form_, WM_APP, 0, reinterpret_cast<LPARAM>(&call));
    }
    std::vector<Note> notes(std::initializer_list<UINT> only = {})
    {
        std::lock_guard lk(mutex_);
        std::vector<Note> out;
        for (const Note& n : notes_)
            if (only.size() == 0 || std::find(only.begin(), only.end(), n.code) != only.end())
                out.push_back(n);
        return out;
    }
    void clearNotes()
    {
        std::lock_guard lk(mutex_);
        notes_.clear();
    }
    AutomationNode describe()
    {
        Automation::waitIdle(form_);
        return Automation::describe(tree_);
    }
    // Visible item texts in order.
    std::vector<std::u16string> visible()
    {
        std::vector<std::u16string> out;
        for (const auto& c : describe().children)
            if (c.className == u"TreeItem")
                out.push_back(c.text);
        return out;
    }
    void clickItem(std::u16string_view text)
    {
        auto node = describe();
        const AutomationNode* item = node.find(u"TreeItem", text);
        ASSERT_TRUE(item) << "no visible item";
        Automation::click((item->bounds.left + item->bounds.right) / 2, (item->bounds.top + item->bounds.bottom) / 2);
        Automation::waitIdle(form_);
    }
    void clickButton(std::u16string_view text)
    {
        auto node = describe();
        const AutomationNode* item = node.find(u"TreeItem", text);
        ASSERT_TRUE(item);
        const std::u16string at = item->value("button");
        ASSERT_FALSE(at.empty()) << "no button";
        const size_t comma = at.find(u',');
        Automation::click(std::stoi(std::string(at.begin(), at.begin() + comma)),
                          std::stoi(std::string(at.begin() + comma + 1, at.end())));
        Automation::waitIdle(form_);
    }
    void key(UINT vk)
    {
        Automation::pressKey(vk);
        Automation::waitIdle(form_);
    }

private:
    static LRESULT formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<TreeForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        switch (message) {
        case WM_CREATE:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
            return 0;
        case WM_APP:
            (*reinterpret_cast<std::function<void()>*>(lParam))();
            return 0;
        case WM_NOTIFY: {
            auto* h = reinterpret_cast<NMHDR*>(lParam);
            Note note{h->code, 0, {}};
            if (h->code == TVN_SELCHANGINGW || h->code == TVN_SELCHANGEDW || h->code == TVN_ITEMEXPANDINGW ||
                h->code == TVN_ITEMEXPANDEDW) {
                auto* nm = reinterpret_cast<NMTREEVIEWW*>(h);
                note.action = nm->action;
                note.text = nm->itemNew.hItem ? textOf(h->hwndFrom, nm->itemNew.hItem) : u"";
            }
            if (h->code != TVN_GETDISPINFOW && h->code != TVN_KEYDOWN && h->code != NM_SETFOCUS &&
                h->code != NM_KILLFOCUS) {
                std::lock_guard lk(self->mutex_);
                self->notes_.push_back(note);
            }
            return self->handler_ ? self->handler_(h->hwndFrom, h) : 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    static void registerForm()
    {
        static std::once_flag once;
        std::call_once(once, [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = formProc;
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = u"TreeTestForm";
            RegisterClassExW(&wc);
        });
    }

    Handler handler_;
    std::thread ui_;
    std::atomic<HWND> form_{nullptr};
    HWND tree_ = nullptr;
    std::mutex mutex_;
    std::vector<Note> notes_;
};

constexpr DWORD kDialogStyle = TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;

LRESULT populateOnExpand(HWND tree, NMHDR* h)
{
    auto* nm = reinterpret_cast<NMTREEVIEWW*>(h);
    if (h->code == TVN_ITEMEXPANDINGW && nm->action == TVE_EXPAND && nm->itemNew.lParam == 0)
        populate(tree, nm->itemNew.hItem);
    return 0;
}

void twoFolders(HWND tree)
{
    addFolder(tree, TVI_ROOT, u"甲");
    addFolder(tree, TVI_ROOT, u"乙");
}

TEST(TreeView, ExpandingByButtonAndKeysReplacesThePlaceholder)
{
    TreeForm form(kDialogStyle, twoFolders, populateOnExpand);
    EXPECT_EQ(form.visible(), (std::vector<std::u16string>{u"甲", u"乙"}));
    auto root = form.describe();
    EXPECT_EQ(root.find(u"TreeItem", u"甲")->value("hasChildren"), u"1");

    form.clickButton(u"甲");
    EXPECT_EQ(form.visible(), (std::vector<std::u16string>{u"甲", u"甲1", u"甲2", u"乙"}));
    auto node = form.describe();
    EXPECT_EQ(node.find(u"TreeItem", u"甲")->value("expanded"), u"1");
    EXPECT_EQ(node.find(u"TreeItem", u"甲1")->value("depth"), u"1");
    auto expansions = form.notes({TVN_ITEMEXPANDINGW, TVN_ITEMEXPANDEDW});
    ASSERT_EQ(expansions.size(), 2u);
    EXPECT_EQ(expansions[0].code, TVN_ITEMEXPANDINGW);
    EXPECT_EQ(expansions[0].action, static_cast<UINT>(TVE_EXPAND));
    EXPECT_EQ(expansions[1].code, TVN_ITEMEXPANDEDW);
    EXPECT_TRUE(form.notes({TVN_SELCHANGEDW}).empty()) << "the button does not select";

    // Keys: select 甲1, Right expands it, Left collapses, Left again goes to the parent, '-'.
    form.clickItem(u"甲1");
    form.key(VK_RIGHT);
    EXPECT_EQ(form.visible(), (std::vector<std::u16string>{u"甲", u"甲1", u"甲11", u"甲12", u"甲2", u"乙"}));
    form.key(VK_RIGHT);
    EXPECT_EQ(form.describe().find(u"TreeItem", u"甲11")->value("selected"), u"1");
    form.key(VK_LEFT);
    form.key(VK_LEFT);
    EXPECT_EQ(form.visible(), (std::vector<std::u16string>{u"甲", u"甲1", u"甲2", u"乙"}));
    form.key(VK_LEFT);
    EXPECT_EQ(form.describe().find(u"TreeItem", u"甲")->value("selected"), u"1");
    form.key(0x6D); // numeric-pad minus
    EXPECT_EQ(form.visible(), (std::vector<std::u16string>{u"甲", u"乙"}));

    // Double-clicking a label toggles it; '*' opens the whole branch, populating each level.
    form.key(VK_DOWN);
    auto pos = form.describe().find(u"TreeItem", u"乙")->bounds;
    Automation::doubleClick(pos.left + 4, pos.top + 4);
    Automation::waitIdle(form.form());
    EXPECT_EQ(form.describe().find(u"TreeItem", u"乙")->value("expanded"), u"1");
    Automation::doubleClick(pos.left + 4, pos.top + 4);
    Automation::waitIdle(form.form());
    EXPECT_EQ(form.describe().find(u"TreeItem", u"乙")->value("expanded"), u"0");
    form.key(0x6A); // numeric-pad '*'
    EXPECT_EQ(form.visible(),
              (std::vector<std::u16string>{u"甲", u"乙", u"乙1", u"乙11", u"乙12", u"乙2", u"乙21", u"乙22"}));
}

TEST(TreeView, AnExpansionVetoedByTheParentStaysClosed)
{
    TreeForm form(kDialogStyle, twoFolders, [](HWND tree, NMHDR* h) -> LRESULT {
        auto* nm = reinterpret_cast<NMTREEVIEWW*>(h);
        return h->code == TVN_ITEMEXPANDINGW && textOf(tree, nm->itemNew.hItem) == u"乙";
    });
    form.clickButton(u"乙");
    EXPECT_EQ(form.visible(), (std::vector<std::u16string>{u"甲", u"乙"}));
    EXPECT_TRUE(form.notes({TVN_ITEMEXPANDEDW}).empty());

    // A program's TVM_EXPAND asks the parent only until the item has been expanded once.
    int asked = 0;
    form.run([&](HWND tree) {
        HTREEITEM first = TreeView_GetRoot(tree);
        EXPECT_TRUE(TreeView_Expand(tree, first, TVE_EXPAND));
        EXPECT_TRUE(TreeView_Expand(tree, first, TVE_COLLAPSE));
        EXPECT_TRUE(TreeView_Expand(tree, first, TVE_EXPAND));
        EXPECT_FALSE(TreeView_Expand(tree, TreeView_GetNextSibling(tree, first), TVE_EXPAND));
    });
    for (const Note& n : form.notes({TVN_ITEMEXPANDINGW}))
        asked += n.text == u"甲";
    EXPECT_EQ(asked, 1) << "neither the collapse nor the second expansion asks";
}

TEST(TreeView, SelectionNotifiesChangingThenChangedWithHowItCame)
{
    std::atomic<bool> veto{false};
    TreeForm form(
        kDialogStyle,
        [](HWND tree) {
            for (auto t : {u"一", u"二", u"三"})
                add(tree, TVI_ROOT, t);
        },
        [&](HWND, NMHDR* h) -> LRESULT { return h->code == TVN_SELCHANGINGW && veto; });
    form.clickItem(u"二");
    auto notes = form.notes({NM_CLICK, TVN_SELCHANGINGW, TVN_SELCHANGEDW});
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].code, NM_CLICK);
    EXPECT_EQ(notes[1].code, TVN_SELCHANGINGW);
    EXPECT_EQ(notes[2].code, TVN_SELCHANGEDW);
    EXPECT_EQ(notes[2].action, static_cast<UINT>(TVC_BYMOUSE));
    EXPECT_EQ(notes[2].text, u"二");

    form.clearNotes();
    form.key(VK_DOWN);
    notes = form.notes({TVN_SELCHANGEDW});
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].action, static_cast<UINT>(TVC_BYKEYBOARD));
    EXPECT_EQ(notes[0].text, u"三");

    form.clearNotes();
    form.run([](HWND tree) { EXPECT_TRUE(TreeView_SelectItem(tree, TreeView_GetRoot(tree))); });
    notes = form.notes({TVN_SELCHANGEDW});
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].action, static_cast<UINT>(TVC_UNKNOWN));

    veto = true;
    form.clickItem(u"三");
    EXPECT_EQ(form.describe().find(u"TreeItem", u"一")->value("selected"), u"1");
    form.run([](HWND tree) { EXPECT_EQ(textOf(tree, TreeView_GetSelection(tree)), u"一"); });
}

int byParamDescending(LPARAM a, LPARAM b, LPARAM)
{
    return a < b ? 1 : a > b ? -1 : 0;
}
int chaotic(LPARAM a, LPARAM b, LPARAM)
{
    return static_cast<int>((a * 7919 + b * 104729) % 3) - 1;
}

TEST(TreeView, ChildrenSortWithTheCallerCallbackAndTextOnInsert)
{
    TreeForm form(kDialogStyle, [](HWND tree) {
        HTREEITEM parent = add(tree, TVI_ROOT, u"根");
        for (int i : {3, 1, 4, 1, 5, 9, 2, 6})
            add(tree, parent, u"n" + std::u16string(1, static_cast<char16_t>(u'0' + i)), i);
        TreeView_Expand(tree, parent, TVE_EXPAND);
    });
    form.run([](HWND tree) {
        HTREEITEM parent = TreeView_GetRoot(tree);
        TVSORTCB sort{parent, byParamDescending, 0};
        ASSERT_TRUE(SendMessageW(tree, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort)));
        // A comparison that contradicts itself still leaves every item in place.
        TVSORTCB chaos{TVI_ROOT, chaotic, 0};
        EXPECT_TRUE(SendMessageW(tree, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&chaos)));
        add(tree, TVI_ROOT, u"B", 0, 0, TVI_SORT);
        add(tree, TVI_ROOT, u"a", 0, 0, TVI_SORT);
        add(tree, TVI_ROOT, u"c", 0, 0, TVI_SORT);
    });
    std::vector<std::u16string> order;
    form.run([&](HWND tree) {
        for (HTREEITEM r = TreeView_GetRoot(tree); r; r = TreeView_GetNextSibling(tree, r)) {
            order.push_back(textOf(tree, r));
            for (HTREEITEM c = TreeView_GetChild(tree, r); c; c = TreeView_GetNextSibling(tree, c))
                order.push_back(textOf(tree, c));
        }
    });
    EXPECT_EQ(order, (std::vector<std::u16string>{u"a", u"B", u"c", u"根", u"n9", u"n6", u"n5", u"n4", u"n3",
                                                  u"n2", u"n1", u"n1"}));
    EXPECT_EQ(form.visible().front(), u"根") << "items inserted above keep the first visible item in place";
}

TEST(TreeView, ALongTreeScrollsByBarKeysAndWheel)
{
    TreeForm form(kDialogStyle, [](HWND tree) {
        for (int i = 0; i < 100; ++i)
            add(tree, TVI_ROOT, u"项目" + std::u16string(1, static_cast<char16_t>(u'0' + i / 10)) +
                                    std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
        add(tree, TVI_ROOT, u"一个很长很长很长很长很长很长很长很长很长的名字");
    });
    const HWND tree = form.tree();
    auto first = form.visible();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front(), u"项目00");
    EXPECT_TRUE(GetWindowLongW(tree, GWL_STYLE) & WS_VSCROLL);
    EXPECT_TRUE(GetWindowLongW(tree, GWL_STYLE) & WS_HSCROLL);
    RECT client;
    GetClientRect(tree, &client);
    const int rows = static_cast<int>(first.size());
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(tree, SB_VERT, &si));
    EXPECT_EQ(si.nMax, 100);
    EXPECT_GE(rows, static_cast<int>(si.nPage));

    form.clickItem(u"项目00");
    form.key(VK_END);
    auto last = form.visible();
    EXPECT_EQ(last.back(), u"一个很长很长很长很长很长很长很长很长很长的名字");
    ASSERT_TRUE(GetScrollInfo(tree, SB_VERT, &si));
    EXPECT_EQ(si.nPos, 101 - static_cast<int>(si.nPage));
    form.key(VK_HOME);
    EXPECT_EQ(form.visible().front(), u"项目00");
    form.key(VK_NEXT);
    EXPECT_EQ(form.describe().find(u"TreeItem", first[si.nPage - 1])->value("selected"), u"1")
        << "a page moves the selection to the last fully visible row";

    form.key(VK_HOME);
    Automation::wheel(-WHEEL_DELTA);
    EXPECT_EQ(form.visible().front(), u"项目03");
    SendMessageW(tree, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    EXPECT_EQ(form.visible().front(), u"项目" + std::u16string(1, u'0' + (3 + si.nPage) / 10) +
                                          std::u16string(1, u'0' + (3 + si.nPage) % 10));
    SendMessageW(tree, WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    ASSERT_TRUE(GetScrollInfo(tree, SB_HORZ, &si));
    EXPECT_GT(si.nPos, 0);
    EXPECT_EQ(si.nPos, si.nMax + 1 - static_cast<int>(si.nPage));
}

TEST(TreeView, HandlersMayDeleteItemsAndStaleHandlesAreRefused)
{
    HTREEITEM stale = nullptr;
    std::atomic<int> deletions{0};
    TreeForm form(
        kDialogStyle,
        [](HWND tree) {
            addFolder(tree, TVI_ROOT, u"自毁");
            addFolder(tree, TVI_ROOT, u"清空");
            addFolder(tree, TVI_ROOT, u"留下");
        },
        [&](HWND tree, NMHDR* h) -> LRESULT {
            auto* nm = reinterpret_cast<NMTREEVIEWW*>(h);
            if (h->code == TVN_DELETEITEMW) {
                ++deletions;
                // Deleting more while being told of a deletion.
                for (HTREEITEM r = TreeView_GetRoot(tree); r; r = TreeView_GetNextSibling(tree, r))
                    if (textOf(tree, r) == u"留下") {
                        TreeView_DeleteItem(tree, r);
                        break;
                    }
            }
            if (h->code == TVN_ITEMEXPANDINGW && textOf(tree, nm->itemNew.hItem) == u"自毁") {
                stale = nm->itemNew.hItem;
                TreeView_DeleteItem(tree, nm->itemNew.hItem);
            }
            if (h->code == TVN_SELCHANGINGW && textOf(tree, nm->itemNew.hItem) == u"清空")
                TreeView_DeleteItem(tree, TVI_ROOT);
            return 0;
        });
    form.clickButton(u"自毁");
    EXPECT_EQ(form.visible(), (std::vector<std::u16string>{u"清空"}));
    EXPECT_EQ(deletions.load(), 4);
    form.run([&](HWND tree) {
        TVITEMW it{};
        it.mask = TVIF_PARAM;
        it.hItem = stale;
        EXPECT_FALSE(SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)));
        EXPECT_FALSE(SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it)));
        EXPECT_FALSE(TreeView_Expand(tree, stale, TVE_EXPAND));
        EXPECT_FALSE(TreeView_SelectItem(tree, stale));
        EXPECT_FALSE(TreeView_GetNextItem(tree, stale, TVGN_NEXT));
        EXPECT_FALSE(TreeView_DeleteItem(tree, stale));
        EXPECT_FALSE(add(tree, stale, u"孤儿"));
        RECT r;
        std::memcpy(&r, &stale, sizeof stale);
        EXPECT_FALSE(SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
    });
    form.clickItem(u"清空");
    EXPECT_TRUE(form.visible().empty());
    form.run([](HWND tree) {
        EXPECT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 0);
        EXPECT_FALSE(TreeView_GetSelection(tree));
    });
}

TEST(TreeView, AParentMayDestroyTheTreeFromAClick)
{
    TreeForm form(kDialogStyle, twoFolders, [](HWND tree, NMHDR* h) -> LRESULT {
        if (h->code == NM_CLICK)
            DestroyWindow(tree);
        return 0;
    });
    form.clickItem(u"甲");
    EXPECT_FALSE(IsWindow(form.tree()));
    auto deletions = form.notes({TVN_DELETEITEMW});
    EXPECT_EQ(deletions.size(), 4u) << "every item is announced as it goes";
}

TEST(TreeView, PaintsLinesButtonsIconsAndTheSelection)
{
    const COLORREF red = RGB(220, 30, 30), blue = RGB(30, 60, 220), green = RGB(30, 160, 60);
    HIMAGELIST icons = ImageList_Create(16, 16, ILC_COLOR32, 3, 1);
    for (COLORREF c : {red, blue, green}) {
        auto art = Bitmap::create(16, 16, 0);
        for (int y = 2; y < 14; ++y)
            for (int x = 1; x < 15; ++x) {
                uint8_t* p = art->pixels() + (y * 16 + x) * 4;
                p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c), p[3] = 255;
            }
        imageListAddBitmap(icons, art);
    }
    TreeForm form(kDialogStyle, [&](HWND tree) {
        SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(icons));
        HTREEITEM desk = add(tree, TVI_ROOT, u"桌面", 0, 0);
        HTREEITEM pc = add(tree, desk, u"我的电脑", 0, 0);
        add(tree, pc, u"文件系统", 0, 0);
        add(tree, pc, u"数据", 0, 0);
        add(tree, desk, u"ann", 0, 0);
        addFolder(tree, desk, u"照片");
        TreeView_Expand(tree, desk, TVE_EXPAND);
        TreeView_Expand(tree, pc, TVE_EXPAND);
    });
    form.clickItem(u"数据");
    auto picture = Automation::picture(form.form());
    ASSERT_TRUE(picture);
    Automation::savePng(picture, PICTAVO_BINARY_DIR "/tree-view.png");
    RECT formRect;
    GetWindowRect(form.form(), &formRect);
    auto at = [&](int sx, int sy) {
        const uint8_t* p = picture->pixels() + ((sy - formRect.top) * picture->width() + (sx - formRect.left)) * 4;
        return RGB(p[2], p[1], p[0]);
    };
    auto node = form.describe();
    const auto* data = node.find(u"TreeItem", u"数据");
    const auto* files = node.find(u"TreeItem", u"文件系统");
    ASSERT_TRUE(data && files);
    // The icon sits just left of the label: the selected image (index 1) for the selection.
    EXPECT_EQ(at(files->bounds.left - 3 - 8, files->bounds.top + 9), red);
    EXPECT_EQ(at(data->bounds.left - 3 - 8, data->bounds.top + 9), blue);
    EXPECT_EQ(at(data->bounds.left + 1, data->bounds.top + 2), RGB(51, 153, 255)) << "highlighted label";
    // The unopened folder shows a plus box; lines are grey dots.
    const auto* photos = node.find(u"TreeItem", u"照片");
    ASSERT_TRUE(photos);
    const std::u16string button = photos->value("button");
    ASSERT_FALSE(button.empty());
    const int bx = std::stoi(std::string(button.begin(), button.begin() + button.find(u','))),
              by = std::stoi(std::string(button.begin() + button.find(u',') + 1, button.end()));
    EXPECT_EQ(at(bx, by), RGB(0, 0, 0));
    EXPECT_EQ(at(bx, by - 2), RGB(0, 0, 0)) << "plus, not minus";
    EXPECT_EQ(at(bx - 4, by - 4), RGB(128, 128, 128));
    int dots = 0;
    for (int y = files->bounds.top; y < files->bounds.bottom; ++y)
        dots += at(bx, y) == RGB(128, 128, 128);
    EXPECT_GE(dots, 6) << "the sibling line runs down past 文件系统";
    ImageList_Destroy(icons);
}

TEST(TreeView, CallbackTextAndChildrenAreAskedOfTheParent)
{
    TreeForm form(
        kDialogStyle,
        [](HWND tree) {
            TVINSERTSTRUCTW is{};
            is.hParent = TVI_ROOT;
            is.hInsertAfter = TVI_LAST;
            is.item.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_PARAM;
            is.item.pszText = LPSTR_TEXTCALLBACKW;
            is.item.cChildren = I_CHILDRENCALLBACK;
            is.item.lParam = 7;
            ASSERT_TRUE(TreeView_InsertItem(tree, &is));
        },
        [](HWND, NMHDR* h) -> LRESULT {
            if (h->code == TVN_GETDISPINFOW) {
                auto* di = reinterpret_cast<NMTVDISPINFOW*>(h);
                if (di->item.mask & TVIF_TEXT)
                    std::u16string(u"回调" + std::u16string(1, static_cast<char16_t>(u'0' + di->item.lParam)))
                        .copy(di->item.pszText, 3);
                if (di->item.mask & TVIF_CHILDREN)
                    di->item.cChildren = 1;
            }
            return 0;
        });
    auto node = form.describe();
    const auto* item = node.find(u"TreeItem", u"回调7");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->value("hasChildren"), u"1");
}

} // namespace

namespace {

TEST(TreeView, GeometryAnswersMatchWhatIsShown)
{
    TreeForm form(kDialogStyle, [](HWND tree) {
        for (int i = 0; i < 30; ++i) {
            HTREEITEM folder = add(tree, TVI_ROOT, u"夹" + std::u16string(1, static_cast<char16_t>(u'A' + i)));
            add(tree, folder, u"深" + std::u16string(1, static_cast<char16_t>(u'A' + i)));
        }
    });
    const HWND tree = form.tree();
    auto node = form.describe();
    const auto* b = node.find(u"TreeItem", u"夹B");
    ASSERT_TRUE(b);
    POINT origin{0, 0};
    ClientToScreen(tree, &origin);
    form.run([&](HWND t) {
        HTREEITEM second = TreeView_GetNextSibling(t, TreeView_GetRoot(t));
        RECT r;
        std::memcpy(&r, &second, sizeof second);
        ASSERT_TRUE(SendMessageW(t, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
        EXPECT_EQ(r.left + origin.x, b->bounds.left);
        EXPECT_EQ(r.top + origin.y, b->bounds.top);
        EXPECT_EQ(r.right + origin.x, b->bounds.right);

        TVHITTESTINFO ht{{(r.left + r.right) / 2, r.top + 3}, 0, nullptr};
        EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendMessageW(t, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht))),
                  second);
        EXPECT_EQ(ht.flags, static_cast<UINT>(TVHT_ONITEMLABEL));
        const std::u16string button = b->value("button");
        ht.pt = POINT{std::stoi(std::string(button.begin(), button.begin() + button.find(u','))) - origin.x,
                      r.top + 3};
        SendMessageW(t, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht));
        EXPECT_EQ(ht.flags, static_cast<UINT>(TVHT_ONITEMBUTTON));
        ht.pt = POINT{r.right + 5, r.top + 3};
        SendMessageW(t, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht));
        EXPECT_EQ(ht.flags, static_cast<UINT>(TVHT_ONITEMRIGHT));
        ht.pt = POINT{-1, 5};
        EXPECT_FALSE(SendMessageW(t, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht)));
        EXPECT_EQ(ht.flags, static_cast<UINT>(TVHT_TOLEFT));

        // Making a hidden child visible opens its parent and scrolls it into view.
        HTREEITEM last = TreeView_GetNextItem(t, nullptr, TVGN_LASTVISIBLE);
        HTREEITEM deep = TreeView_GetChild(t, last);
        EXPECT_FALSE(TreeView_GetNextItem(t, deep, TVGN_NEXTVISIBLE)) << "hidden under a closed parent";
        SendMessageW(t, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(deep));
        EXPECT_EQ(TreeView_GetNextItem(t, last, TVGN_NEXTVISIBLE), deep);
        EXPECT_EQ(TreeView_GetNextItem(t, nullptr, TVGN_LASTVISIBLE), deep);
        SendMessageW(t, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(second));
        EXPECT_EQ(TreeView_GetNextItem(t, nullptr, TVGN_FIRSTVISIBLE), second);
    });
    EXPECT_EQ(form.visible().front(), u"夹B");

    // A larger font makes taller rows.
    const LRESULT before = SendMessageW(tree, TVM_GETITEMHEIGHT, 0, 0);
    form.run([](HWND t) {
        HFONT big = CreateFontW(24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, u"新宋体");
        SendMessageW(t, WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(t, WM_GETFONT, 0, 0)), big);
    });
    EXPECT_GT(SendMessageW(tree, TVM_GETITEMHEIGHT, 0, 0), before + 8);
}

} // namespace
