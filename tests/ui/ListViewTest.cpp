// The thumbnail list as a person uses it: tiles read through the automation, input injected
// through it, pictures made on disk by the image object.

#include "UiHarness.h"

#include "Biz/AppState.h"
#include "Biz/ConfigMgr.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "platform/com/ComPtr.h"
#include "platform/kernel/Strings.h"
#include "ui/ListView.h"
#include "ui/ListViewPostItem.h"
#include "ui/ListViewSelectItem.h"
#include "ui/has_slots.h"
#include "support/Pictures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>
#include <unistd.h>

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;
using pictavo::platform::fromUtf8;
using pictavo::platform::toUtf8;

namespace {

std::string tempDir()
{
    char pattern[] = "/tmp/pictavo-listview-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "/tmp";
}

// A picture file of one colour (alpha 128 in the top-left pixel when alpha is asked for).
std::u16string writePicture(const std::string& path, int w, int h, DWORD format, bool alpha = false)
{
    CxImage image;
    image.Create(static_cast<DWORD>(w), static_cast<DWORD>(h), 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.SetPixelColour(x, y, RGBQUAD{static_cast<BYTE>(x * 7), static_cast<BYTE>(y * 5), 90, 0});
    if (alpha) {
        image.AlphaCreate();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.AlphaSet(x, y, 255);
        image.AlphaSet(0, h - 1, 128);
    }
    CxMemFile file;
    file.Open();
    image.Encode(&file, format);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.GetBuffer()), file.Size());
    return fromUtf8(path);
}

class Counter : public has_slots
{
public:
    void onLoaded() { ++loaded; }
    void onRemoved(int id) { removed.push_back(id); }
    void onSelection(int) { ++selections; }
    void onDropped() { ++dropped; }
    std::atomic<int> loaded{0};
    std::vector<int> removed;
    int selections = 0;
    int dropped = 0;
};

class ListViewTest : public ::testing::Test
{
protected:
    // width is the client's; the scroll bar takes 17 more.
    void open(int width = 628, int height = 400)
    {
        uitest::useTestSkin();
        ui = std::make_unique<uitest::FormThread>(form, RECT{20, 20, 20 + width + 40, 20 + height + 40},
                                                  [&](FormBase&, HWND window) {
                                                      list.Create(window, 10, 10, width + 17, height);
                                                      list.thumbnailsLoaded.connect(&counter, &Counter::onLoaded);
                                                      list.itemRemoved.connect(&counter, &Counter::onRemoved);
                                                      list.selectionChanged.connect(&counter,
                                                                                    &Counter::onSelection);
                                                      list.filesDropped.connect(&counter, &Counter::onDropped);
                                                  });
        hwnd = list.m_hWnd;
    }
    void TearDown() override
    {
        ui.reset();
        AppState::Instance()->SetStopped();
        ConfigMgr::Instance()->SetImgCountLimit(300);
        ConfigMgr::Instance()->SetImgSizeLimit(0);
    }

