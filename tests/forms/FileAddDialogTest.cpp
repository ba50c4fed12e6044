#include "forms/CFileAddDialog.h"

#include "Biz/ConfigMgr.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "platform/kernel/Strings.h"
#include "platform/win/Automation.h"
#include "ui/SetUpSkin.h"

#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;
using pictavo::test::waitFor;
namespace fs = std::filesystem;

namespace {

constexpr UINT WM_OPEN_DIALOG = WM_APP + 1;
constexpr UINT WM_STOP_HOST = WM_APP + 2;
constexpr int kOwnerX = 100, kOwnerY = 50, kOwnerW = 1000, kOwnerH = 700;

// The page's window with the upload list, on a UI thread of its own; the test thread is the
// person at the screen.
// A list's node with only its tiles as children.
AutomationNode tilesOf(const AutomationNode* list)
{
    if (!list)
        return {};
    AutomationNode tiles = *list;
    tiles.children.clear();
    for (const AutomationNode& child : list->children)
        if (child.className.rfind(u"ListView", 0) == 0)
            tiles.children.push_back(child);
    return tiles;
}

class DialogHost : public has_slots
{
public:
    DialogHost()
    {
        std::promise<void> ready;
        auto started = ready.get_future();
        thread_ = std::thread([this, &ready] { Run(ready); });
        started.wait();
    }
    ~DialogHost() override
    {
        PostMessageW(owner_, WM_STOP_HOST, 0, 0);
        thread_.join();
        disconnect_all();
    }

    HWND Owner() const { return owner_; }
    // Opens the dialog and returns it once it shows.
    HWND Open()
    {
        PostMessageW(owner_, WM_OPEN_DIALOG, 0, 0);
        HWND dialog = Automation::waitForWindow(u"添加图片", {}, 10000);
        if (dialog)
            Automation::waitIdle(dialog);
        return dialog;
    }
    // What DoModal answered for the last opening, -99 when it has not returned.
    INT_PTR WaitClosed()
    {
        if (!waitFor([&] { return closed_.load() == opened_.load(); }))
            return -99;
        return result_.load();
    }
    AutomationNode UploadList() const
    {
        const AutomationNode tree = Automation::describe(owner_);
        return tilesOf(tree.find(u"ListView"));
    }

