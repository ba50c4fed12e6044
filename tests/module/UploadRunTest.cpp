#include "Biz/AppState.h"
#include "image/CxMemFile.h"
#include "image/UploadPreparation.h"
#include "module/IRunPanel.h"
#include "module/Pictavo.h"
#include "platform/com/Apartment.h"
#include "platform/com/RefCounted.h"
#include "platform/kernel/Message.h"
#include "platform/kernel/Strings.h"
#include "platform/kernel/WFormat.h"
#include "platform/ole/OleControl.h"
#include "platform/win/Automation.h"
#include "ui/ListView.h"
#include "ui/ListViewPostItem.h"
#include "ui/SetUpSkin.h"

#include "support/FakeDispatch.h"
#include "support/PageSite.h"
#include "support/PlainWindow.h"
#include "support/RawServer.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <thread>

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;
using pictavo::platform::makeCom;
using pictavo::platform::RefCounted;
using pictavo::test::PageSite;
using pictavo::test::readFile;
using pictavo::test::TempDir;
using pictavo::test::waitFor;
namespace fs = std::filesystem;

namespace {

// pictavo-receiver as a child process storing into a folder of its own.
class Receiver
{
public:
    explicit Receiver(const fs::path& dir, std::vector<std::string> args = {}, int port = 0) : m_dir(dir)
    {
        fs::create_directories(dir);
        m_log = dir.string() + ".log";
        m_pid = fork();
        if (m_pid == 0) {
            std::freopen(m_log.c_str(), "w", stdout);
            std::vector<std::string> all{PICTAVO_BINARY_DIR "/bin/pictavo-receiver", "--port", std::to_string(port),
                                         "--dir", dir.string()};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        const std::string prefix = "listening on http://127.0.0.1:";
        waitFor([&] {
            const std::string log = readFile(m_log);
            if (log.rfind(prefix, 0) == 0 && log.find('\n') != std::string::npos)
                m_port = std::atoi(log.c_str() + prefix.size());
            return m_port != 0;
        });
    }
    ~Receiver() { stop(); }
    void stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }
    int port() const { return m_port; }
    std::u16string url() const
    {
        const std::string u = "http://127.0.0.1:" + std::to_string(m_port) + "/upload";
        return std::u16string(u.begin(), u.end());
    }
    // Stored files by name (the .fields beside each left out).
    std::vector<std::string> stored() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            const std::string name = entry.path().filename().string();
            if (entry.path().extension() != ".fields" && name[0] != '.')
                names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string fields(const std::string& name) const { return readFile(m_dir / (name + ".fields")); }
    std::string bytes(const std::string& name) const { return readFile(m_dir / name); }

private:
    fs::path m_dir;
    std::string m_log;
    pid_t m_pid = -1;
    int m_port = 0;
};

struct FakePanel : IRunPanel
{
    ListView* list = nullptr;
    std::vector<std::string> calls;
    bool cancelSkins = false, postEnabled = true, addEnabled = true, selectAllEnabled = true, labelsShown = false;
    std::function<void()> onUpdateTools;

    ListView* List() override { return list; }
    void SetPostSkins(bool cancel) override { cancelSkins = cancel; }
    void EnablePost(bool enabled) override { postEnabled = enabled; }
    void EnableAdd(bool enabled) override { addEnabled = enabled; }
    void EnableSelectAll(bool enabled) override { selectAllEnabled = enabled; }
    void ShowRunLabels(bool shown) override
    {
        labelsShown = shown;
        calls.push_back(shown ? "labels shown" : "labels hidden");
    }
    void UpdateTools() override
    {
        if (onUpdateTools)
            onUpdateTools();
    }
    void UpdateLook() override { calls.push_back(list && list->Count() == 0 ? "look empty" : "look list"); }
    void InvalidateList() override {}
};

// The page's AfterImagesPosted: counts calls and what the list held at each.
class PageFunction : public pictavo::test::UntypedDispatch
{
public:
    int calls = 0;
    bool objectPassed = false;
    LONG tilesAtCall = -1;
    IDispatch* object = nullptr;
    ListView* list = nullptr;
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        ++calls;
        objectPassed = params && params->cArgs == 1 && params->rgvarg[0].vt == VT_DISPATCH &&
                       params->rgvarg[0].pdispVal == object;
        tilesAtCall = list ? list->Count() : -1;
        return S_OK;
    }
};