    AutomationNode tiles()
    {
        Automation::waitIdle(hwnd);
        AutomationNode node = Automation::describe(hwnd);
        // Tiles are the self-drawn parts; the rename field is a window of its own.
        std::erase_if(node.children, [](const AutomationNode& c) { return c.hwnd != nullptr; });
        return node;
    }
    const AutomationNode* editorOf(const AutomationNode& whole)
    {
        for (const auto& c : whole.children)
            if (c.hwnd)
                return &c;
        return nullptr;
    }
    std::vector<std::u16string> names()
    {
        std::vector<std::u16string> out;
        for (const AutomationNode& t : tiles().children)
            out.push_back(t.text);
        return out;
    }
    POINT centre(const AutomationNode& tile, int dy = 0)
    {
        return POINT{(tile.bounds.left + tile.bounds.right) / 2, (tile.bounds.top + tile.bounds.bottom) / 2 + dy};
    }
    // Adds n post tiles for pictures in dir on the UI thread.
    void addTiles(const std::vector<std::u16string>& paths, bool select = false)
    {
        ui->call([&] {
            for (const auto& p : paths)
                list.AddItem(select ? static_cast<ListViewItem*>(new ListViewSelectItem(p))
                                    : static_cast<ListViewItem*>(new ListViewPostItem(p)));
            list.Layout();
        });
    }
    std::vector<std::u16string> pictures(int n, int w = 64, int h = 48)
    {
        std::vector<std::u16string> out;
        for (int i = 0; i < n; ++i)
            out.push_back(writePicture(dir + "/p" + std::to_string(i) + ".png", w, h, ImageFormat::Png));
        return out;
    }
    void dropOn(std::vector<std::u16string> files)
    {
        const AutomationNode node = tiles();
        Automation::dropFiles(POINT{node.bounds.left + 50, node.bounds.top + 50}, std::move(files));
        Automation::waitIdle(hwnd);
    }
    bool waitFor(const std::function<bool()>& done, int ms = 10000)
    {
        for (int i = 0; i < ms / 10; ++i) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }
    int state(const AutomationNode& n, const std::string& key) { return std::atoi(toUtf8(n.value(key)).c_str()); }

    std::string dir = tempDir();
    uitest::TestForm form;
    ListView list;
    ListView second;
    Counter counter;
    std::unique_ptr<uitest::FormThread> ui;
    HWND hwnd = nullptr;
};

TEST(ListViewFit, ThumbnailBoxKeepsShapeAndNeverExceedsIt)
{
    auto fit = [](UINT w, UINT h) {
        const SIZE s = ListViewItem::FitThumbnail(w, h, 135, 104);
        return std::make_pair(static_cast<long>(s.cx), static_cast<long>(s.cy));
    };
    EXPECT_EQ(fit(135, 104), std::make_pair(135L, 104L));
    EXPECT_EQ(fit(20, 10), std::make_pair(20L, 10L));
    EXPECT_EQ(fit(1350, 1040), std::make_pair(135L, 104L));
    EXPECT_EQ(fit(1000, 2000), std::make_pair(52L, 104L));
    EXPECT_EQ(fit(1000, 1000), std::make_pair(104L, 104L));
    EXPECT_EQ(fit(60000, 1), std::make_pair(135L, 1L));
    EXPECT_EQ(fit(1, 60000), std::make_pair(1L, 104L));
}

namespace {

GpBitmap* bitmapOf(INT w, INT h, const std::function<uint32_t(INT, INT)>& argb)
{
    return pictavo::test::filledBitmap(w, h, argb);
}

uint32_t pixelAt(GpImage* image, INT x, INT y)
{
    GpRect r{x, y, 1, 1};
    BitmapData data{};
    if (GdipBitmapLockBits(static_cast<GpBitmap*>(image), &r, ImageLockModeRead, PixelFormat32bppARGB, &data) != Ok)
        return 0;
    uint32_t v = 0;
    std::memcpy(&v, data.Scan0, 4);
    GdipBitmapUnlockBits(static_cast<GpBitmap*>(image), &data);
    return v;
}

bool near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance)
            return false;
    return true;
}

} // namespace

TEST(ListViewTakeImage, TheTileOwnsTheNewBitmapWhileARunKeepsTheOldOne)
{
    ListViewItem tile;
    GpBitmap* opened = bitmapOf(64, 48, [](INT, INT) { return 0xFFFF0000u; });
    tile.SetImage(opened);
    GdipDisposeImage(opened);
    GpImage* run = nullptr;
    ASSERT_EQ(GdipCloneImage(tile.image, &run), Ok);

    // Left half opaque blue; right half red columns between fully transparent green ones.
    GpBitmap* edited = bitmapOf(3000, 2000, [](INT x, INT) {
        return x < 1500 ? 0xFF0000FFu : x % 2 ? 0x0000FF00u : 0xFFFF0000u;
    });
    tile.TakeImage(edited);
    EXPECT_EQ(tile.image, edited);
    EXPECT_EQ(pixelAt(run, 63, 47), 0xFFFF0000u) << "the run's picture is never written";
    GdipDisposeImage(run);

    UINT w = 0, h = 0;
    GdipGetImageWidth(tile.thumbnail, &w);
    GdipGetImageHeight(tile.thumbnail, &h);
    EXPECT_EQ(w, 148u);
    EXPECT_EQ(h, 98u);
    EXPECT_EQ(pixelAt(tile.thumbnail, 30, 50), 0xFF0000FFu);
    // Transparent pixels add no colour.
    EXPECT_TRUE(near(pixelAt(tile.thumbnail, 120, 50), 0x80FF0000u, 1)) << std::hex << pixelAt(tile.thumbnail, 120, 50);
}

