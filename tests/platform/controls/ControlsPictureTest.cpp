#include "EditTestHost.h"

#include "platform/controls/CommCtrl.h"
#include "platform/controls/Controls.h"
#include "platform/shell/ShlObj.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using pictavo::platform::Automation;

namespace {

// The display name and icon of an absolute id list, as the add dialog's tree shows it.
std::pair<std::u16string, int> describeItem(PCIDLIST_ABSOLUTE list)
{
    SHFILEINFOW info{};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info,
                   SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_SMALLICON);
    return {info.szDisplayName, info.iIcon};
}

HTREEITEM insert(ControlHost& host, HWND tree, HTREEITEM parent, const std::u16string& text, int icon)
{
    TVINSERTSTRUCTW is{};
    is.hParent = parent;
    is.hInsertAfter = TVI_LAST;
    is.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    is.item.pszText = const_cast<LPWSTR>(text.c_str());
    is.item.iImage = is.item.iSelectedImage = icon;
    return reinterpret_cast<HTREEITEM>(host.send(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&is)));
}

// The children of a folder of the namespace, inserted under parent.
void insertChildren(ControlHost& host, HWND tree, HTREEITEM parent, IShellFolder* folder, PCIDLIST_ABSOLUTE base)
{
    IEnumIDList* items = nullptr;
    if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items) != S_OK || !items)
        return;
    PITEMID_CHILD child = nullptr;
    ULONG fetched = 0;
    while (items->Next(1, &child, &fetched) == S_OK && fetched == 1) {
        PIDLIST_ABSOLUTE full = ILCombine(base, child);
        const auto [name, icon] = describeItem(full);
        insert(host, tree, parent, name, icon);
        ILFree(full);
        ILFree(child);
    }
    items->Release();
}

} // namespace

// The native controls together as a dialog shows them: an edit with a selection, an open
// combo box, and the folder tree with the system icons over a namespace made of fixtures.
// The picture is saved for a person to look at.
TEST(ControlsPicture, EditOpenComboAndFolderTreeWithIcons)
{
    pictavo::test::TempDir dir;
    const auto home = dir.path() / "ann";
    std::filesystem::create_directories(home / "照片");
    std::filesystem::create_directories(home / "Desktop" / "旅行");
    std::filesystem::create_directories(dir.path() / "data");
    std::ofstream(dir.path() / "mountinfo") << "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                            << "30 22 8:2 / " << (dir.path() / "data").string()
                                            << " rw - ext4 /dev/sda2 rw\n";
    const char* user = std::getenv("USER");
    const std::string savedUser = user ? user : "";
    setenv("USER", "ann", 1);
    setenv("PICTAVO_SHELL_HOME", home.c_str(), 1);
    setenv("PICTAVO_SHELL_DESKTOP", (home / "Desktop").c_str(), 1);
    setenv("PICTAVO_SHELL_MOUNTINFO", (dir.path() / "mountinfo").c_str(), 1);

    ControlHost host;
    HWND edit = host.create(u"Edit", WS_BORDER | ES_AUTOHSCROLL | ES_NOHIDESEL, 210, 10, 170, 20, 30, u"照片_0001.jpg");
    HWND combo = host.create(u"ComboBox", CBS_DROPDOWNLIST, 210, 40, 90, 80, 31);
    for (const char16_t* text : {u"JPG", u"PNG", u"BMP"})
        host.send(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    host.send(combo, CB_SETCURSEL, 0);
    HWND tree = host.create(u"SysTreeView32", WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, 5, 5,
                            195, 245, 3);
    ASSERT_TRUE(edit && combo && tree);

    SHFILEINFOW info{};
    auto icons = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(u"*.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                                                             SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES |
                                                                 SHGFI_SMALLICON));
    ASSERT_TRUE(icons);
    host.send(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(icons));

    host.run([&] {
        IShellFolder* desktop = nullptr;
        ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
        const BYTE empty[2] = {0, 0};
        const auto root = reinterpret_cast<PCIDLIST_ABSOLUTE>(empty);
        const auto [name, icon] = describeItem(root);
        HTREEITEM top = insert(host, tree, TVI_ROOT, name, icon);
        insertChildren(host, tree, top, desktop, root);
        // The computer: its mounts.
        HTREEITEM computer = reinterpret_cast<HTREEITEM>(host.send(tree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                                   reinterpret_cast<LPARAM>(top)));
        IEnumIDList* items = nullptr;
        PITEMID_CHILD first = nullptr;
        ULONG fetched = 0;
        if (desktop->EnumObjects(nullptr, SHCONTF_FOLDERS, &items) == S_OK && items->Next(1, &first, &fetched) == S_OK) {
            IShellFolder* folder = nullptr;
            if (desktop->BindToObject(first, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)) == S_OK) {
                PIDLIST_ABSOLUTE base = ILCombine(root, first);
                insertChildren(host, tree, computer, folder, base);
                ILFree(base);
                folder->Release();
            }
            ILFree(first);
        }
        if (items)
            items->Release();
        host.send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));
        host.send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(computer));
        desktop->Release();
    });

    ControlHost::clickAt(ControlHost::centre(edit));
    host.send(edit, EM_SETSEL, 0, 7);
    ControlHost::clickAt(ControlHost::centre(combo));
    ASSERT_TRUE(Automation::waitForWindow({}, u"ComboLBox", 2000)) << "the combo box's list is open";
    host.settle();

    const auto items = Automation::describe(tree);
    std::vector<std::u16string> shown;
    for (const auto& item : items.children)
        shown.push_back(item.text);
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"桌面", u"我的电脑", u"文件系统", u"data", u"ann", u"旅行"}));

    auto screen = Automation::screen();
    ASSERT_TRUE(screen);
    auto shot = screen->copyArea(ControlHost::kLeft, ControlHost::kTop, 400, 260);
    ASSERT_TRUE(shot);
    EXPECT_TRUE(Automation::savePng(shot, std::string(PICTAVO_BINARY_DIR) + "/controls.png"));
    // Icons are drawn: the row of the desktop has coloured pixels left of its text.
    const auto& desktopRow = items.children[0];
    int coloured = 0;
    for (int x = desktopRow.bounds.left - 20; x < desktopRow.bounds.left; ++x)
        for (int y = desktopRow.bounds.top; y < desktopRow.bounds.bottom; ++y) {
            const uint8_t* p = screen->pixels() + (static_cast<size_t>(y) * screen->width() + x) * 4;
            coloured += p[0] != p[1] || p[1] != p[2];
        }
    EXPECT_GT(coloured, 10);
    unsetenv("PICTAVO_SHELL_HOME");
    unsetenv("PICTAVO_SHELL_DESKTOP");
    unsetenv("PICTAVO_SHELL_MOUNTINFO");
    if (user)
        setenv("USER", savedUser.c_str(), 1);
    else
        unsetenv("USER");
}