constexpr UINT CallSync = WM_USER + 500;
constexpr UINT CallAsync = WM_USER + 501;

LRESULT callProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == CallSync) {
        (*reinterpret_cast<std::function<void()>*>(lParam))();
        return 0;
    }
    if (message == CallAsync) {
        std::unique_ptr<std::function<void()>> f(reinterpret_cast<std::function<void()>*>(lParam));
        (*f)();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Every label text the control's window was sent (status, remaining time, speed), in order.
std::vector<std::u16string>* g_statusLog = nullptr;
std::vector<std::u16string>* g_timeLog = nullptr;
std::vector<std::u16string>* g_speedLog = nullptr;
WNDPROC g_controlProc = nullptr;
LRESULT recordStatus(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::vector<std::u16string>* log = message == WM_USER + 101   ? g_statusLog
                                       : message == WM_USER + 102 ? g_timeLog
                                       : message == WM_USER + 103 ? g_speedLog
                                                                  : nullptr;
    if (log)
        log->push_back(reinterpret_cast<const char16_t*>(wParam));
    return CallWindowProcW(g_controlProc, hwnd, message, wParam, lParam);
}

// A camera-like picture: a gradient with some noise, encoded by the extension of the path.
void writePicture(const fs::path& path, int width, int height, int seed = 1)
{
    std::vector<BYTE> argb(static_cast<size_t>(width) * height * 4);
    uint32_t r = static_cast<uint32_t>(seed) * 2654435761u;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            r = r * 1664525u + 1013904223u;
            BYTE* p = &argb[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<BYTE>(x * 255 / width);
            p[1] = static_cast<BYTE>(y * 255 / height);
            p[2] = static_cast<BYTE>((seed * 40 + (r >> 28)) & 0xFF);
            p[3] = 255;
        }
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB, argb.data(), &bitmap), Ok);
    CxMemFile buffer;
    buffer.Open();
    UploadSettings settings;
    settings.jpegQuality = 90;
    const std::u16string wide = pictavo::platform::fromUtf8(path.string());
    ASSERT_TRUE(EncodeForUpload(buffer, bitmap, wide, settings));
    GdipDisposeImage(bitmap);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(buffer.GetBuffer()), buffer.Size());
}

SIZE storedSize(const fs::path& path)
{
    GpBitmap* bitmap = nullptr;
    UINT w = 0, h = 0;
    if (GdipCreateBitmapFromFile(pictavo::platform::fromUtf8(path.string()).c_str(), &bitmap) == Ok) {
        GdipGetImageWidth(bitmap, &w);
        GdipGetImageHeight(bitmap, &h);
        GdipDisposeImage(bitmap);
    }
    return SIZE{static_cast<LONG>(w), static_cast<LONG>(h)};
}

