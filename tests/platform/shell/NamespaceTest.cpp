#include "ShellFixture.h"

#include "platform/com/Apartment.h"
#include "platform/com/ComPtr.h"
#include "platform/kernel/Strings.h"
#include "platform/shell/ShlObj.h"
#include "platform/shell/ShlwApi.h"
#include "platform/shell/SystemIcons.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace pictavo::platform;
using pictavo::test::ShellFixture;

namespace {

// An id list owned the way the dialog owns its items: freed with the shell allocator.
struct Pidl
{
    PIDLIST_ABSOLUTE p = nullptr;
    Pidl() = default;
    explicit Pidl(PIDLIST_ABSOLUTE q) : p(q) {}
    Pidl(Pidl&& o) noexcept : p(std::exchange(o.p, nullptr)) {}
    Pidl& operator=(Pidl&& o) noexcept
    {
        std::swap(p, o.p);
        return *this;
    }
    ~Pidl()
    {
        ComPtr<IMalloc> m;
        SHGetMalloc(m.GetAddressOf());
        m->Free(p);
    }
};

struct Child
{
    std::u16string name;
    Pidl absolute;
};

std::u16string nameOf(IShellFolder* folder, PCUITEMID_CHILD item)
{
    STRRET r{};
    EXPECT_EQ(S_OK, folder->GetDisplayNameOf(item, SHGDN_NORMAL, &r));
    std::u16string s = r.pOleStr;
    CoTaskMemFree(r.pOleStr);
    return s;
}

// The children of the folder at `parent` (absolute), bound from the desktop as the dialog does.
std::vector<Child> children(PCIDLIST_ABSOLUTE parent, SHCONTF flags = SHCONTF_FOLDERS)
{
    ComPtr<IShellFolder> desktop;
    EXPECT_EQ(S_OK, SHGetDesktopFolder(desktop.GetAddressOf()));
    ComPtr<IShellFolder> folder = desktop;
    if (!ILIsEmpty(parent)) {
        folder = nullptr;
        EXPECT_EQ(S_OK, desktop->BindToObject(parent, nullptr, IID_IShellFolder,
                                              reinterpret_cast<void**>(folder.GetAddressOf())));
    }
    std::vector<Child> out;
    if (!folder)
        return out;
    ComPtr<IEnumIDList> items;
    EXPECT_EQ(S_OK, folder->EnumObjects(nullptr, flags, items.GetAddressOf()));
    PITEMID_CHILD item;
    ULONG fetched;
    while (items->Next(1, &item, &fetched) == S_OK) {
        out.push_back(Child{nameOf(folder.Get(), item), Pidl(ILCombine(parent, item))});
        ILFree(item);
    }
    return out;
}

std::vector<std::u16string> names(const std::vector<Child>& list)
{
    std::vector<std::u16string> out;
    for (const Child& c : list)
        out.push_back(c.name);
    return out;
}

std::string pathOf(PCIDLIST_ABSOLUTE pidl)
{
    WCHAR buffer[MAX_PATH];
    const BOOL ok = SHGetPathFromIDListW(pidl, buffer);
    EXPECT_EQ(ok != FALSE, buffer[0] != 0);
    return toUtf8(buffer);
}

const Child* find(const std::vector<Child>& list, std::u16string_view name)
{
    for (const Child& c : list)
        if (c.name == name)
            return &c;
    return nullptr;
}

const ITEMIDLIST kDesktop{};

} // namespace

class ShellNamespace : public ShellFixture
{};

TEST_F(ShellNamespace, DesktopHoldsComputerHomeThenItsFoldersInNameOrder)
{
    mkdirs(desktop / "beta");
    mkdirs(desktop / "Alpha");
    mkdirs(desktop / ".secret");
    dir.write("home/ann/Desktop/note.txt", "x");

    const auto top = children(&kDesktop);
    EXPECT_EQ((std::vector<std::u16string>{u"我的电脑", u"ann", u"Alpha", u"beta"}), names(top));
    EXPECT_EQ("", pathOf(top[0].absolute.p));
    EXPECT_EQ(home.string(), pathOf(top[1].absolute.p));
    EXPECT_EQ((desktop / "Alpha").string(), pathOf(top[2].absolute.p));
    EXPECT_EQ(desktop.string(), pathOf(&kDesktop));

    EXPECT_EQ((std::vector<std::u16string>{u"我的电脑", u"ann", u".secret", u"Alpha", u"beta"}),
              names(children(&kDesktop, SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN)));
    EXPECT_EQ((std::vector<std::u16string>{u"note.txt"}), names(children(&kDesktop, SHCONTF_NONFOLDERS)));

    // The home folder lists its own sub-folders, the desktop among them.
    EXPECT_EQ((std::vector<std::u16string>{u"Desktop"}), names(children(top[1].absolute.p)));
}