    std::atomic<int> loadedSignals{0};

private:
    static LRESULT OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<DialogHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && message == WM_OPEN_DIALOG) {
            ++self->opened_;
            CFileAddDialog dialog;
            dialog.SetTargetList(&self->upload_);
            self->result_ = dialog.DoModal(hwnd);
            ++self->closed_;
            return 0;
        }
        if (message == WM_STOP_HOST) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    void Run(std::promise<void>& ready)
    {
        SetUpSkin();
        static const bool registered = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = &DialogHost::OwnerProc;
            wc.lpszClassName = u"TestAddDialogOwner";
            return RegisterClassExW(&wc) != 0;
        }();
        (void)registered;
        owner_ = CreateWindowExW(0, u"TestAddDialogOwner", u"page", WS_POPUP | WS_VISIBLE, kOwnerX, kOwnerY, kOwnerW,
                                 kOwnerH, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(owner_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        upload_.SetItemSize(150, 151);
        upload_.Create(owner_, 10, 10, 700, 600);
        upload_.thumbnailsLoaded.connect(this, &DialogHost::OnLoaded);
        ready.set_value();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        upload_.StopLoader();
        DestroyWindow(owner_);
        ReleaseSkin();
    }
    void OnLoaded() { ++loadedSignals; }

    std::thread thread_;
    HWND owner_ = nullptr;
    ListView upload_;
    std::atomic<int> opened_{0}, closed_{0};
    std::atomic<INT_PTR> result_{-99};
};

POINT centreOf(const RECT& r)
{
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void clickAt(HWND window, const RECT& r)
{
    const POINT p = centreOf(r);
    Automation::click(p.x, p.y);
    Automation::waitIdle(window);
}

const AutomationNode* treeItem(const AutomationNode& dialog, std::u16string_view text)
{
    const AutomationNode* tree = dialog.find(u"SysTreeView32");
    return tree ? tree->find(u"TreeItem", text) : nullptr;
}

// Opens the folders of the path by their buttons, then clicks the last one's name.
bool clickFolder(HWND dialog, std::initializer_list<std::u16string_view> path)
{
    size_t i = 0;
    for (std::u16string_view name : path) {
        const AutomationNode d = Automation::describe(dialog);
        const AutomationNode* item = treeItem(d, name);
        if (!item)
            return false;
        if (++i == path.size()) {
            clickAt(dialog, item->bounds);
        } else if (item->value("expanded") != u"1") {
            const std::u16string button = item->value("button");
            const size_t comma = button.find(u',');
            if (comma == std::u16string::npos)
                return false;
            Automation::click(std::stoi(pictavo::platform::toUtf8(button.substr(0, comma))),
                              std::stoi(pictavo::platform::toUtf8(button.substr(comma + 1))));
            Automation::waitIdle(dialog);
        }
    }
    return true;
}

AutomationNode pictureList(HWND dialog)
{
    const AutomationNode d = Automation::describe(dialog);
    return tilesOf(d.find(u"ListView"));
}

std::vector<std::u16string> tileNames(const AutomationNode& list)
{
    std::vector<std::u16string> names;
    for (const AutomationNode& tile : list.children)
        names.push_back(tile.text);
    return names;
}

// The count and the size text, in that order.
std::pair<std::u16string, std::u16string> labels(HWND dialog)
{
    const AutomationNode d = Automation::describe(dialog);
    std::pair<std::u16string, std::u16string> texts;
    for (const AutomationNode& child : d.children)
        if (child.className == u"Label")
            (child.text.rfind(u"当前选择", 0) == 0 ? texts.first : texts.second) = child.text;
    return texts;
}

void clickTile(HWND dialog, int index)
{
    const AutomationNode list = pictureList(dialog);
    ASSERT_LT(static_cast<size_t>(index), list.children.size());
    clickAt(dialog, list.children[static_cast<size_t>(index)].bounds);
}

// Buttons in creation order: confirm, cancel, close.
void clickButton(HWND dialog, int which)
{
    const AutomationNode d = Automation::describe(dialog);
    std::vector<RECT> buttons;
    for (const AutomationNode& child : d.children)
        if (child.className == u"Button")
            buttons.push_back(child.bounds);
    ASSERT_EQ(buttons.size(), 3u);
    clickAt(dialog, buttons[static_cast<size_t>(which)]);
}

void clickSelectAll(HWND dialog)
{
    const AutomationNode d = Automation::describe(dialog);
    const AutomationNode* box = d.find(u"CheckBox", u"全选");
    ASSERT_TRUE(box);
    clickAt(dialog, box->bounds);
}

bool allLoaded(HWND dialog)
{
    return waitFor(
        [&] {
            const AutomationNode list = pictureList(dialog);
            if (list.value("loading") != u"0")
                return false;
            for (const AutomationNode& tile : list.children)
                if (tile.value("loaded") != u"1")
                    return false;
            return true;
        },
        std::chrono::seconds(60));
}

std::string jpegOf(LONG w, LONG h)
{
    CxImage image;
    image.Create(DWORD(w), DWORD(h), 24);
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x)
            image.SetPixelColour(x, y, RGBQUAD{BYTE(x), BYTE(y), BYTE(x ^ y), 0});
    CxMemFile file;
    file.Open();
    image.Encode(&file, ImageFormat::Jpg);
    return std::string(reinterpret_cast<const char*>(file.GetBuffer()), size_t(file.Size()));
}

class FileAddDialog : public testing::Test
{
protected:
    void SetUp() override
    {
        home_ = root_.path() / "home";
        drive_ = root_.path() / "mnt" / "data";
        fs::create_directories(home_);
        fs::create_directories(drive_);
        std::ofstream(root_.path() / "mountinfo")
            << "1 0 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
            << "2 1 8:17 / " << drive_.string() << " rw,relatime shared:2 - ext4 /dev/sdb1 rw\n";
        setenv("PICTAVO_SHELL_HOME", home_.c_str(), 1);
        setenv("PICTAVO_SHELL_DESKTOP", home_.c_str(), 1);
        setenv("PICTAVO_SHELL_MOUNTINFO", (root_.path() / "mountinfo").c_str(), 1);
        ConfigMgr* config = ConfigMgr::Instance();
        config->SetDefaultFolder(u"");
        config->SetImgCountLimit(300);
        config->SetImgSizeLimit(0);
    }
    void TearDown() override
    {
        unsetenv("PICTAVO_SHELL_HOME");
        unsetenv("PICTAVO_SHELL_DESKTOP");
        unsetenv("PICTAVO_SHELL_MOUNTINFO");
    }