TEST(ListViewTakeImage, AThumbnailFromBlocksLooksLikeTheDirectOne)
{
    // Sizes that leave part blocks at the right and bottom edges.
    const auto gradient = [](INT x, INT y) {
        return 0xFF000000u | uint32_t(x * 255 / 4099) << 16 | uint32_t(y * 255 / 2999) << 8 | uint32_t((x + y) % 256);
    };
    ListViewItem taken, copied;
    taken.TakeImage(bitmapOf(4099, 2999, gradient));
    GpBitmap* source = bitmapOf(4099, 2999, gradient);
    copied.SetImage(source);
    GdipDisposeImage(source);
    UINT w = 0, h = 0, cw = 0, ch = 0;
    GdipGetImageWidth(taken.thumbnail, &w);
    GdipGetImageHeight(taken.thumbnail, &h);
    GdipGetImageWidth(copied.thumbnail, &cw);
    GdipGetImageHeight(copied.thumbnail, &ch);
    ASSERT_EQ(w, cw);
    ASSERT_EQ(h, ch);
    int off = 0;
    for (INT y = 0; y < static_cast<INT>(h); ++y)
        for (INT x = 0; x < static_cast<INT>(w); ++x)
            // The blue channel is a fine saw tooth: both ways average it to about the middle.
            off += !near(pixelAt(taken.thumbnail, x, y) | 0xFF, pixelAt(copied.thumbnail, x, y) | 0xFF, 2);
    EXPECT_EQ(off, 0);
}

TEST_F(ListViewTest, GridColumnsRowsAndIdsFollowTheWidth)
{
    open(628, 400);
    AutomationNode empty = tiles();
    EXPECT_EQ(state(empty, "scrollMax"), 0);
    addTiles(pictures(5));
    const AutomationNode node = tiles();
    ASSERT_EQ(node.children.size(), 5u);
    POINT origin{0, 0};
    ui->call([&] { ClientToScreen(hwnd, &origin); });
    // Columns = (628 - 17 + 14 - 8) / 154 = 4; the fifth starts the second row.
    EXPECT_EQ(node.children[3].bounds.left - origin.x, 4 + 3 * 154);
    EXPECT_EQ(node.children[4].bounds.left - origin.x, 4);
    EXPECT_EQ(node.children[4].bounds.top - origin.y, 177);
    EXPECT_EQ(node.children[0].id, 0);

    ui->call([&] { list.Clear(); });
    EXPECT_TRUE(tiles().children.empty());
    addTiles(pictures(1));
    EXPECT_EQ(tiles().children[0].id, 5) << "ids are never reused";

    // A list narrower than a tile shows one column instead of dividing by zero.
    ui->call([&] {
        MoveWindow(hwnd, 10, 10, 60, 300, TRUE);
        list.Layout();
    });
    addTiles(pictures(2));
    const AutomationNode narrow = tiles();
    ASSERT_EQ(narrow.children.size(), 3u);
    EXPECT_EQ(narrow.children[1].bounds.left, narrow.children[0].bounds.left);
    EXPECT_GT(narrow.children[1].bounds.top, narrow.children[0].bounds.top);
}