BSTR bstr(const std::u16string& s)
{
    return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

const std::u16string kDone = u"所有图片已上传完毕";
const std::u16string kError = u"上传错误";
std::u16string numbered(int n, int of)
{
    return pictavo::platform::wformat(u"正在上传第%d/%d张图片", n, of);
}

// The control on a UI thread of its own, in-place active in a page window, with a real list
// and a recording panel; the test thread is the user and the page.
class UploadRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::promise<void> ready;
        m_ui = std::thread([this, &ready] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            SetUpSkin();
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = callProc;
            wc.lpszClassName = u"UploadRunTestCalls";
            RegisterClassExW(&wc);
            m_calls = CreateWindowExW(0, u"UploadRunTestCalls", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                      nullptr, nullptr);
            page = pictavo::test::plainWindow(0, 0, 800, 600);
            ready.set_value();
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            ReleaseSkin();
            CoUninitialize();
        });
        ready.get_future().wait();
        ui([this] {
            site = makeCom<PageSite>(page, RECT{0, 0, 700, 500});
            ASSERT_EQ(CPictavo::CreateInstance(nullptr, IID_IPictavo, reinterpret_cast<void**>(control.GetAddressOf())),
                      S_OK);
            control.As(&ole);
            ASSERT_EQ(ole->SetClientSite(site.Get()), S_OK);
            ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, page, &site->position), S_OK);
            hwnd = pictavo()->Window();
            ASSERT_TRUE(hwnd);
            g_statusLog = &statuses;
            g_timeLog = &times;
            g_speedLog = &speeds;
            g_controlProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordStatus)));
            list = std::make_unique<ListView>();
            ASSERT_TRUE(list->Create(hwnd, 10, 40, 645, 400));
            panel.list = list.get();
            pictavo()->SetRunPanel(&panel);
            pictavo()->SetUploadList(list.get());
            callback = makeCom<PageFunction>();
            object = makeCom<PageFunction>();
            callback->object = object.Get();
            callback->list = list.get();
            control->put_Object(object.Get());
            control->put_AfterImagesPosted(callback.Get());
            control->put_ThumbnailWidth(800);
            control->put_ThumbnailHeight(600);
            control->put_CompressSizeLimit(0);
            control->put_Watermark(VARIANT_FALSE);
            control->put_JpegQuality(80);
            BSTR empty = bstr(u"");
            control->put_UploadFormat(empty);
            SysFreeString(empty);
        });
    }
    void TearDown() override
    {
        ui([this] {
            if (ole)
                ole->Close(OLECLOSE_NOSAVE);
            ole = nullptr;
            list.reset();
            control = nullptr;
            g_statusLog = nullptr;
            DestroyWindow(page);
            DestroyWindow(m_calls);
            PostQuitMessage(0);
        });
        m_ui.join();
        AppState::Instance()->SetStopped();
    }

    CPictavo* pictavo() { return static_cast<CPictavo*>(control.Get()); }

    void ui(std::function<void()> f) { SendMessageW(m_calls, CallSync, 0, reinterpret_cast<LPARAM>(&f)); }
    // For steps that may open a modal dialog on the UI thread.
    void uiLater(std::function<void()> f)
    {
        PostMessageW(m_calls, CallAsync, 0, reinterpret_cast<LPARAM>(new std::function<void()>(std::move(f))));
    }
    template <class T> T read(std::function<T()> f)
    {
        T value{};
        ui([&] { value = f(); });
        return value;
    }

    void setUrl(const std::u16string& url)
    {
        ui([&] {
            BSTR u = bstr(url);
            control->put_PostUrl(u);
            SysFreeString(u);
        });
    }
    void addField(const std::u16string& name, const std::u16string& value)
    {
        ui([&] {
            BSTR n = bstr(name), v = bstr(value);
            control->AddField(n, v);
            SysFreeString(n);
            SysFreeString(v);
        });
    }
    // Adds a tile for the file, its picture loaded unless told otherwise; answers its id.
    int addTile(const fs::path& file, bool load = true)
    {
        return read<int>([&] {
            auto* tile = new ListViewPostItem(pictavo::platform::fromUtf8(file.string()));
            list->AddItem(tile);
            if (load)
                tile->LoadThumbnail();
            return tile->id;
        });
    }
    ListViewPostItem* tile(int id) { return dynamic_cast<ListViewPostItem*>(list->FindById(id)); }
    bool uploaded(int id)
    {
        return read<bool>([&] { return tile(id) && tile(id)->IsUploaded(); });
    }
    // Returns once the click was handled or a modal loop it opened is running.
    void post()
    {
        uiLater([this] { pictavo()->OnPostClicked(); });
        auto taken = std::make_shared<std::promise<void>>();
        uiLater([taken] { taken->set_value(); });
        taken->get_future().wait();
    }
    bool running() { return read<bool>([&] { return pictavo()->IsPosting(); }); }
    bool waitEnd() { return waitFor([&] { return !running(); }, std::chrono::seconds(30)); }
    std::vector<std::u16string> status() { return read<std::vector<std::u16string>>([&] { return statuses; }); }
    std::vector<std::u16string> answers()
    {
        return read<std::vector<std::u16string>>([&] {
            std::vector<std::u16string> out;
            VARIANT v;
            VariantInit(&v);
            control->GetPostedFiles(&v);
            if (v.vt == (VT_ARRAY | VT_VARIANT))
                for (ULONG i = 0; i < v.parray->rgsabound[0].cElements; ++i) {
                    VARIANT e;
                    VariantInit(&e);
                    LONG index = static_cast<LONG>(i);
                    SafeArrayGetElement(v.parray, &index, &e);
                    out.emplace_back(e.bstrVal, SysStringLen(e.bstrVal));
                    VariantClear(&e);
                }
            VariantClear(&v);
            return out;
        });
    }
    int callbacks() { return read<int>([&] { return callback->calls; }); }

    // The message dialog with this caption: its label's text, then the button pressed
    // (0 OK, 1 Cancel) like a person does.
    std::u16string answerDialog(const std::u16string& caption, int button)
    {
        HWND dialog = Automation::waitForWindow(caption, {}, 10000);
        if (!dialog || !Automation::waitIdle(dialog))
            return u"<no dialog>";
        const AutomationNode tree = Automation::describe(dialog);
        const AutomationNode* label = tree.find(u"Label");
        std::vector<const AutomationNode*> buttons;
        for (const AutomationNode& child : tree.children)
            if (child.className == u"Button")
                buttons.push_back(&child);
        if (buttons.size() < 2)
            return u"<no buttons>";
        const RECT& r = buttons[static_cast<size_t>(button)]->bounds;
        Automation::click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        Automation::waitForGone(dialog, 10000);
        return label ? label->text : u"";
    }

    // The second picture fails; the next run sends the rest, numbered against every tile.
    void failSecondThenRetry(bool refused)
    {
        auto receiver = std::make_unique<Receiver>(tmp.file("in"));
        const int port = receiver->port();
        setUrl(receiver->url());
        int ids[3];
        for (int i = 0; i < 3; ++i) {
            const fs::path file = tmp.file("p" + std::to_string(i) + ".jpg");
            writePicture(file, 640, 480, i);
            ids[i] = addTile(file);
        }
        bool done = false;
        std::unique_ptr<Receiver> failing;
        // Right after the first picture is through, the server goes away or starts failing.
        ui([&] {
            panel.onUpdateTools = [&] {
                if (!done && tile(ids[0])->IsUploaded()) {
                    done = true;
                    receiver->stop();
                    if (!refused)
                        failing = std::make_unique<Receiver>(tmp.file("failing"), std::vector<std::string>{"--status", "500"},
                                                             port);
                }
            };
        });
        post();
        ASSERT_TRUE(waitEnd());
        EXPECT_EQ(status(), (std::vector<std::u16string>{numbered(1, 3), numbered(2, 3), kError}));
        EXPECT_TRUE(uploaded(ids[0]));
        EXPECT_FALSE(uploaded(ids[1]));
        EXPECT_FALSE(uploaded(ids[2]));
        ui([&] {
            panel.onUpdateTools = nullptr;
            EXPECT_FALSE(panel.cancelSkins);
            EXPECT_TRUE(panel.postEnabled);
            EXPECT_FALSE(panel.labelsShown);
        });
        EXPECT_EQ(callbacks(), 0);

        failing.reset();
        Receiver again(tmp.file("again"), {}, port);
        ASSERT_EQ(again.port(), port);
        post();
        ASSERT_TRUE(waitEnd());
        const auto texts = status();
        EXPECT_EQ(std::vector<std::u16string>(texts.end() - 3, texts.end()),
                  (std::vector<std::u16string>{numbered(1, 3), numbered(2, 3), kDone}));
        EXPECT_EQ(again.stored(), (std::vector<std::string>{"p1.jpg", "p2.jpg"}));
        EXPECT_EQ(callbacks(), 1);
}

    TempDir tmp;
    HWND page = nullptr;
    HWND hwnd = nullptr;
    ComPtr<PageSite> site;
    ComPtr<IPictavo> control;
    ComPtr<IOleObject> ole;
    std::unique_ptr<ListView> list;
    FakePanel panel;
    ComPtr<PageFunction> callback;
    ComPtr<PageFunction> object;
    std::vector<std::u16string> statuses, times, speeds;