    // A folder on the drive with files of the given sizes (bytes 'x'), in name order.
    fs::path Folder(const std::string& relative, std::initializer_list<std::pair<std::string, size_t>> files)
    {
        const fs::path folder = drive_ / relative;
        fs::create_directories(folder);
        for (const auto& [name, size] : files)
            std::ofstream(folder / name, std::ios::binary) << std::string(size, 'x');
        return folder;
    }
    static void Remember(const fs::path& folder)
    {
        ConfigMgr::Instance()->SetDefaultFolder(pictavo::platform::fromUtf8(folder.string()));
    }

    pictavo::test::TempDir root_;
    fs::path home_, drive_;
};

} // namespace

TEST_F(FileAddDialog, ReopensInTheLastFolderWithTheDriveAndFoldersBetweenExpanded)
{
    const fs::path folder = Folder("photos/2024", {{"a.jpg", 10}, {"b.png", 20}});
    Folder("photos/2023", {});
    Folder("photosx", {});
    DialogHost host;
    HWND dialog = host.Open();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickFolder(dialog, {u"我的电脑", u"data", u"photos", u"2024"}));
    EXPECT_EQ(tileNames(pictureList(dialog)), (std::vector<std::u16string>{u"a.jpg", u"b.png"}));
    clickButton(dialog, 1);
    EXPECT_EQ(host.WaitClosed(), 0);
    EXPECT_EQ(ConfigMgr::Instance()->DefaultFolder(), pictavo::platform::fromUtf8(folder.string()));

    dialog = host.Open();
    ASSERT_TRUE(dialog);
    AutomationNode d = Automation::describe(dialog);
    for (std::u16string_view name : {u"我的电脑", u"data", u"photos"}) {
        const AutomationNode* item = treeItem(d, name);
        ASSERT_TRUE(item) << pictavo::platform::toUtf8(std::u16string(name));
        EXPECT_EQ(item->value("expanded"), u"1");
    }
    ASSERT_TRUE(treeItem(d, u"2024"));
    EXPECT_EQ(treeItem(d, u"2024")->value("selected"), u"1");
    EXPECT_EQ(tileNames(pictureList(dialog)), (std::vector<std::u16string>{u"a.jpg", u"b.png"}));
    Automation::pressKey(VK_ESCAPE);
    EXPECT_EQ(host.WaitClosed(), IDCANCEL);

    // Gone: its nearest parent that is still there. A partial name is no parent.
    fs::remove_all(folder);
    dialog = host.Open();
    ASSERT_TRUE(dialog);
    d = Automation::describe(dialog);
    ASSERT_TRUE(treeItem(d, u"photos"));
    EXPECT_EQ(treeItem(d, u"photos")->value("selected"), u"1");
    Automation::pressKey(VK_ESCAPE);
    host.WaitClosed();

    Remember(drive_ / "phot");
    dialog = host.Open();
    ASSERT_TRUE(dialog);
    d = Automation::describe(dialog);
    ASSERT_TRUE(treeItem(d, u"data"));
    EXPECT_EQ(treeItem(d, u"data")->value("selected"), u"1");
    EXPECT_EQ(treeItem(d, u"photos")->value("selected"), u"0");
    Automation::pressKey(VK_ESCAPE);
    host.WaitClosed();
}

TEST_F(FileAddDialog, ListsOnlyNonEmptyReadablePictureFiles)
{
    const fs::path folder = Folder("mixed", {{"a.JPG", 10}, {"b.jpeg", 10}, {"c.png", 10}, {"e.txt", 10},
                                             {"empty.png", 0}, {"f.Tif", 10}});
    fs::create_directory(folder / "d.jpg");
    fs::create_symlink(folder / "nowhere", folder / "broken.bmp");
    Remember(folder);
    DialogHost host;
    PostMessageW(host.Owner(), WM_OPEN_DIALOG, 0, 0);
    // The unreadable picture is reported while the folder is listed.
    HWND box = Automation::waitForWindow(u"000", {}, 10000);
    ASSERT_TRUE(box);
    Automation::pressKey(VK_RETURN);
    HWND dialog = Automation::waitForWindow(u"添加图片", {}, 10000);
    ASSERT_TRUE(dialog);
    Automation::waitIdle(dialog);
    EXPECT_EQ(tileNames(pictureList(dialog)), (std::vector<std::u16string>{u"a.JPG", u"c.png", u"f.Tif"}));
    EXPECT_EQ(labels(dialog).first, u"当前选择0/3张照片");
    clickButton(dialog, 2);
    EXPECT_EQ(host.WaitClosed(), 0);
}

