// The control's panel as a person at the page sees it: controls activated in a page window on a
// thread of their own, read through the automation's element trees and window pictures,
// driven by clicks and file drops.

#include "Biz/AppState.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "module/Pictavo.h"
#include "platform/com/RefCounted.h"
#include "platform/kernel/Strings.h"
#include "platform/win/Automation.h"
#include "support/PageSite.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "ui/ImageLister.h"
#include "ui/ListViewPostItem.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;

namespace {

constexpr UINT WM_RUN = WM_APP + 77;

using pictavo::test::PageSite;

LRESULT pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RUN) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A page window with controls of 700 x 420, one below the other, on a UI thread of its own.
class Page
{
public:
    explicit Page(int controls = 1)
    {
        // Room for two controls one below the other.
        Automation::setScreenSize(1440, 900);
        std::mutex m;
        std::condition_variable cv;
        bool ready = false;
        thread_ = std::thread([&] {
            static const bool registered = [] {
                WNDCLASSEXW wc{};
                wc.cbSize = sizeof wc;
                wc.lpfnWndProc = pageProc;
                wc.lpszClassName = u"PanelTestPage";
                return RegisterClassExW(&wc) != 0;
            }();
            (void)registered;
            page_ = CreateWindowExW(0, u"PanelTestPage", u"page", WS_POPUP | WS_VISIBLE, 0, 0, 716,
                                    16 + 428 * controls, nullptr, nullptr, nullptr, nullptr);
            for (int i = 0; i < controls; ++i)
                activate(i);
            {
                std::lock_guard lock(m);
                ready = true;
                cv.notify_all();
            }
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        });
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return ready; });
    }
    ~Page()
    {
        call([&] {
            for (auto& c : controls_)
                if (c.ole)
                    c.ole->Close(OLECLOSE_NOSAVE);
            controls_.clear();
            DestroyWindow(page_);
        });
        thread_.join();
        AppState::Instance()->SetStopped();
    }

    void call(const std::function<void()>& fn) { SendMessageW(page_, WM_RUN, 0, reinterpret_cast<LPARAM>(&fn)); }
    // Activates control i (again): a new window for it.
    void activate(int i)
    {
        if (static_cast<int>(controls_.size()) <= i) {
            controls_.resize(static_cast<size_t>(i) + 1);
            const RECT at{8, 8 + 428 * i, 708, 428 + 428 * i};
            controls_[i].site = pictavo::platform::makeCom<PageSite>(page_, at);
            CPictavo::CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(controls_[i].ole.GetAddressOf()));
            controls_[i].ole->SetClientSite(controls_[i].site.Get());
        }
        controls_[i].ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, controls_[i].site.Get(), 0, page_, nullptr);
    }
    void deactivate(int i)
    {
        ComPtr<IOleInPlaceObject> inPlace;
        controls_[i].ole.As(&inPlace);
        inPlace->InPlaceDeactivate();
    }
    PageSite& site(int i = 0) { return *controls_[i].site.Get(); }
    HWND pageWindow() const { return page_; }
    CPictavo& object(int i = 0) { return *static_cast<CPictavo*>(controls_[i].ole.Get()); }
    MainPanel& panel(int i = 0) { return object(i).Panel(); }
    HWND window(int i = 0) { return object(i).Window(); }
    // A client point of control i on the screen.
    POINT screen(int x, int y, int i = 0)
    {
        RECT r{};
        Automation::windowRect(window(i), r);
        return POINT{r.left + x, r.top + y};
    }
    // The panel's self-drawn elements in their order, bounds relative to the control.
    std::vector<AutomationNode> elements(int i = 0)
    {
        Automation::waitIdle(window(i));
        AutomationNode whole = Automation::describe(window(i));
        std::vector<AutomationNode> out;
        for (AutomationNode& c : whole.children)
            if (!c.hwnd) {
                RECT r{};
                Automation::windowRect(window(i), r);
                c.bounds = RECT{c.bounds.left - r.left, c.bounds.top - r.top, c.bounds.right - r.left,
                                c.bounds.bottom - r.top};
                out.push_back(c);
            }
        return out;
    }
    AutomationNode list(int i = 0)
    {
        Automation::waitIdle(window(i));
        const AutomationNode whole = Automation::describe(window(i));
        const AutomationNode* l = whole.find(u"ListView");
        return l ? *l : AutomationNode{};
    }
    void click(int x, int y, int i = 0)
    {
        const POINT p = screen(x, y, i);
        Automation::click(p.x, p.y);
        Automation::waitIdle(window(i));
    }
    // A client pixel of control i as the screen shows it.
    COLORREF pixel(int x, int y, int i = 0)
    {
        Automation::waitIdle(window(i));
        auto shot = Automation::picture(page_);
        RECT r{};
        Automation::windowRect(page_, r);
        const POINT p = screen(x, y, i);
        if (!shot || p.x < r.left || p.y < r.top || p.x - r.left >= shot->width() || p.y - r.top >= shot->height())
            return CLR_INVALID;
        const uint8_t* px = shot->pixels() + ((p.y - r.top) * shot->width() + (p.x - r.left)) * 4;
        return RGB(px[2], px[1], px[0]);
    }
    void savePicture(const std::string& name, int i = 0)
    {
        Automation::waitIdle(window(i));
        Automation::savePng(Automation::picture(window(i)), std::string(PICTAVO_BINARY_DIR) + "/" + name);
    }

