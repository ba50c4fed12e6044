#include "PageWindow.h"

#include "ParamBag.h"
#include "ScriptHost.h"
#include "ScriptString.h"

#include "platform/com/ClassLoader.h"
#include "platform/kernel/MessageBox.h"
#include "platform/kernel/Strings.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>

namespace pictavo::host {

namespace {

constexpr const char16_t* kPageClass = u"PictavoPage";
// What a browser of that era put on the caption of a page's alert.
constexpr const char16_t* kAlertCaption = u"来自网页的消息";
const char* const kPage = DUK_HIDDEN_SYMBOL("pageWindow");

std::string hresultText(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

std::u16string lower(std::u16string text)
{
    for (char16_t& c : text)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
    return text;
}

HRESULT classFromAttribute(const std::u16string& classId, CLSID& clsid)
{
    const std::u16string lowered = lower(classId);
    if (lowered.rfind(u"clsid:", 0) == 0) {
        std::u16string text = classId.substr(6);
        if (text.empty() || text.front() != u'{')
            text = u"{" + text + u"}";
        return CLSIDFromString(text.c_str(), &clsid);
    }
    if (lowered.rfind(u"progid:", 0) == 0)
        return CLSIDFromProgID(classId.substr(7).c_str(), &clsid);
    return CO_E_CLASSSTRING;
}

PageWindow* pageOf(duk_context* ctx)
{
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kPage);
    auto* page = static_cast<PageWindow*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return page;
}

duk_ret_t pageAlert(duk_context* ctx)
{
    std::u16string text;
    if (duk_get_top(ctx) > 0) {
        duk_dup(ctx, 0);
        duk_to_string(ctx, -1);
        text = ScriptString::get(ctx, -1);
        duk_pop(ctx);
    }
    PageWindow* page = pageOf(ctx);
    MessageBoxW(page ? page->window() : nullptr, text.c_str(), kAlertCaption, MB_OK);
    return 0;
}

duk_ret_t encodeJson(duk_context* ctx, void*)
{
    duk_json_encode(ctx, -1);
    return 1;
}

HRESULT putProperty(IUnknown* object, const std::u16string& name, const std::u16string& value)
{
    ComPtr<IDispatch> dispatch;
    HRESULT hr = object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    DISPID id = 0;
    hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(hr))
        return hr;
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    hr = dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    VariantClear(&arg);
    return hr;
}

} // namespace

PageWindow::PageWindow(ScriptHost& script) : m_script(script)
{
    duk_context* ctx = m_script.context();
    duk_push_global_stash(ctx);
    duk_push_pointer(ctx, this);
    duk_put_prop_string(ctx, -2, kPage);
    duk_pop(ctx);
    installAlert();
}

PageWindow::~PageWindow()
{
    close();
    duk_context* ctx = m_script.context();
    duk_push_global_stash(ctx);
    duk_del_prop_string(ctx, -1, kPage);
    duk_pop(ctx);
}

void PageWindow::installAlert()
{
    duk_context* ctx = m_script.context();
    duk_push_c_function(ctx, pageAlert, DUK_VARARGS);
    duk_put_global_string(ctx, "alert");
}

void PageWindow::presetProperty(std::u16string name, std::u16string value)
{
    m_presets.emplace_back(std::move(name), std::move(value));
}

bool PageWindow::openFile(const std::filesystem::path& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path.string();
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    open(HtmlPage::Parse(bytes.str()), path.parent_path(), path.string());
    return true;
}