TEST_F(FileAddDialog, CountAndSizeFollowTheChecks)
{
    const fs::path small = Folder("small", {{"1.jpg", 600}, {"2.jpg", 100}, {"3.jpg", 700}, {"4.jpg", 900},
                                            {"5.jpg", 50}});
    Folder("big", {{"1.jpg", 1048576}, {"2.jpg", 1048576}, {"3.jpg", 1048576}});
    Remember(small);
    DialogHost host;
    HWND dialog = host.Open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(labels(dialog), std::make_pair(std::u16string(u"当前选择0/5张照片"), std::u16string(u"共0.00KB")));
    clickTile(dialog, 0);
    clickTile(dialog, 2);
    clickTile(dialog, 3);
    EXPECT_EQ(labels(dialog), std::make_pair(std::u16string(u"当前选择3/5张照片"), std::u16string(u"共2.15KB")));
    clickTile(dialog, 0);
    EXPECT_EQ(labels(dialog), std::make_pair(std::u16string(u"当前选择2/5张照片"), std::u16string(u"共1.56KB")));
    clickSelectAll(dialog);
    EXPECT_EQ(labels(dialog), std::make_pair(std::u16string(u"当前选择5/5张照片"), std::u16string(u"共2.29KB")));
    // A quick second click on the box is a click too, not a double-click lost.
    clickSelectAll(dialog);
    EXPECT_EQ(labels(dialog), std::make_pair(std::u16string(u"当前选择0/5张照片"), std::u16string(u"共0.00KB")));

    // A new folder starts unchecked.
    ASSERT_TRUE(clickFolder(dialog, {u"big"}));
    const AutomationNode d = Automation::describe(dialog);
    EXPECT_EQ(d.find(u"CheckBox", u"全选")->value("checked"), u"0");
    clickSelectAll(dialog);
    EXPECT_EQ(labels(dialog), std::make_pair(std::u16string(u"当前选择3/3张照片"), std::u16string(u"3.00MB")));
    Automation::pressKey(VK_ESCAPE);
    host.WaitClosed();
}

TEST_F(FileAddDialog, ConfirmAddsCheckedPicturesUpToTheListsCapWithoutDuplicates)
{
    const fs::path folder = Folder("five", {{"1.jpg", 10}, {"2.jpg", 10}, {"3.jpg", 10}, {"4.jpg", 10},
                                           {"5.jpg", 10}});
    Remember(folder);
    ConfigMgr::Instance()->SetImgCountLimit(2);
    DialogHost host;
    auto uploaded = [&] {
        std::vector<std::u16string> names;
        for (const AutomationNode& tile : host.UploadList().children) {
            EXPECT_EQ(tile.className, u"ListViewPostItem");
            names.push_back(tile.text);
        }
        return names;
    };
    // Cancel after checking adds nothing.
    HWND dialog = host.Open();
    ASSERT_TRUE(dialog);
    clickSelectAll(dialog);
    clickButton(dialog, 1);
    EXPECT_EQ(host.WaitClosed(), 0);
    EXPECT_TRUE(uploaded().empty());

    dialog = host.Open();
    ASSERT_TRUE(dialog);
    for (int i : {4, 1, 3, 0, 2})
        clickTile(dialog, i);
    clickButton(dialog, 0);
    EXPECT_EQ(host.WaitClosed(), 0);
    EXPECT_EQ(uploaded(), (std::vector<std::u16string>{u"1.jpg", u"2.jpg"}));

    // The list is full: a second confirm adds nothing more.
    dialog = host.Open();
    ASSERT_TRUE(dialog);
    clickTile(dialog, 4);
    clickButton(dialog, 0);
    host.WaitClosed();
    EXPECT_EQ(uploaded().size(), 2u);

    // Pictures over the size limit and those the list holds already are passed over.
    ConfigMgr::Instance()->SetImgCountLimit(4);
    ConfigMgr::Instance()->SetImgSizeLimit(9);
    Folder("five", {{"6.jpg", 9}});
    dialog = host.Open();
    ASSERT_TRUE(dialog);
    clickSelectAll(dialog);
    clickButton(dialog, 0);
    host.WaitClosed();
    EXPECT_EQ(uploaded(), (std::vector<std::u16string>{u"1.jpg", u"2.jpg", u"6.jpg"}));
}