TEST_F(ListViewTest, EmptyListPaintsWhite)
{
    open(300, 200);
    const AutomationNode node = tiles();
    ASSERT_NE(node.hwnd, nullptr);
    auto picture = Automation::picture(ui->window());
    ASSERT_TRUE(picture);
    RECT wr{};
    Automation::windowRect(ui->window(), wr);
    const int px = node.bounds.left - wr.left + 100, py = node.bounds.top - wr.top + 100;
    const uint8_t* p = picture->pixels() + (py * picture->width() + px) * 4;
    EXPECT_EQ(RGB(p[2], p[1], p[0]), 0xFFFFFFu);
}

TEST_F(ListViewTest, ThreeHundredTilesScrollSelectReorderAndDelete)
{
    open(628, 400);
    addTiles(pictures(300, 8, 8));
    AutomationNode node = tiles();
    ASSERT_EQ(node.children.size(), 300u);
    const int max = state(node, "scrollMax");
    // 75 rows of 173 plus margins, less the page, plus one.
    EXPECT_EQ(max, 75 * 173 + 8 - node.bounds.bottom + node.bounds.top + 1);

    // Wheel toward the user moves one tile height, away moves back, never below 0.
    const POINT inside = centre(node.children[0]);
    Automation::click(inside.x, inside.y);
    Automation::wheel(-WHEEL_DELTA);
    EXPECT_EQ(state(tiles(), "scrollPos"), 141);
    Automation::wheel(WHEEL_DELTA);
    Automation::wheel(WHEEL_DELTA);
    EXPECT_EQ(state(tiles(), "scrollPos"), 0);

    // Keys: End to the bottom, Page Up by a page, Home to the top.
    Automation::pressKey(VK_END);
    EXPECT_EQ(state(tiles(), "scrollPos"), max);
    Automation::pressKey(VK_PRIOR);
    EXPECT_EQ(state(tiles(), "scrollPos"), max - 400);
    Automation::pressKey(VK_HOME);
    EXPECT_EQ(state(tiles(), "scrollPos"), 0);

    // The bar: a click on its track below the thumb pages down.
    Automation::click(node.bounds.right - 8, node.bounds.bottom - 30);
    EXPECT_EQ(state(tiles(), "scrollPos"), 400);
    Automation::pressKey(VK_HOME);

    // A wheel past the end stops at the maximum.
    for (int i = 0; i < 200; ++i)
        Automation::wheel(-WHEEL_DELTA);
    EXPECT_EQ(state(tiles(), "scrollPos"), max);
    node = tiles();
    EXPECT_TRUE(node.children[299].visible);
    EXPECT_FALSE(node.children[0].visible);
    Automation::pressKey(VK_HOME);

    // Click, Shift-click: a range; Ctrl-click toggles one out.
    node = tiles();
    Automation::click(centre(node.children[1]).x, centre(node.children[1]).y);
    Automation::keyDown(VK_SHIFT);
    Automation::click(centre(node.children[6]).x, centre(node.children[6]).y);
    Automation::keyUp(VK_SHIFT);
    Automation::keyDown(VK_CONTROL);
    Automation::click(centre(node.children[3]).x, centre(node.children[3]).y);
    Automation::keyUp(VK_CONTROL);
    node = tiles();
    std::vector<int> selected;
    for (const auto& t : node.children)
        if (t.value("selected") == u"1")
            selected.push_back(t.id);
    EXPECT_EQ(selected, (std::vector<int>{1, 2, 4, 5, 6}));

    // Delete removes exactly those and reports 0.
    Automation::pressKey(VK_DELETE);
    node = tiles();
    EXPECT_EQ(node.children.size(), 295u);
    EXPECT_EQ(node.children[1].id, 3);
    ASSERT_FALSE(counter.removed.empty());
    EXPECT_EQ(counter.removed.back(), 0);

    // Drag tile 0 onto the tile now third (id 7): it lands before it.
    const POINT from = centre(node.children[0], -30), to = centre(node.children[2], -30);
    Automation::moveMouse(from.x, from.y);
    Automation::press();
    Automation::moveMouse(from.x + 5, from.y + 5);
    Automation::moveMouse(to.x, to.y);
    Automation::release();
    node = tiles();
    EXPECT_EQ(node.children[0].id, 3);
    EXPECT_EQ(node.children[1].id, 0);
    EXPECT_EQ(node.children[2].id, 7);

    // Escape during a drag leaves the order alone.
    Automation::moveMouse(from.x, from.y);
    Automation::press();
    Automation::moveMouse(from.x + 5, from.y + 5);
    Automation::moveMouse(to.x, to.y);
    Automation::pressKey(VK_ESCAPE);
    Automation::release();
    node = tiles();
    EXPECT_EQ(node.children[0].id, 3);
    EXPECT_EQ(node.children[1].id, 0);
}