private:
    struct Control
    {
        ComPtr<PageSite> site;
        ComPtr<IOleObject> ole;
    };
    std::thread thread_;
    HWND page_ = nullptr;
    std::vector<Control> controls_;
};

// Indexes of the elements in the panel's order.
enum
{
    Add,
    Post,
    SelectAll,
    BigAdd,
    Hint,
    Edit,
    RotateLeft,
    RotateRight,
    Delete,
    Status,
    Remaining,
    Speed,
    ElementCount
};

std::string text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

bool toolsEnabled(const std::vector<AutomationNode>& e)
{
    return !e[Edit].disabled && !e[RotateLeft].disabled && !e[RotateRight].disabled && !e[Delete].disabled;
}
bool toolsDisabled(const std::vector<AutomationNode>& e)
{
    return e[Edit].disabled && e[RotateLeft].disabled && e[RotateRight].disabled && e[Delete].disabled;
}

std::u16string writePicture(const std::string& path, DWORD format = ImageFormat::Jpg)
{
    CxImage image;
    image.Create(64, 48, 24);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.SetPixelColour(x, y, RGBQUAD{static_cast<BYTE>(x * 4), static_cast<BYTE>(y * 5), 150, 0});
    CxMemFile file;
    file.Open();
    image.Encode(&file, format);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.GetBuffer()), file.Size());
    return pictavo::platform::fromUtf8(path);
}

class PanelTest : public ::testing::Test
{
protected:
    std::u16string picture(const std::string& name, DWORD format = ImageFormat::Jpg)
    {
        return writePicture(dir.path().string() + "/" + name, format);
    }
    void drop(Page& page, std::vector<std::u16string> files, int i = 0)
    {
        // The tool band is the control's own window whatever the look.
        const POINT p = page.screen(300, 20, i);
        Automation::dropFiles(p, std::move(files));
        Automation::waitIdle(page.window(i));
    }
    bool loaded(Page& page, LONG count, int i = 0)
    {
        return pictavo::test::waitFor([&] {
            const AutomationNode l = page.list(i);
            if (static_cast<LONG>(l.children.size()) < count)
                return false;
            for (const auto& t : l.children)
                if (!t.hwnd && t.value("loaded") != u"1")
                    return false;
            return page.list(i).value("loading") != u"1";
        });
    }
    static std::vector<AutomationNode> tiles(const AutomationNode& list)
    {
        std::vector<AutomationNode> out;
        for (const auto& t : list.children)
            if (!t.hwnd)
                out.push_back(t);
        return out;
    }

    pictavo::test::TempDir dir;
};