TEST_F(FileAddDialog, KeyboardStaysInsideAndOnlyTheFocusedConfirmButtonConfirms)
{
    const fs::path folder = Folder("keys", {{"1.jpg", 10}, {"2.jpg", 10}});
    Remember(folder);
    DialogHost host;
    HWND dialog = host.Open();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(IsWindowEnabled(host.Owner()));
    RECT r{};
    ASSERT_TRUE(Automation::windowRect(dialog, r));
    EXPECT_EQ(r.right - r.left, 820);
    EXPECT_EQ(r.bottom - r.top, 520);
    EXPECT_EQ(r.left, kOwnerX + (kOwnerW - 820) / 2);
    EXPECT_EQ(r.top, kOwnerY + (kOwnerH - 520) / 2);
    EXPECT_TRUE(Automation::describe(dialog).find(u"SysTreeView32")->focused);

    // Enter elsewhere closes without adding.
    clickTile(dialog, 0);
    Automation::pressKey(VK_RETURN);
    EXPECT_EQ(host.WaitClosed(), IDOK);
    EXPECT_TRUE(host.UploadList().children.empty());
    EXPECT_TRUE(IsWindowEnabled(host.Owner()));

    dialog = host.Open();
    ASSERT_TRUE(dialog);
    clickTile(dialog, 1);
    // From the tiles to select-all, Space, then on to the confirm button.
    Automation::pressKey(VK_TAB);
    Automation::pressKey(VK_SPACE);
    Automation::waitIdle(dialog);
    EXPECT_EQ(labels(dialog).first, u"当前选择2/2张照片");
    Automation::pressKey(VK_TAB);
    Automation::waitIdle(dialog);
    const AutomationNode d = Automation::describe(dialog);
    const AutomationNode* focused = nullptr;
    for (const AutomationNode& child : d.children)
        if (child.focused)
            focused = &child;
    ASSERT_TRUE(focused);
    EXPECT_EQ(focused->id, 1001);
    auto shot = Automation::picture(dialog);
    ASSERT_TRUE(shot);
    Automation::savePng(shot, PICTAVO_BINARY_DIR "/add-dialog-focus.png");
    Automation::pressKey(VK_RETURN);
    EXPECT_EQ(host.WaitClosed(), 0);
    EXPECT_EQ(tileNames(host.UploadList()), (std::vector<std::u16string>{u"1.jpg", u"2.jpg"}));
}