void PageWindow::open(const HtmlPage& page, const std::filesystem::path& base, const std::string& name)
{
    createWindow(page.title.empty() ? std::u16string(u"Pictavo") : page.title);
    int top = kMargin;
    int width = 0;
    for (const PageObject& object : page.objects) {
        int height = 0;
        if (createObject(object, top, height)) {
            top += height + kMargin;
            width = std::max<int>(width, m_objects.back().site->position().right);
        }
    }
    // Size the window to its objects, within the screen's work area.
    RECT frame{};
    RECT client{};
    GetWindowRect(m_hwnd, &frame);
    GetClientRect(m_hwnd, &client);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const int extraW = (frame.right - frame.left) - (client.right - client.left);
    const int extraH = (frame.bottom - frame.top) - (client.bottom - client.top);
    const int w = std::min<int>(std::max(width + kMargin, 320) + extraW, monitor.rcWork.right - monitor.rcWork.left);
    const int h = std::min<int>(std::max(top, 200) + extraH, monitor.rcWork.bottom - monitor.rcWork.top);
    SetWindowPos(m_hwnd, nullptr, monitor.rcWork.left + 40, monitor.rcWork.top + 20, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(m_hwnd, SW_SHOW);
    UpdateWindow(m_hwnd);
    runScripts(page, base, name);
}

void PageWindow::createWindow(const std::u16string& title)
{
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &PageWindow::WindowProc;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kPageClass;
        RegisterClassExW(&wc);
    });
    m_hwnd = CreateWindowExW(0, kPageClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                             CW_USEDEFAULT, 640, 480, nullptr, nullptr, nullptr, this);
}

bool PageWindow::createObject(const PageObject& object, int top, int& height)
{
    const std::string label = "object \"" + pictavo::platform::toUtf8(object.id) + "\"";
    CLSID clsid{};
    HRESULT hr = classFromAttribute(object.classId, clsid);
    ComPtr<IUnknown> unknown;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(unknown.GetAddressOf()));
    if (FAILED(hr) || !unknown) {
        m_script.writeLine(m_script.err(), "pictavo-host: " + label + " (" +
                                               pictavo::platform::toUtf8(object.classId) +
                                               ") cannot be created: " + hresultText(hr));
        return false;
    }

    ComPtr<IOleObject> ole;
    unknown.As(&ole);
    DWORD misc = 0;
    if (ole)
        ole->GetMiscStatus(DVASPECT_CONTENT, &misc);

    int width = object.width;
    height = object.height;
    auto site = pictavo::platform::makeCom<ControlSite>(m_hwnd, RECT{});
    if (ole && (misc & OLEMISC_SETCLIENTSITEFIRST))
        ole->SetClientSite(site.Get());

    ComPtr<IPersistPropertyBag> bagPersist;
    ComPtr<IPersistStreamInit> streamPersist;
    if (SUCCEEDED(unknown.As(&bagPersist)) && bagPersist) {
        auto bag = pictavo::platform::makeCom<ParamBag>(object.params);
        bagPersist->Load(bag.Get(), nullptr);
    } else if (SUCCEEDED(unknown.As(&streamPersist)) && streamPersist) {
        streamPersist->InitNew();
    }
    for (const auto& [name, value] : m_presets)
        putProperty(unknown.Get(), name, value);

    if (ole) {
        SIZEL extent{};
        if (width > 0 && height > 0) {
            extent = SIZEL{PixelsToHimetric(width), PixelsToHimetric(height)};
            ole->SetExtent(DVASPECT_CONTENT, &extent);
        } else if (SUCCEEDED(ole->GetExtent(DVASPECT_CONTENT, &extent))) {
            width = width > 0 ? width : HimetricToPixels(extent.cx);
            height = height > 0 ? height : HimetricToPixels(extent.cy);
        }
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    const RECT position{kMargin, top, kMargin + width, top + height};
    site->setPosition(position);

    Hosted hosted{object.id, unknown, site, nullptr};
    if (ole) {
        if (!(misc & OLEMISC_SETCLIENTSITEFIRST))
            ole->SetClientSite(site.Get());
        hr = ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, m_hwnd, &position);
        if (FAILED(hr))
            m_script.writeLine(m_script.err(), "pictavo-host: " + label + " cannot be activated: " + hresultText(hr));
        ComPtr<IOleWindow> window;
        if (SUCCEEDED(unknown.As(&window)) && window)
            window->GetWindow(&hosted.hwnd);
    }
    {
        std::lock_guard guard(m_windowsLock);
        m_windows.emplace_back(object.id, hosted.hwnd);
    }
    m_objects.push_back(hosted);
    bindGlobal(object.id, unknown.Get());
    return true;
}