TEST_F(ListViewTest, DropsTakeOnlyNewSupportedFilesWithinTheLimits)
{
    open();
    const std::u16string jpg = writePicture(dir + "/a.JPG", 40, 30, ImageFormat::Jpg);
    const std::u16string png = writePicture(dir + "/b.png", 40, 30, ImageFormat::Png);
    const std::u16string tif = writePicture(dir + "/c.tif", 40, 30, ImageFormat::Png);
    const std::u16string txt = writePicture(dir + "/d.txt", 40, 30, ImageFormat::Png);
    const std::u16string big = writePicture(dir + "/big.png", 400, 300, ImageFormat::Png);
    // A name that is not UTF-8 survives.
    const std::u16string odd = writePicture(dir + "/\xff\xfe odd.png", 10, 10, ImageFormat::Png);
    ::mkdir((dir + "/folder.png").c_str(), 0700);
    const int64_t largest = std::max({ListViewItem::FileSizeOf(jpg), ListViewItem::FileSizeOf(png),
                                      ListViewItem::FileSizeOf(odd)});
    ASSERT_GT(ListViewItem::FileSizeOf(big), largest);
    ConfigMgr::Instance()->SetImgSizeLimit(static_cast<int>(largest));

    dropOn({fromUtf8(dir), u"/", fromUtf8(dir + "/folder.png"), jpg, png, tif, txt, big, png, odd});
    std::vector<std::u16string> got = names();
    EXPECT_EQ(got, (std::vector<std::u16string>{u"a.JPG", u"b.png", u"c.tif", fromUtf8("\xff\xfe odd.png")}));
    EXPECT_EQ(tiles().children[3].value("path"), odd);
    EXPECT_EQ(counter.dropped, 1);
    // A later drop of the same file is a duplicate.
    dropOn({png});
    EXPECT_EQ(names().size(), 4u);
    // Every dropped tile gets its thumbnail, and the pass reports once.
    EXPECT_TRUE(waitFor([&] {
        for (const auto& t : tiles().children)
            if (t.value("loaded") != u"1")
                return false;
        return counter.loaded > 0;
    }));
}

TEST_F(ListViewTest, CountLimitCapsTheListAndDropsWaitForTheUpload)
{
    open();
    ConfigMgr::Instance()->SetImgCountLimit(3);
    std::vector<std::u16string> files = pictures(5);
    dropOn({files[0], files[1]});
    EXPECT_EQ(names().size(), 2u);
    dropOn({files[2], files[3], files[4]});
    EXPECT_EQ(names().size(), 3u) << "a full list takes no more";
    dropOn({files[4]});
    EXPECT_EQ(names().size(), 3u);

    ConfigMgr::Instance()->SetImgCountLimit(300);
    AppState::Instance()->SetUploading();
    dropOn({files[4]});
    EXPECT_EQ(names().size(), 3u) << "no drops while uploading";
    AppState::Instance()->SetStopped();
    ui->call([&] { list.SetEditable(0); });
    dropOn({files[4]});
    EXPECT_EQ(names().size(), 3u) << "no drops while not editable";
}