TEST_F(ShellNamespace, DesktopFolderComesFromUserDirsOrFallsBackToHome)
{
    unsetenv("PICTAVO_SHELL_DESKTOP");
    mkdirs(home / "桌面文件夹" / "inside");
    mkdirs(home / ".config");
    dir.write("home/ann/.config/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/桌面文件夹\"\n");
    EXPECT_EQ((home / "桌面文件夹").string(), pathOf(&kDesktop));
    EXPECT_EQ(u"inside", children(&kDesktop).back().name);

    std::filesystem::remove(home / ".config" / "user-dirs.dirs");
    std::filesystem::remove_all(desktop);
    EXPECT_EQ(home.string(), pathOf(&kDesktop));
    EXPECT_EQ((std::vector<std::u16string>{u"我的电脑", u"ann", u"桌面文件夹"}), names(children(&kDesktop)));
}

TEST_F(ShellNamespace, ComputerListsRealMountsRootFirst)
{
    const auto data = dir.path() / "mnt" / "data";
    const auto usb = dir.path() / "media" / "usb stick";
    mkdirs(data);
    mkdirs(usb);
    dir.write("hosts", "127.0.0.1 localhost\n");
    writeMounts("/proc proc\n/sys sysfs\n/sys/fs/cgroup cgroup2\n/dev/shm tmpfs\n/run tmpfs\n" +
                data.string() + " ext4\n/snap/core/1 squashfs\n/run/user/1000/doc fuse.portal\n/ overlay\n" +
                (dir.path() / "media").string() + "/usb\\040stick vfat\n" + (dir.path() / "hosts").string() +
                " ext4\n" + data.string() + " ext4\n");

    const auto top = children(&kDesktop);
    ASSERT_EQ(u"我的电脑", top[0].name);
    const auto drives = children(top[0].absolute.p);
    ASSERT_EQ((std::vector<std::u16string>{u"文件系统", u"data", u"usb stick"}), names(drives));
    EXPECT_EQ("/", pathOf(drives[0].absolute.p));
    EXPECT_EQ(usb.string(), pathOf(drives[2].absolute.p));

    SHFILEINFOW info{};
    const DWORD_PTR list =
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(drives[1].absolute.p), 0, &info, sizeof info, 0x4609);
    EXPECT_EQ(std::u16string(u"data"), info.szDisplayName);
    EXPECT_EQ(std::u16string(u"本地磁盘"), info.szTypeName);
    EXPECT_EQ(SystemIcons::Drive, info.iIcon);
    SHFILEINFOW txt{};
    EXPECT_EQ(list, SHGetFileInfoW(u"*.txt", FILE_ATTRIBUTE_NORMAL, &txt, sizeof txt, 0x4011));
    EXPECT_NE(0u, list);
    EXPECT_EQ(SystemIcons::File, txt.iIcon);

    // A mount table that cannot be read still leaves the root file system.
    setenv("PICTAVO_SHELL_MOUNTINFO", (dir.path() / "missing").c_str(), 1);
    EXPECT_EQ((std::vector<std::u16string>{u"文件系统"}), names(children(top[0].absolute.p)));
}

TEST_F(ShellNamespace, ItemsCarryNameTypeAndIconForTheDialog)
{
    mkdirs(desktop / "photos");
    const auto top = children(&kDesktop);
    const struct
    {
        PCIDLIST_ABSOLUTE pidl;
        const char16_t* name;
        const char16_t* type;
        int icon;
    } cases[] = {{&kDesktop, u"桌面", u"系统文件夹", SystemIcons::Desktop},
                 {top[0].absolute.p, u"我的电脑", u"系统文件夹", SystemIcons::Computer},
                 {top[1].absolute.p, u"ann", u"文件夹", SystemIcons::Home},
                 {top[2].absolute.p, u"photos", u"文件夹", SystemIcons::Folder}};
    for (const auto& c : cases) {
        SHFILEINFOW info{};
        EXPECT_NE(0u, SHGetFileInfoW(reinterpret_cast<LPCWSTR>(c.pidl), 0, &info, sizeof info, 0x4609));
        EXPECT_EQ(std::u16string(c.name), info.szDisplayName);
        EXPECT_EQ(std::u16string(c.type), info.szTypeName);
        EXPECT_EQ(c.icon, info.iIcon);
    }
    SHFILEINFOW pic{};
    SHGetFileInfoW(u"x/a.JPG", 0, &pic, sizeof pic,
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_TYPENAME);
    EXPECT_EQ(SystemIcons::Picture, pic.iIcon);
    EXPECT_EQ(std::u16string(u"JPG 图像"), pic.szTypeName);
}

TEST_F(ShellNamespace, FolderThatCannotBeOpenedHasNoChildren)
{
    mkdirs(desktop / "gone" / "child");
    mkdirs(desktop / "locked" / "child");
    const auto top = children(&kDesktop);
    std::filesystem::remove_all(desktop / "gone");
    EXPECT_TRUE(children(top[2].absolute.p).empty());
    if (geteuid() != 0) { // root reads through any mode
        chmod((desktop / "locked").c_str(), 0);
        EXPECT_TRUE(children(top[3].absolute.p).empty());
        chmod((desktop / "locked").c_str(), 0755);
    }
}