private:
    std::thread m_ui;
    HWND m_calls = nullptr;
};

} // namespace

TEST_F(UploadRunTest, ThreePicturesArriveInOrderWithTheirFieldsAndThePageHearsOnceTheListIsEmpty)
{
    Receiver receiver(tmp.file("in"));
    setUrl(receiver.url());
    addField(u"x", u"1");
    addField(u"a", u"2");
    writePicture(tmp.file("one.jpg"), 4000, 3000, 1);
    writePicture(tmp.file("two.jpg"), 300, 400, 2);
    writePicture(tmp.file("three.png"), 700, 650, 3);
    const int one = addTile(tmp.file("one.jpg"));
    addTile(tmp.file("two.jpg"));
    addTile(tmp.file("three.png"));
    ui([&] { tile(one)->name = u"holiday"; });

    post();
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(status(), (std::vector<std::u16string>{numbered(1, 3), numbered(2, 3), numbered(3, 3), kDone}));
    ASSERT_EQ(receiver.stored(), (std::vector<std::string>{"one.jpg", "three.png", "two.jpg"}));
    // Extra fields in map order, then the picture's own, the file part last (the receiver
    // lists the fields it read before the file).
    const std::string fields = receiver.fields("one.jpg");
    const size_t a = fields.find("\na=2\n"), x = fields.find("\nx=1\n"), t = fields.find("\nlastWriteTime=");
    const size_t w = fields.find("\nwidth=4000\n"), h = fields.find("\nheight=3000\n"),
                 r = fields.find("\nremark=holiday\n");
    ASSERT_NE(r, std::string::npos) << fields;
    EXPECT_TRUE(a < x && x < t && t < w && w < h && h < r) << fields;
    EXPECT_NE(fields.find("file-field=img\n"), std::string::npos);
    // Re-encoded into the box: only the longer side is matched.
    EXPECT_EQ(storedSize(tmp.file("in") / "one.jpg").cx, 800);
    EXPECT_EQ(storedSize(tmp.file("in") / "one.jpg").cy, 600);
    EXPECT_EQ(storedSize(tmp.file("in") / "two.jpg").cx, 300);
    EXPECT_EQ(storedSize(tmp.file("in") / "three.png").cx, 800);
    EXPECT_NE(receiver.fields("three.png").find("\nwidth=700\nheight=650\nremark=three.png\n"), std::string::npos);

    EXPECT_EQ(answers(), (std::vector<std::u16string>{u"stored one.jpg", u"stored two.jpg", u"stored three.png"}));
    EXPECT_EQ(callbacks(), 1);
    EXPECT_TRUE(read<bool>([&] { return callback->objectPassed; }));
    EXPECT_EQ(read<LONG>([&] { return callback->tilesAtCall; }), 0) << "called after the list was emptied";
    ui([&] {
        EXPECT_EQ(list->Count(), 0);
        EXPECT_FALSE(panel.postEnabled);
        EXPECT_FALSE(panel.cancelSkins);
        EXPECT_TRUE(panel.addEnabled && panel.selectAllEnabled);
        EXPECT_EQ(panel.calls.back(), "look empty");
        EXPECT_EQ(pictavo()->RemainingTimeText(), u"");
        EXPECT_EQ(pictavo()->SpeedText(), u"");
        EXPECT_TRUE(list->IsEditable());
    });
    EXPECT_FALSE(AppState::Instance()->IsUploading());
}