TEST_F(PanelTest, AFreshControlShowsTheEmptyListLook)
{
    Page page;
    const auto e = page.elements();
    ASSERT_EQ(e.size(), static_cast<size_t>(ElementCount));
    EXPECT_FALSE(page.list().visible);
    EXPECT_EQ(e[BigAdd].bounds.top, 228);
    EXPECT_EQ(e[BigAdd].bounds.left, (700 - 203) / 2);
    EXPECT_EQ(e[Hint].bounds.top, 298);
    EXPECT_EQ(e[Hint].bounds.left, (700 - 227) / 2);
    EXPECT_EQ(e[Hint].text, u"单击\"添加照片\"按钮或拖动照片到上传框中");
    EXPECT_TRUE(e[BigAdd].visible && e[Hint].visible);
    EXPECT_EQ(text(e[Add].bounds), "6,4,90,28");
    EXPECT_EQ(text(e[Post].bounds), "94,4,178,28");
    EXPECT_FALSE(e[Add].disabled);
    EXPECT_TRUE(e[Post].disabled);
    EXPECT_FALSE(e[SelectAll].disabled);
    EXPECT_EQ(e[SelectAll].value("checked"), u"0");
    EXPECT_TRUE(toolsDisabled(e));
    EXPECT_EQ(e[Status].text, u"请点击\"添加按钮\"，选择要上传的照片");
    // Right-anchored tools keep their order along the band without overlapping.
    for (auto [left, right] : {std::pair{SelectAll, Edit}, {Edit, RotateLeft}, {RotateLeft, RotateRight},
                               {RotateRight, Delete}})
        EXPECT_LE(e[left].bounds.right, e[right].bounds.left) << left;
    EXPECT_EQ(e[Delete].bounds.right, 700 - 6);
    EXPECT_FALSE(page.object().PostEnabled());

    // Skinned: the large add button's picture on a white background.
    EXPECT_EQ(page.pixel(3, 200), RGB(255, 255, 255));
    EXPECT_NE(page.pixel(350, 253), RGB(255, 255, 255));
    page.savePicture("panel-empty.png");
}

TEST_F(PanelTest, DropsOnTheControlWindowTakeOnlyPicturesEachOnce)
{
    Page page;
    const std::u16string jpg = picture("upper.JPG");
    const std::u16string png = picture("b.png", ImageFormat::Png);
    const std::u16string jpeg = picture("c.jpeg");
    const std::u16string tif = picture("d.tif");
    std::filesystem::create_directory(dir.file("folder.jpg"));
    std::string deep = dir.path().string();
    while (deep.size() < 300)
        deep += "/nested-folder-name";
    std::filesystem::create_directories(deep);
    const std::u16string longPath = writePicture(deep + "/long.jpg");

    // Nothing of these is a picture this window takes: the look stays as it was.
    drop(page, {dir.file("folder.jpg").u16string(), u"/", jpeg, tif, longPath});
    EXPECT_EQ(page.list().value("count"), u"0");
    EXPECT_TRUE(page.elements()[BigAdd].visible);
    EXPECT_TRUE(page.elements()[Post].disabled);

    drop(page, {jpg, png, jpg});
    drop(page, {png});
    ASSERT_TRUE(loaded(page, 2));
    const auto t = tiles(page.list());
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].text, u"upper.JPG");
    EXPECT_EQ(t[1].text, u"b.png");
    const auto e = page.elements();
    EXPECT_TRUE(page.list().visible);
    EXPECT_FALSE(e[BigAdd].visible || e[Hint].visible);
    EXPECT_FALSE(e[Post].disabled);
    EXPECT_TRUE(toolsDisabled(e));
    page.savePicture("panel-tiles.png");

    // A run refuses them.
    page.call([&] { page.panel().isUploading = [] { return true; }; });
    drop(page, {picture("e.gif", ImageFormat::Png)});
    page.call([&] { page.panel().isUploading = [&page] { return page.object().IsPosting(); }; });
    EXPECT_EQ(page.list().value("count"), u"2");
}