TEST_F(ShellNamespace, NonUtf8NamesAndManyFoldersSurvive)
{
    const std::string odd = "caf\xe9-\xff";
    mkdirs(desktop / odd);
    for (int i = 0; i < 1000; ++i)
        mkdirs(desktop / "many" / ((i % 2 ? "Sub" : "sub") + std::to_string(i)));
    const auto top = children(&kDesktop);
    const Child* oddChild = find(top, fromUtf8(odd));
    ASSERT_NE(nullptr, oddChild);
    EXPECT_EQ((desktop / odd).string(), pathOf(oddChild->absolute.p));
    EXPECT_TRUE(PathIsDirectoryW(fromUtf8(pathOf(oddChild->absolute.p)).c_str()));

    const auto many = children(find(top, u"many")->absolute.p);
    ASSERT_EQ(1000u, many.size());
    for (size_t i = 1; i < many.size(); ++i)
        EXPECT_LT(StrCmpW(many[i - 1].name.c_str(), many[i].name.c_str()), 0) << i;
}

TEST_F(ShellNamespace, ForgedAndOverlongListsAreRefused)
{
    // A folder id whose name climbs out of its parent must never name that place.
    const BYTE forged[] = {8, 0, 4, '.', '.', '/', 'e', 't', 0, 0};
    const auto* pidl = reinterpret_cast<PCIDLIST_ABSOLUTE>(forged);
    WCHAR path[MAX_PATH] = u"untouched";
    EXPECT_FALSE(SHGetPathFromIDListW(pidl, path));
    EXPECT_EQ(0, path[0]);
    SHFILEINFOW info{};
    EXPECT_EQ(0u, SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof info, 0x4609));
    ComPtr<IShellFolder> root;
    SHGetDesktopFolder(root.GetAddressOf());
    void* out = nullptr;
    EXPECT_EQ(E_INVALIDARG, root->BindToObject(pidl, nullptr, IID_IShellFolder, &out));

    // A path beyond MAX_PATH is refused whole, not cut into a shorter one.
    const std::string segment(100, 'd');
    mkdirs(desktop / segment / segment / segment);
    auto level = children(&kDesktop);
    for (int depth = 0; depth < 2; ++depth)
        level = children(level.back().absolute.p);
    ASSERT_EQ(std::u16string(100, u'd'), level.back().name);
    EXPECT_FALSE(SHGetPathFromIDListW(level.back().absolute.p, path));
    EXPECT_EQ(0, path[0]);
}

TEST_F(ShellNamespace, CompareIdsOrdersFixedNodesThenNames)
{
    mkdirs(desktop / "b");
    mkdirs(desktop / "A");
    const auto top = children(&kDesktop);
    ComPtr<IShellFolder> root;
    SHGetDesktopFolder(root.GetAddressOf());
    for (size_t i = 0; i + 1 < top.size(); ++i) {
        EXPECT_LT(static_cast<SHORT>(root->CompareIDs(0, top[i].absolute.p, top[i + 1].absolute.p) & 0xFFFF),
                  0);
        EXPECT_GT(static_cast<SHORT>(root->CompareIDs(0, top[i + 1].absolute.p, top[i].absolute.p) & 0xFFFF),
                  0);
    }
    EXPECT_EQ(S_OK, root->CompareIDs(0, top[2].absolute.p, top[2].absolute.p));
}

TEST(SystemIcons, ArtGivesEveryIconDistinctAndShaped)
{
    std::string error;
    const auto art = SystemIcons::parse(SystemIcons::source(), &error);
    ASSERT_EQ(static_cast<size_t>(SystemIcons::Count), art.size()) << error;
    for (size_t i = 0; i < art.size(); ++i) {
        for (size_t j = i + 1; j < art.size(); ++j)
            EXPECT_NE(art[i].argb, art[j].argb) << art[i].name << " " << art[j].name;
        // Clear somewhere and solid somewhere: shaped with alpha, not a square.
        EXPECT_NE(art[i].argb.end(), std::find(art[i].argb.begin(), art[i].argb.end(), 0u)) << art[i].name;
        EXPECT_NE(art[i].argb.end(), std::find_if(art[i].argb.begin(), art[i].argb.end(),
                                                  [](uint32_t p) { return (p >> 24) == 0xFF; }));
    }
    EXPECT_TRUE(SystemIcons::parse("palette\n. 00000000\nicon x\n...\n", &error).empty());
    EXPECT_NE(std::string::npos, error.find("16 rows"));

    HIMAGELIST list = SystemIcons::smallList();
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(16, cx);
    EXPECT_EQ(16, cy);
    EXPECT_EQ(SystemIcons::Count, ImageList_GetImageCount(list));
    ImageList_Destroy(list); // someone else's mistake must not leave the tree without icons
    EXPECT_EQ(SystemIcons::Count, ImageList_GetImageCount(SystemIcons::smallList()));
}