TEST_F(UploadRunTest, AServerErrorEndsTheRunAndTheNextRunSendsTheRest)
{
    failSecondThenRetry(false);
}

TEST_F(UploadRunTest, ARefusedConnectionEndsTheRunAndTheNextRunSendsTheRest)
{
    failSecondThenRetry(true);
}

TEST_F(UploadRunTest, CancelQuestionAnsweredCancelLetsTheRunGoOnAndOkStopsIt)
{
    Receiver receiver(tmp.file("in"), {"--delay-ms", "1500"});
    setUrl(receiver.url());
    for (int i = 0; i < 3; ++i) {
        writePicture(tmp.file("c" + std::to_string(i) + ".jpg"), 320, 240, i);
        addTile(tmp.file("c" + std::to_string(i) + ".jpg"));
    }
    post();
    ASSERT_TRUE(waitFor([&] { return status().size() == 1; }));
    post();
    EXPECT_EQ(answerDialog(u"取消上传", 1), u"照片正在上传中，确定取消上传吗？");
    EXPECT_TRUE(running());
    EXPECT_TRUE(read<bool>([&] { return panel.cancelSkins; }));

    ASSERT_TRUE(waitFor([&] { return status().size() == 2; }));
    post();
    EXPECT_EQ(answerDialog(u"取消上传", 0), u"照片正在上传中，确定取消上传吗？");
    EXPECT_FALSE(running());
    // Whatever the cancelled upload still does is dropped: no answer, no callback, no text.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(status(), (std::vector<std::u16string>{numbered(1, 3), numbered(2, 3)}));
    EXPECT_EQ(answers().size(), 1u);
    EXPECT_EQ(callbacks(), 0);
    ui([&] {
        EXPECT_FALSE(panel.labelsShown);
        EXPECT_FALSE(panel.cancelSkins);
        EXPECT_TRUE(panel.postEnabled);
        EXPECT_EQ(list->Count(), 3);
        EXPECT_TRUE(list->IsEditable());
    });
    EXPECT_FALSE(AppState::Instance()->IsUploading());
}