TEST_F(PanelTest, SelectionDrivesTheToolsAndDeletingTheLastTileEmptiesThePanel)
{
    Page page;
    drop(page, {picture("a.jpg"), picture("b.jpg"), picture("c.jpg")});
    ASSERT_TRUE(loaded(page, 3));
    RECT lr{};
    Automation::windowRect(page.window(), lr);
    const RECT first = tiles(page.list())[0].bounds;
    Automation::click(first.left + 40, first.top + 40);
    EXPECT_TRUE(toolsEnabled(page.elements()));
    // A click beside the tiles clears the selection.
    Automation::click(lr.left + 650, lr.top + 400);
    EXPECT_TRUE(toolsDisabled(page.elements()));

    const RECT box = page.elements()[SelectAll].bounds;
    page.click(box.left + 5, box.top + 5);
    auto e = page.elements();
    EXPECT_EQ(e[SelectAll].value("checked"), u"1");
    EXPECT_TRUE(toolsEnabled(e));
    for (const auto& t : tiles(page.list()))
        EXPECT_EQ(t.value("selected"), u"1");
    page.click(box.left + 5, box.top + 5);
    EXPECT_TRUE(toolsDisabled(page.elements()));
    for (const auto& t : tiles(page.list()))
        EXPECT_NE(t.value("selected"), u"1");

    page.click(box.left + 5, box.top + 5);
    const RECT del = page.elements()[Delete].bounds;
    page.click(del.left + 4, del.top + 6);
    e = page.elements();
    EXPECT_EQ(page.list().value("count"), u"0");
    EXPECT_FALSE(page.list().visible);
    EXPECT_TRUE(e[BigAdd].visible && e[Hint].visible);
    EXPECT_TRUE(e[Post].disabled);
    EXPECT_TRUE(toolsDisabled(e));
}

TEST_F(PanelTest, TheHooksAreCalledAtTheirMoments)
{
    Page page;
    std::vector<HWND> owners;
    std::vector<std::u16string> edited;
    int posts = 0;
    std::vector<std::u16string> toAdd{picture("a.jpg"), picture("b.jpg")};
    bool postDisabledInDialog = false;
    page.call([&] {
        MainPanel& p = page.panel();
        p.openAddDialog = [&](HWND owner, ListView& list) {
            owners.push_back(owner);
            postDisabledInDialog = p.postButton.disabled;
            for (const auto& path : toAdd)
                list.AddItem(new ListViewPostItem(path));
            toAdd.clear();
        };
        p.openEditor = [&](HWND owner, ListViewPostItem& tile) {
            owners.push_back(owner);
            edited.push_back(tile.name);
        };
        p.onPost = [&] { ++posts; };
    });
    const RECT big = page.elements()[BigAdd].bounds;
    page.click(big.left + 100, big.top + 25);
    ASSERT_EQ(owners.size(), 1u);
    EXPECT_TRUE(IsWindow(owners[0]));
    EXPECT_TRUE(postDisabledInDialog);
    // The list is shown at once; posting waits for the thumbnails of the pass the dialog starts.
    EXPECT_TRUE(page.list().visible);
    EXPECT_TRUE(page.elements()[Post].disabled);
    page.call([&] { page.panel().list.StartLoader(); });
    ASSERT_TRUE(loaded(page, 2));
    ASSERT_TRUE(pictavo::test::waitFor([&] { return !page.elements()[Post].disabled; }));

    // A dialog closed without taking anything gives the post button back.
    page.click(20, 15);
    EXPECT_EQ(owners.size(), 2u);
    EXPECT_FALSE(page.elements()[Post].disabled);
    page.click(120, 15);
    EXPECT_EQ(posts, 1);

    // The edit tool edits the first tile of the selection only.
    const auto t = tiles(page.list());
    Automation::click(t[1].bounds.left + 40, t[1].bounds.top + 40);
    POINT ctrl{t[0].bounds.left + 40, t[0].bounds.top + 40};
    Automation::keyDown(VK_CONTROL);
    Automation::click(ctrl.x, ctrl.y);
    Automation::keyUp(VK_CONTROL);
    const RECT edit = page.elements()[Edit].bounds;
    page.click(edit.left + 4, edit.top + 6);
    EXPECT_EQ(edited, (std::vector<std::u16string>{u"b.jpg"}));
}