TEST_F(FileAddDialog, ManyPicturesLoadWhileTheDialogAnswersAndSwitchingFoldersStopsTheLoader)
{
    // Big enough that the loader is still at work when the person clicks; links cost no disk.
    const std::string jpeg = jpegOf(2000, 1500);
    ASSERT_FALSE(jpeg.empty());
    const fs::path many = drive_ / "many";
    fs::create_directories(many);
    std::ofstream(root_.path() / "one.jpg", std::ios::binary) << jpeg;
    for (int i = 0; i < 500; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%03d.jpg", i);
        fs::create_hard_link(root_.path() / "one.jpg", many / name);
    }
    Folder("other", {{"x.jpg", 10}});
    Remember(many);
    DialogHost host;
    HWND dialog = host.Open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(pictureList(dialog).children.size(), 500u);
    // A click is answered while thumbnails are still being made.
    const auto start = std::chrono::steady_clock::now();
    clickTile(dialog, 0);
    const auto answered = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(labels(dialog).first, u"当前选择1/500张照片");
    EXPECT_LT(answered, std::chrono::milliseconds(1000));
    const AutomationNode midway = pictureList(dialog);
    EXPECT_LT(std::count_if(midway.children.begin(), midway.children.end(),
                            [](const AutomationNode& t) { return t.value("loaded") == u"1"; }),
              500);

    ASSERT_TRUE(clickFolder(dialog, {u"other"}));
    EXPECT_EQ(tileNames(pictureList(dialog)), std::vector<std::u16string>{u"x.jpg"});
    ASSERT_TRUE(allLoaded(dialog));

    ASSERT_TRUE(clickFolder(dialog, {u"many"}));
    ASSERT_TRUE(allLoaded(dialog));
    clickSelectAll(dialog);
    // The long count pushes the size text along instead of running into it.
    const AutomationNode d = Automation::describe(dialog);
    const AutomationNode* count = d.find(u"Label", u"当前选择500/500张照片");
    ASSERT_TRUE(count);
    const AutomationNode* size = nullptr;
    for (const AutomationNode& child : d.children)
        if (child.className == u"Label" && &child != count)
            size = &child;
    ASSERT_TRUE(size);
    EXPECT_GT(size->bounds.left, count->bounds.right);
    clickButton(dialog, 0);
    EXPECT_EQ(host.WaitClosed(), 0);
    // Thumbnails made in the dialog came along; the list's pass ends at once and says so.
    const AutomationNode list = host.UploadList();
    ASSERT_EQ(list.children.size(), 300u);
    ASSERT_TRUE(waitFor([&] { return host.loadedSignals.load() == 1; }));
    for (const AutomationNode& tile : host.UploadList().children)
        EXPECT_EQ(tile.value("loaded"), u"1");
}

TEST_F(FileAddDialog, TheUploadListLoadsThumbnailsNotMadeYet)
{
    // Confirmed long before the dialog could have made all of these.
    const fs::path folder = drive_ / "fresh";
    fs::create_directories(folder);
    std::ofstream(root_.path() / "one.jpg", std::ios::binary) << jpegOf(4000, 3000);
    for (int i = 0; i < 120; ++i)
        fs::create_hard_link(root_.path() / "one.jpg", folder / ("q" + std::to_string(100 + i) + ".jpg"));
    Remember(folder);
    DialogHost host;
    HWND dialog = host.Open();
    ASSERT_TRUE(dialog);
    clickSelectAll(dialog);
    clickButton(dialog, 0);
    EXPECT_EQ(host.WaitClosed(), 0);
    const AutomationNode early = host.UploadList();
    // On a slow run the dialog may finish first, leaving this list's loader nothing to show.
    if (std::count_if(early.children.begin(), early.children.end(),
                      [](const AutomationNode& t) { return t.value("loaded") == u"1"; }) == 120)
        GTEST_SKIP() << "the dialog made every thumbnail before the confirm";
    ASSERT_TRUE(waitFor([&] { return host.loadedSignals.load() == 1; }, std::chrono::seconds(60)));
    const AutomationNode list = host.UploadList();
    ASSERT_EQ(list.children.size(), 120u);
    for (const AutomationNode& tile : list.children)
        EXPECT_EQ(tile.value("loaded"), u"1") << pictavo::platform::toUtf8(tile.text);
}

TEST_F(FileAddDialog, PictureWithTilesChecked)
{
    const std::string jpeg = jpegOf(320, 240);
    const fs::path folder = drive_ / "look";
    fs::create_directories(folder);
    for (int i = 0; i < 9; ++i)
        std::ofstream(folder / ("photo-" + std::to_string(i) + ".jpg"), std::ios::binary) << jpeg;
    Remember(folder);
    DialogHost host;
    HWND dialog = host.Open();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(allLoaded(dialog));
    clickTile(dialog, 1);
    clickTile(dialog, 2);
    clickTile(dialog, 5);
    auto shot = Automation::picture(dialog);
    ASSERT_TRUE(shot);
    Automation::savePng(shot, PICTAVO_BINARY_DIR "/add-dialog.png");
    auto at = [&](int x, int y) {
        const uint8_t* p = shot->pixels() + (y * shot->width() + x) * 4;
        return RGB(p[2], p[1], p[0]);
    };
    // The grey band below the list, the frame's border.
    EXPECT_EQ(at(100, 510), RGB(0xF3, 0xF3, 0xF3));
    EXPECT_EQ(at(0, 300), RGB(0xD8, 0xD8, 0xD8));
    Automation::pressKey(VK_ESCAPE);
    host.WaitClosed();
}