TEST_F(UploadRunTest, OkAnsweredAfterTheRunEndedStopsNothing)
{
    Receiver receiver(tmp.file("in"), {"--delay-ms", "500"});
    setUrl(receiver.url());
    writePicture(tmp.file("only.jpg"), 320, 240);
    addTile(tmp.file("only.jpg"));
    post();
    ASSERT_TRUE(waitFor([&] { return status().size() == 1; }));
    post();
    HWND dialog = Automation::waitForWindow(u"取消上传", {}, 10000);
    ASSERT_TRUE(dialog);
    // The run ends while the question is open.
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(answerDialog(u"取消上传", 0), u"照片正在上传中，确定取消上传吗？");
    EXPECT_EQ(status().back(), kDone);
    EXPECT_EQ(callbacks(), 1);
    ui([&] { EXPECT_EQ(std::count(panel.calls.begin(), panel.calls.end(), "labels hidden"), 0); });
}

TEST_F(UploadRunTest, EmptyListAndPictureWithoutDataAreToldInTheMessageDialog)
{
    post();
    EXPECT_EQ(answerDialog(u"提示消息", 0), u"上传列表为空，请选择文件");
    EXPECT_FALSE(running());

    Receiver receiver(tmp.file("in"));
    setUrl(receiver.url());
    writePicture(tmp.file("ready.jpg"), 320, 240);
    writePicture(tmp.file("later.jpg"), 320, 240);
    const int ready = addTile(tmp.file("ready.jpg"));
    const int later = addTile(tmp.file("later.jpg"), false);
    post();
    EXPECT_EQ(answerDialog(kError, 0), u"获取图片数据失败。");
    EXPECT_FALSE(running());
    EXPECT_TRUE(uploaded(ready));
    EXPECT_FALSE(uploaded(later));
    EXPECT_EQ(receiver.stored(), std::vector<std::string>{"ready.jpg"});
    EXPECT_EQ(callbacks(), 0);
    ui([&] {
        EXPECT_TRUE(panel.postEnabled);
        EXPECT_FALSE(panel.cancelSkins);
        EXPECT_TRUE(list->IsEditable());
    });
}

TEST_F(UploadRunTest, AFileDeletedAfterItWasAddedFailsInsteadOfPassingForSent)
{
    Receiver receiver(tmp.file("in"));
    setUrl(receiver.url());
    int ids[3];
    for (int i = 0; i < 3; ++i) {
        writePicture(tmp.file("d" + std::to_string(i) + ".jpg"), 320, 240, i);
        ids[i] = addTile(tmp.file("d" + std::to_string(i) + ".jpg"));
    }
    fs::remove(tmp.file("d1.jpg"));
    post();
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(status().back(), kError);
    EXPECT_EQ(receiver.stored(), std::vector<std::string>{"d0.jpg"});
    EXPECT_TRUE(uploaded(ids[0]));
    EXPECT_FALSE(uploaded(ids[1]));
    EXPECT_FALSE(uploaded(ids[2]));
    EXPECT_EQ(answers().size(), 1u);
}