TEST_F(PanelTest, DoubleClickPreviewsOnlyALoadedPicture)
{
    Page page;
    drop(page, {dir.write("broken.jpg", "not a picture").u16string(), picture("good.jpg")});
    ASSERT_TRUE(pictavo::test::waitFor([&] { return page.list().value("loading") != u"1"; }));
    const auto t = tiles(page.list());
    ASSERT_EQ(t.size(), 2u);
    Automation::doubleClick(t[0].bounds.left + 60, t[0].bounds.top + 40);
    Automation::waitIdle(page.window());
    EXPECT_EQ(Automation::waitForWindow(u"", u"PictavoImageView", 300), nullptr);
    Automation::doubleClick(t[1].bounds.left + 60, t[1].bounds.top + 40);
    HWND preview = Automation::waitForWindow(u"", u"PictavoImageView", 3000);
    ASSERT_NE(preview, nullptr);
    // It holds its own copy: the tile may go while the preview is open.
    page.call([&] { page.panel().list.Clear(); });
    Automation::click(5, 5);
    EXPECT_TRUE(Automation::waitForGone(preview, 3000));
}

TEST_F(PanelTest, TheUploadingLookAndItsRefusals)
{
    Page page;
    drop(page, {picture("a.jpg"), picture("b.jpg")});
    ASSERT_TRUE(loaded(page, 2));
    const RECT box = page.elements()[SelectAll].bounds;
    page.click(box.left + 5, box.top + 5);
    bool uploading = false;
    int dialogs = 0;
    page.call([&] {
        MainPanel& p = page.panel();
        p.isUploading = [&] { return uploading; };
        p.openAddDialog = [&](HWND, ListView&) { ++dialogs; };
        uploading = true;
        IRunPanel& run = p;
        run.SetPostSkins(true);
        run.EnablePost(true);
        run.EnableAdd(false);
        run.EnableSelectAll(false);
        run.ShowRunLabels(true);
        run.UpdateTools();
    });
    SendMessageW(page.window(), WM_USER + 101, reinterpret_cast<WPARAM>(u"正在上传第 1 张，共 2 张"), 0);
    SendMessageW(page.window(), WM_USER + 102, reinterpret_cast<WPARAM>(u"剩余时间：00:00:12"), 0);
    SendMessageW(page.window(), WM_USER + 103, reinterpret_cast<WPARAM>(u"速度：12.5KB/S"), 0);
    auto e = page.elements();
    EXPECT_TRUE(e[Add].disabled && e[SelectAll].disabled && !e[Post].disabled);
    EXPECT_TRUE(toolsDisabled(e));
    EXPECT_EQ(e[Status].text, u"正在上传第 1 张，共 2 张");
    EXPECT_EQ(e[Remaining].text, u"剩余时间：00:00:12");
    EXPECT_TRUE(e[Speed].visible);
    EXPECT_EQ(page.object().ProgressText(), u"正在上传第 1 张，共 2 张");
    // Neither the add button, the box nor a drop on the window does anything now.
    page.click(20, 15);
    page.click(box.left + 5, box.top + 5);
    drop(page, {picture("c.jpg")});
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(page.elements()[SelectAll].value("checked"), u"1");
    EXPECT_EQ(page.list().value("count"), u"2");
    page.savePicture("panel-uploading.png");

    page.call([&] {
        uploading = false;
        IRunPanel& run = page.panel();
        run.SetPostSkins(false);
        run.EnableAdd(true);
        run.EnableSelectAll(true);
        run.ShowRunLabels(false);
        run.UpdateTools();
    });
    e = page.elements();
    EXPECT_FALSE(e[Add].disabled || e[SelectAll].disabled || e[Remaining].visible || e[Speed].visible);
    EXPECT_TRUE(toolsEnabled(e));
}