void PageWindow::bindGlobal(const std::u16string& id, IUnknown* object)
{
    if (id.empty())
        return;
    ComPtr<IDispatch> dispatch;
    if (FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()))))
        return;
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_DISPATCH;
    value.pdispVal = dispatch.Get();
    duk_context* ctx = m_script.context();
    m_script.bridge().pushVariant(ctx, value);
    duk_put_global_string(ctx, ScriptString::fromUtf16(id).c_str());
}

void PageWindow::runScripts(const HtmlPage& page, const std::filesystem::path& base, const std::string& name)
{
    for (const PageScript& script : page.scripts) {
        if (m_script.finished())
            return;
        if (script.src.empty()) {
            m_script.runSource(script.text, name);
            continue;
        }
        const std::filesystem::path path = base / std::filesystem::path(pictavo::platform::toUtf8(script.src));
        if (!m_script.runFile(path.string()))
            m_script.finish(1);
    }
    if (m_script.finished())
        return;
    duk_context* ctx = m_script.context();
    duk_get_global_string(ctx, "window");
    duk_get_prop_string(ctx, -1, "onload");
    if (duk_is_callable(ctx, -1)) {
        duk_dup(ctx, -2);
        if (duk_pcall_method(ctx, 0) != DUK_EXEC_SUCCESS)
            m_script.reportUncaught(ctx);
    }
    duk_pop_2(ctx);
}

HWND PageWindow::controlWindow(const std::u16string& id) const
{
    std::lock_guard guard(m_windowsLock);
    for (const auto& [name, hwnd] : m_windows)
        if (name == id)
            return hwnd;
    return nullptr;
}

bool PageWindow::evaluate(const std::string& expression, std::string& json)
{
    duk_context* ctx = m_script.context();
    const std::string source = ScriptString::fromUtf16(pictavo::platform::fromUtf8(expression));
    duk_push_string(ctx, "page");
    if (duk_pcompile_lstring_filename(ctx, DUK_COMPILE_EVAL, source.data(), source.size()) != 0 ||
        duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS || duk_safe_call(ctx, encodeJson, nullptr, 1, 1) != DUK_EXEC_SUCCESS) {
        json = ScriptString::toUtf8(ScriptString::toUtf16(duk_safe_to_string(ctx, -1)));
        duk_pop(ctx);
        return false;
    }
    json = duk_is_string(ctx, -1) ? ScriptString::toUtf8(ScriptString::get(ctx, -1)) : std::string();
    duk_pop(ctx);
    return true;
}

void PageWindow::relayout()
{
    RECT client{};
    GetClientRect(m_hwnd, &client);
    for (Hosted& hosted : m_objects) {
        ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(hosted.object.As(&inPlace)) && inPlace) {
            const RECT position = hosted.site->position();
            inPlace->SetObjectRects(&position, &client);
        }
    }
}

void PageWindow::closeControls()
{
    if (m_closing)
        return;
    m_closing = true;
    // Each control tears down its window (and stops what it runs) before the page goes.
    for (Hosted& hosted : m_objects) {
        ComPtr<IOleObject> ole;
        if (SUCCEEDED(hosted.object.As(&ole)) && ole) {
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
        }
        hosted.site->detach();
    }
    {
        std::lock_guard guard(m_windowsLock);
        m_windows.clear();
    }
    m_objects.clear();
}

void PageWindow::close()
{
    if (!m_hwnd)
        return;
    closeControls();
    DestroyWindow(m_hwnd);
}

LRESULT PageWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<PageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCCREATE)
        self->m_hwnd = hwnd;
    return self->OnMessage(message, wParam, lParam);
}

LRESULT PageWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND hwnd = m_hwnd;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(hwnd, &paint);
        RECT client{};
        GetClientRect(hwnd, &client);
        HBRUSH white = CreateSolidBrush(0x00FFFFFF);
        FillRect(dc, &client, white);
        DeleteObject(white);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        relayout();
        return 0;
    case WM_CLOSE:
        close();
        return 0;
    case WM_DESTROY:
        closeControls();
        return 0;
    case WM_NCDESTROY: {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
        if (m_onClosed) {
            auto callback = std::move(m_onClosed);
            callback();
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace pictavo::host