TEST_F(UploadRunTest, LargeFilesAndGifsGoByteForByte)
{
    Receiver receiver(tmp.file("in"));
    setUrl(receiver.url());
    writePicture(tmp.file("big.jpg"), 640, 480);
    {
        // Still a picture, with camera-like trailing data up to 20 MiB.
        std::ofstream big(tmp.file("big.jpg"), std::ios::binary | std::ios::app);
        std::string filler(20 * 1048576, 'z');
        big.write(filler.data(), static_cast<std::streamsize>(filler.size()));
    }
    const std::string gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00,"
                          "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
                          "D\x01\x00;",
                          43);
    tmp.write("tiny.gif", gif);
    addTile(tmp.file("big.jpg"));
    addTile(tmp.file("tiny.gif"));
    post();
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(status().back(), kDone);
    EXPECT_TRUE(receiver.bytes("big.jpg") == readFile(tmp.file("big.jpg")));
    EXPECT_EQ(receiver.bytes("tiny.gif"), gif);
}

TEST_F(UploadRunTest, TheFirstAddressOfTheControlsLifeIsKept)
{
    Receiver first(tmp.file("first"));
    Receiver second(tmp.file("second"));
    setUrl(first.url());
    writePicture(tmp.file("a.jpg"), 320, 240, 1);
    writePicture(tmp.file("b.jpg"), 320, 240, 2);
    addTile(tmp.file("a.jpg"));
    post();
    ASSERT_TRUE(waitEnd());
    setUrl(second.url());
    addTile(tmp.file("b.jpg"));
    post();
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(first.stored(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_TRUE(second.stored().empty());
}

TEST_F(UploadRunTest, AnEditedPictureResentAfterAFailedRunCarriesItsEdits)
{
    // Nothing listens at first: the run fails on a refused connection.
    int port = 0;
    {
        Receiver probe(tmp.file("probe"));
        port = probe.port();
    }
    setUrl(u"http://127.0.0.1:" + pictavo::platform::fromUtf8(std::to_string(port)) + u"/upload");
    writePicture(tmp.file("turned.jpg"), 640, 480);
    const int id = addTile(tmp.file("turned.jpg"));
    ASSERT_TRUE(read<bool>([&] { return tile(id)->Turn(true); }));
    post();
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(status().back(), kError);
    EXPECT_FALSE(uploaded(id));

    Receiver receiver(tmp.file("in"), {}, port);
    ASSERT_EQ(receiver.port(), port);
    post();
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(status().back(), kDone);
    const SIZE stored = storedSize(tmp.file("in") / "turned.jpg");
    // Turned, then fitted into the box by its longer side (unturned it would be 800 x 600).
    EXPECT_EQ(stored.cx, 450);
    EXPECT_EQ(stored.cy, 600);
    EXPECT_NE(receiver.fields("turned.jpg").find("\nwidth=480\nheight=640\n"), std::string::npos);
}

TEST_F(UploadRunTest, ClearFromThePageDuringARunStopsItFirst)
{
    Receiver receiver(tmp.file("in"), {"--delay-ms", "1000"});
    setUrl(receiver.url());
    for (int i = 0; i < 2; ++i) {
        writePicture(tmp.file("k" + std::to_string(i) + ".jpg"), 320, 240, i);
        addTile(tmp.file("k" + std::to_string(i) + ".jpg"));
    }
    post();
    ASSERT_TRUE(waitFor([&] { return status().size() == 1; }));
    EXPECT_EQ(read<HRESULT>([&] { return control->Clear(); }), S_OK);
    EXPECT_FALSE(running());
    EXPECT_EQ(read<LONG>([&] { return list->Count(); }), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(answers().size(), 0u);
    EXPECT_EQ(callbacks(), 0);
    EXPECT_FALSE(AppState::Instance()->IsUploading());
}

TEST_F(UploadRunTest, ClosingTheControlDuringARunStopsItAndWaitsForTheWorker)
{
    Receiver receiver(tmp.file("in"), {"--delay-ms", "800"});
    setUrl(receiver.url());
    for (int i = 0; i < 2; ++i) {
        writePicture(tmp.file("z" + std::to_string(i) + ".jpg"), 320, 240, i);
        addTile(tmp.file("z" + std::to_string(i) + ".jpg"));
    }
    post();
    ASSERT_TRUE(waitFor([&] { return status().size() == 1; }));
    ui([&] {
        ole->Close(OLECLOSE_NOSAVE);
        ole = nullptr;
        EXPECT_FALSE(pictavo()->IsPosting());
        // The tiles go only now, after the worker has ended.
        list.reset();
    });
    EXPECT_FALSE(AppState::Instance()->IsUploading());
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(callbacks(), 0);
    EXPECT_EQ(answers().size(), 0u);
}

TEST_F(UploadRunTest, ProgressShowsTheTileTheSpeedAndTheRemainingTime)
{
    // A slow server, so that the poster reports progress while the bytes go out.
    pictavo::test::RawServer server;
    pictavo::test::RawBehaviour slow;
    slow.readSize = 65536;
    slow.readDelayMs = 25;
    slow.receiveBuffer = 65536;
    slow.response = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    server.setDefault(slow);
    setUrl(pictavo::platform::fromUtf8(server.url()));
    ui([&] { control->put_CompressSizeLimit(100000000); }); // sent as it is
    writePicture(tmp.file("slow.jpg"), 640, 480);
    {
        std::ofstream more(tmp.file("slow.jpg"), std::ios::binary | std::ios::app);
        std::string filler(8000000, '\0');
        uint32_t r = 7;
        for (char& c : filler)
            c = static_cast<char>((r = r * 1664525u + 1013904223u) >> 24);
        more.write(filler.data(), static_cast<std::streamsize>(filler.size()));
    }
    const int id = addTile(tmp.file("slow.jpg"));
    post();
    int percent = 0;
    ASSERT_TRUE(waitFor([&] {
        return read<bool>([&] {
            percent = tile(id) ? tile(id)->ProgressPercent() : 0;
            return !speeds.empty();
        });
    }));
    EXPECT_GT(percent, 0);
    EXPECT_LT(percent, 100);
    ui([&] {
        ASSERT_FALSE(speeds.empty());
        const std::u16string speed = speeds.front();
        EXPECT_EQ(speed.rfind(u"速度：", 0), 0u);
        // A size with its unit and no per-second suffix.
        EXPECT_TRUE(speed.ends_with(u"KB") || speed.ends_with(u"MB")) << speed.size();
        ASSERT_FALSE(times.empty());
        // The whole picture still counts as remaining: at well under 1 MB/s, a few seconds.
        EXPECT_EQ(times.front().rfind(u"剩余时间：00:00:0", 0), 0u) << times.front().size();
    });
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(answers(), std::vector<std::u16string>{u"ok"});
}

TEST_F(UploadRunTest, ARunWithEveryTileAlreadySentEndsAtOnce)
{
    writePicture(tmp.file("s.jpg"), 320, 240);
    const int id = addTile(tmp.file("s.jpg"));
    ui([&] { tile(id)->MarkUploaded(); });
    post();
    EXPECT_FALSE(running());
    EXPECT_EQ(status(), std::vector<std::u16string>{kDone});
    EXPECT_EQ(callbacks(), 1);
    EXPECT_EQ(read<LONG>([&] { return list->Count(); }), 0);
    EXPECT_FALSE(AppState::Instance()->IsUploading());
}

TEST_F(UploadRunTest, ClearWhileTheFirstPictureIsPreparedSendsNothing)
{
    Receiver receiver(tmp.file("in"));
    setUrl(receiver.url());
    writePicture(tmp.file("prep.jpg"), 3000, 2000);
    addTile(tmp.file("prep.jpg"));
    post();
    // Handled before the preparation's result, which comes as a posted message.
    EXPECT_EQ(read<HRESULT>([&] { return control->Clear(); }), S_OK);
    EXPECT_FALSE(running());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(status().empty());
    EXPECT_TRUE(receiver.stored().empty());
    EXPECT_TRUE(answers().empty());
}