TEST_F(ListViewTest, LongPathsAreTakenWholeOrNotAtAll)
{
    open();
    std::string deep = dir;
    while (deep.size() < 300) {
        deep += "/abcdefghijklmnopqrstuvwxyz0123456789";
        ::mkdir(deep.c_str(), 0700);
    }
    const std::u16string path = writePicture(deep + "/long.png", 20, 20, ImageFormat::Png);
    dropOn({path});
    const AutomationNode node = tiles();
    ASSERT_EQ(node.children.size(), 1u);
    EXPECT_EQ(node.children[0].value("path"), path);
}

TEST_F(ListViewTest, LoaderStoppedMidPassAndRestartedLoadsEveryTileOnce)
{
    open();
    std::vector<std::u16string> files;
    for (int i = 0; i < 40; ++i)
        files.push_back(writePicture(dir + "/j" + std::to_string(i) + ".jpg", 900, 700, ImageFormat::Jpg));
    addTiles(files);
    ui->call([&] {
        list.StartLoader();
        list.StopLoader();
        list.StartLoader();
        list.StartLoader();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ui->call([&] {
        list.StopLoader();
        list.StartLoader();
    });
    ASSERT_TRUE(waitFor([&] { return counter.loaded.load() > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(counter.loaded.load(), 1) << "only the last pass reports";
    const AutomationNode node = tiles();
    for (const auto& t : node.children)
        EXPECT_EQ(t.value("loaded"), u"1") << toUtf8(t.text);
    EXPECT_EQ(node.value("loading"), u"0");
}

TEST_F(ListViewTest, SeveralLoaderWorkersEndTheirPassOnceWithEveryTileLoaded)
{
    open();
    std::vector<std::u16string> files;
    for (int i = 0; i < 40; ++i)
        files.push_back(writePicture(dir + "/w" + std::to_string(i) + ".jpg", 900, 700, ImageFormat::Jpg));
    addTiles(files);
    ui->call([&] {
        list.SetLoaderThreads(3);
        list.StartLoader();
        list.StopLoader();
        list.StartLoader();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ui->call([&] { list.StartLoader(); });
    ASSERT_TRUE(waitFor([&] { return counter.loaded.load() > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(counter.loaded.load(), 1) << "one report for the pass, not one per worker";
    const AutomationNode node = tiles();
    for (const auto& t : node.children)
        EXPECT_EQ(t.value("loaded"), u"1") << toUtf8(t.text);
    EXPECT_EQ(node.value("loading"), u"0");
}

TEST_F(ListViewTest, TilesRemovedWhileTheLoaderRuns)
{
    open();
    std::vector<std::u16string> files;
    for (int i = 0; i < 30; ++i)
        files.push_back(writePicture(dir + "/r" + std::to_string(i) + ".jpg", 800, 600, ImageFormat::Jpg));
    addTiles(files);
    ui->call([&] { list.StartLoader(); });
    for (int id : {3, 0, 17, 29, 11})
        PostMessageW(hwnd, ListView::WM_REMOVE_ITEM, static_cast<WPARAM>(id), 0);
    ui->call([&] {
        list.SelectAll(true);
        list.RemoveSelected();
        list.StartLoader();
    });
    EXPECT_TRUE(tiles().children.empty());
    ASSERT_TRUE(waitFor([&] { return counter.loaded.load() == 1; }));
    addTiles({files[0]});
    ui->call([&] { list.StartLoader(); });
    ui->call([&] { list.Clear(); });
    EXPECT_TRUE(tiles().children.empty());
}

TEST_F(ListViewTest, LaterPassNeverOverwritesATurnedPicture)
{
    open();
    const std::u16string path = writePicture(dir + "/wide.png", 60, 20, ImageFormat::Png, true);
    addTiles({path});
    ListViewItem* tile = nullptr;
    ui->call([&] {
        tile = list.FindById(0);
        tile->LoadThumbnail();
        ASSERT_TRUE(tile->Turn(true));
    });
    ui->call([&] { list.StartLoader(); });
    ASSERT_TRUE(waitFor([&] { return counter.loaded.load() == 1; }));
    ui->call([&] {
        UINT w = 0, h = 0;
        GdipGetImageWidth(tile->image, &w);
        GdipGetImageHeight(tile->image, &h);
        EXPECT_EQ(w, 20u);
        EXPECT_EQ(h, 60u);
        // The half-transparent corner of the top-left pixel is now the bottom-left one.
        GpRect r{0, 0, 20, 60};
        BitmapData data{};
        ASSERT_EQ(GdipBitmapLockBits(tile->image, &r, ImageLockModeRead, PixelFormat32bppARGB, &data), Ok);
        const BYTE* bottomLeft = static_cast<const BYTE*>(data.Scan0) + 59 * data.Stride;
        EXPECT_EQ(bottomLeft[3], 128);
        GdipBitmapUnlockBits(tile->image, &data);
    });
}

TEST_F(ListViewTest, RenameEndsWithTheTextTypedWhenATileIsRemoved)
{
    open();
    addTiles(pictures(3));
    AutomationNode node = tiles();
    // Press selects, release on the name strip starts the rename.
    const POINT strip{centre(node.children[1]).x, node.children[1].bounds.bottom - 10};
    Automation::click(strip.x, strip.y);
    Automation::waitIdle(hwnd);
    AutomationNode whole = Automation::describe(hwnd);
    const AutomationNode* editor = editorOf(whole);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->visible);
    Automation::typeText(u"renamed");
    Automation::waitIdle(hwnd);
    PostMessageW(hwnd, ListView::WM_REMOVE_ITEM, 2, 0);
    node = tiles();
    ASSERT_EQ(node.children.size(), 2u);
    EXPECT_EQ(node.children[1].text, u"renamed");
    whole = Automation::describe(hwnd);
    editor = editorOf(whole);
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->visible);
}

TEST_F(ListViewTest, PostToolsActOnlyOnASelectedTileAndDeleteThroughTheQueue)
{
    open();
    addTiles(pictures(2));
    AutomationNode node = tiles();
    const RECT b = node.children[0].bounds;
    const POINT del{b.right - 8, b.top + 8};
    // Move in first so the tile is hovered, then a press on an unselected tile only selects.
    ui->call([&] { list.FindById(1)->SetItemState(ListViewItem::Selected); });
    Automation::moveMouse(del.x, del.y);
    Automation::click(del.x, del.y);
    EXPECT_EQ(tiles().children.size(), 1u) << "press selects, release on the spot removes";

    // While uploading the tools do nothing and the overlay reads 0 for an empty file.
    addTiles(pictures(1));
    AppState::Instance()->SetUploading();
    node = tiles();
    const RECT c = node.children[0].bounds;
    Automation::click(c.right - 8, c.top + 8);
    Automation::click(c.right - 8, c.top + 8);
    EXPECT_EQ(tiles().children.size(), 2u);
    ui->call([&] {
        auto* tile = static_cast<ListViewPostItem*>(list.FindById(1));
        tile->fileSize = 0;
        EXPECT_EQ(tile->ProgressPercent(), 0);
        tile->MarkUploaded();
        EXPECT_EQ(tile->ProgressPercent(), 100);
    });
    EXPECT_EQ(tiles().children[0].value("uploaded"), u"1");
}

TEST_F(ListViewTest, SelectTilesToggleTheirCheckWithCtrlA)
{
    open();
    addTiles(pictures(3), true);
    AutomationNode node = tiles();
    Automation::click(centre(node.children[0]).x, centre(node.children[0]).y);
    EXPECT_EQ(tiles().children[0].value("checked"), u"1");
    Automation::keyDown(VK_CONTROL);
    Automation::pressKey('A');
    Automation::keyUp(VK_CONTROL);
    node = tiles();
    EXPECT_EQ(node.children[0].value("checked"), u"0");
    EXPECT_EQ(node.children[1].value("checked"), u"1");
    EXPECT_EQ(node.children[2].className, u"ListViewSelectItem");
}

TEST_F(ListViewTest, PaintShowsThumbnailsFramesAndTheProgressStrip)
{
    open();
    const std::u16string path = writePicture(dir + "/red.png", 300, 200, ImageFormat::Png);
    addTiles({path});
    ui->call([&] { list.StartLoader(); });
    ASSERT_TRUE(waitFor([&] { return counter.loaded.load() == 1; }));
    AutomationNode node = tiles();
    const RECT b = node.children[0].bounds;
    RECT wr{};
    auto pixelAt = [&](int x, int y) {
        Automation::waitIdle(hwnd);
        auto picture = Automation::picture(ui->window());
        Automation::windowRect(ui->window(), wr);
        const uint8_t* p = picture->pixels() + ((y - wr.top) * picture->width() + (x - wr.left)) * 4;
        return RGB(p[2], p[1], p[0]);
    };
    // The thumbnail (red 90 throughout) sits centred above the caption strip.
    const COLORREF inside = pixelAt((b.left + b.right) / 2, b.top + 60);
    EXPECT_EQ(GetRValue(inside), 90);
    EXPECT_EQ(pixelAt(b.left, b.top + 60), 0xE1E1E1u) << "a grey frame when not selected";
    EXPECT_EQ(pixelAt(b.left + 70, b.bottom + 10), 0xFFFFFFu);

    AppState::Instance()->SetUploading();
    ui->call([&] {
        auto* tile = static_cast<ListViewPostItem*>(list.FindById(0));
        tile->fileSize = 1000;
        tile->SetBytesSent(500);
        tile->RefreshProgress();
        InvalidateRect(hwnd, nullptr, FALSE);
    });
    // Left half of the strip is the progress colour over the thumbnail, the right half darkened.
    const COLORREF done = pixelAt(b.left + 5, b.top + 100);
    const COLORREF left = pixelAt(b.right - 5, b.top + 100);
    EXPECT_GT(GetGValue(done), GetGValue(left));
    EXPECT_EQ(tiles().children[0].value("progress"), u"50");
}

TEST_F(ListViewTest, TilesDraggedToAnotherListOrWhileNotEditableStayPut)
{
    open(628, 200);
    addTiles(pictures(3));
    ui->call([&] {
        second.Create(ui->window(), 10, 215, 628 + 17, 180);
        second.AddItem(new ListViewPostItem(fromUtf8(dir + "/p0.png")));
        second.Layout();
    });
    const AutomationNode node = tiles();
    Automation::waitIdle(second.m_hWnd);
    const AutomationNode other = Automation::describe(second.m_hWnd);
    ASSERT_FALSE(other.children.empty());
    // Onto the other list's tile: neither list changes.
    const POINT from = centre(node.children[2], -30), to = centre(other.children[0], -30);
    Automation::moveMouse(from.x, from.y);
    Automation::press();
    Automation::moveMouse(from.x + 5, from.y + 5);
    Automation::moveMouse(to.x, to.y);
    Automation::release();
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"p0.png", u"p1.png", u"p2.png"}));
    Automation::waitIdle(second.m_hWnd);
    EXPECT_EQ(Automation::describe(second.m_hWnd).value("count"), u"1");

    // Not editable: no reordering, no Delete, no Ctrl+A.
    ui->call([&] { list.SetEditable(0); });
    const POINT first = centre(node.children[0], -30);
    Automation::moveMouse(from.x, from.y);
    Automation::press();
    Automation::moveMouse(from.x + 5, from.y + 5);
    Automation::moveMouse(first.x, first.y);
    Automation::release();
    Automation::keyDown(VK_CONTROL);
    Automation::pressKey('A');
    Automation::keyUp(VK_CONTROL);
    Automation::pressKey(VK_DELETE);
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"p0.png", u"p1.png", u"p2.png"}));
    EXPECT_EQ(tiles().children[1].value("selected"), u"0");
}

} // namespace