TEST_F(PanelTest, TwoControlsStayIndependentAndANewWindowBuildsThePanelOnce)
{
    Page page(2);
    drop(page, {picture("a.jpg")}, 0);
    EXPECT_EQ(page.list(0).value("count"), u"1");
    EXPECT_EQ(page.list(1).value("count"), u"0");
    EXPECT_TRUE(page.elements(1)[BigAdd].visible);

    page.call([&] { page.deactivate(0); });
    EXPECT_GT(Quendal::UI::ImageLister::Instance().Count(), 0u);
    page.call([&] { InvalidateRect(page.window(1), nullptr, FALSE); });
    EXPECT_NE(page.pixel(350, 253, 1), RGB(255, 255, 255));

    page.call([&] { page.activate(0); });
    const auto e = page.elements(0);
    EXPECT_EQ(e.size(), static_cast<size_t>(ElementCount));
    EXPECT_TRUE(e[BigAdd].visible);
    EXPECT_EQ(page.list(0).value("count"), u"0");
    EXPECT_EQ(page.object(0).Panel().root.children.size(), static_cast<size_t>(ElementCount) + 1);
}

TEST_F(PanelTest, TheWheelOnTheControlWindowScrollsTheList)
{
    Page page;
    std::vector<std::u16string> files;
    for (int i = 0; i < 12; ++i)
        files.push_back(picture("p" + std::to_string(i) + ".jpg"));
    drop(page, files);
    ASSERT_TRUE(loaded(page, 12));
    // The wheel goes to the window with the focus: the control's, as when tabbed into.
    page.call([&] { SetFocus(page.window()); });
    Automation::wheel(-120);
    Automation::waitIdle(page.window());
    EXPECT_EQ(page.list().value("scrollPos"), u"151");
}

TEST_F(PanelTest, AClickOnTheControlInTheActivePageTakesTheFocusForTheWheel)
{
    Page page;
    std::vector<std::u16string> files;
    for (int i = 0; i < 12; ++i)
        files.push_back(picture("p" + std::to_string(i) + ".jpg"));
    drop(page, files);
    ASSERT_TRUE(loaded(page, 12));
    page.call([&] { SetFocus(page.pageWindow()); });
    // A bare spot of the tool band, left of the add button.
    page.click(2, 2);
    EXPECT_EQ(page.site().count("OnUIActivate"), 1);
    Automation::wheel(-120);
    Automation::waitIdle(page.window());
    EXPECT_EQ(page.list().value("scrollPos"), u"151");

    // Back on the page, then a tile: the list takes the focus itself.
    page.call([&] { SetFocus(page.pageWindow()); });
    const AutomationNode tile = tiles(page.list()).back();
    Automation::click((tile.bounds.left + tile.bounds.right) / 2, (tile.bounds.top + tile.bounds.bottom) / 2);
    Automation::waitIdle(page.window());
    Automation::wheel(120);
    Automation::waitIdle(page.window());
    EXPECT_EQ(page.list().value("scrollPos"), u"0");
    EXPECT_EQ(page.site().count("OnUIActivate"), 1) << "still active: no second activation";
}

TEST_F(PanelTest, APressOnATileActivatesTheControlAndLeavesTheFocusWithTheList)
{
    Page page;
    std::vector<std::u16string> files;
    for (int i = 0; i < 12; ++i)
        files.push_back(picture("p" + std::to_string(i) + ".jpg"));
    drop(page, files);
    ASSERT_TRUE(loaded(page, 12));
    page.call([&] { SetFocus(page.pageWindow()); });
    const AutomationNode tile = tiles(page.list()).front();
    const POINT middle{(tile.bounds.left + tile.bounds.right) / 2, (tile.bounds.top + tile.bounds.bottom) / 2};
    Automation::click(middle.x, middle.y);
    Automation::waitIdle(page.window());
    EXPECT_EQ(page.site().count("OnUIActivate"), 1);
    HWND focus = nullptr;
    page.call([&] { focus = GetFocus(); });
    EXPECT_EQ(focus, page.list().hwnd);

    // A right press the list ignores still brings the focus into the control, for the wheel.
    page.call([&] { SetFocus(page.pageWindow()); });
    Automation::click(middle.x, middle.y, VK_RBUTTON);
    Automation::waitIdle(page.window());
    Automation::wheel(-120);
    Automation::waitIdle(page.window());
    EXPECT_EQ(page.list().value("scrollPos"), u"151");
    EXPECT_EQ(page.site().count("OnUIActivate"), 1);
}

} // namespace
