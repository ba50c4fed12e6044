#include "module/Pictavo.h"

#include <new>

#include "Biz/AppState.h"
#include "Biz/ConfigMgr.h"
#include "Biz/DiagnosticLog.h"
#include "Biz/PictavoProxy.h"
#include "forms/CFileAddDialog.h"
#include "forms/ImageEditForm.h"
#include "forms/ImageViewForm.h"
#include "ui/ListViewPostItem.h"
#include "module/Module.h"
#include "module/PictavoTypeLib.h"
#include "module/UploadRun.h"
#include "platform/com/Apartment.h"
#include "platform/com/HResult.h"
#include "platform/gfx/GdiPlus.h"
#include "platform/win/AutomationNode.h"
#include "platform/win/WinUser.h"
#include "ui/SetUpSkin.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

std::u16string text(BSTR value)
{
    return value ? std::u16string(value, SysStringLen(value)) : std::u16string();
}

constexpr LCID UserDefaultLocale = 0x400;

} // namespace

HRESULT CPictavo::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    PictavoProxy::Register();
    CPictavo* object = new (std::nothrow) CPictavo;
    if (!object)
        return E_OUTOFMEMORY;
    object->AddRef();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

CPictavo::CPictavo()
    : m_dispatch(*PictavoTypeLibrary().findInterface(IID_IPictavo),
                 [this](DISPID id, WORD kind, VARIANT* args, UINT count, VARIANT* result) {
                     return invokeMember(id, kind, args, count, result);
                 })
{
    Module::Lock();
    m_run = std::make_unique<UploadRun>(*this);
    GdiplusStartupInput input; // version 1, no debug callback, background thread kept
    if (GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Ok)
        m_gdiplusToken = 0;
    m_panel.openAddDialog = [](HWND owner, ListView& list) {
        CFileAddDialog dialog;
        dialog.SetTargetList(&list);
        dialog.DoModal(owner);
    };
    m_panel.openEditor = [](HWND owner, ListViewPostItem& tile) {
        ImageEditForm form(tile);
        form.DoModal(owner);
        tile.Redraw();
    };
}

CPictavo::~CPictavo()
{
    // A host that releases without deactivating must not leave a window pointing at freed memory.
    if (m_hwnd && IsWindow(m_hwnd)) {
        DestroyWindow(m_hwnd);
    }
    // The poster's worker reports into the run until it has ended.
    m_run->Shutdown();
    if (m_gdiplusToken)
        GdiplusShutdown(m_gdiplusToken);
    Module::Unlock();
}

HRESULT CPictavo::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    // Hosts probe in this order and the first match wins; IPersistPropertyBag comes last so
    // the order of everything else stays as hosts have always seen it.
    IUnknown* found = nullptr;
    if (riid == IID_IUnknown || riid == IID_IPictavo || riid == IID_IDispatch)
        found = static_cast<IPictavo*>(this);
    else if (riid == IID_IDropTarget)
        found = static_cast<IDropTarget*>(&m_dropTarget);
    else if (riid == IID_IViewObjectEx || riid == IID_IViewObject2 || riid == IID_IViewObject)
        found = static_cast<IViewObjectEx*>(this);
    else if (riid == IID_IOleInPlaceObjectWindowless || riid == IID_IOleInPlaceObject)
        found = static_cast<IOleInPlaceObjectWindowless*>(this);
    else if (riid == IID_IOleWindow)
        found = static_cast<IOleInPlaceObjectWindowless*>(this);
    else if (riid == IID_IOleInPlaceActiveObject)
        found = static_cast<IOleInPlaceActiveObject*>(this);
    else if (riid == IID_IOleControl)
        found = static_cast<IOleControl*>(this);
    else if (riid == IID_IOleObject)
        found = static_cast<IOleObject*>(this);
    else if (riid == IID_IPersistStreamInit || riid == IID_IPersist)
        found = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_ISupportErrorInfo)
        found = static_cast<ISupportErrorInfo*>(this);
    else if (riid == IID_ISpecifyPropertyPages)
        found = static_cast<ISpecifyPropertyPages*>(this);
    else if (riid == IID_IQuickActivate)
        found = static_cast<IQuickActivate*>(this);
    else if (riid == IID_IPersistStorage)
        found = static_cast<IPersistStorage*>(this);
    else if (riid == IID_IDataObject)
        found = static_cast<IDataObject*>(this);
    else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
        found = static_cast<IProvideClassInfo2*>(this);
    else if (riid == IID_IObjectSafety)
        found = static_cast<IObjectSafety*>(this);
    else if (riid == IID_IPersistPropertyBag)
        found = static_cast<IPersistPropertyBag*>(this);
    *ppv = found;
    if (!found)
        return E_NOINTERFACE;
    found->AddRef();
    return S_OK;
}

ULONG CPictavo::AddRef()
{
    return ++m_refs;
}

ULONG CPictavo::Release()
{
    const ULONG left = --m_refs;
    if (left == 0 && !m_destroying) {
        m_destroying = true;
        delete this;
    }
    return left;
}

HRESULT CPictavo::GetTypeInfoCount(UINT* count)
{
    return m_dispatch.GetTypeInfoCount(count);
}

HRESULT CPictavo::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    return m_dispatch.GetTypeInfo(index, lcid, info);
}

HRESULT CPictavo::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    return m_dispatch.GetIDsOfNames(riid, names, count, lcid, ids);
}

HRESULT CPictavo::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* excepInfo, UINT* argErr)
{
    return m_dispatch.Invoke(id, riid, lcid, flags, params, result, excepInfo, argErr);
}

// Arguments arrive already coerced to the types the library declares for each member.
HRESULT CPictavo::invokeMember(DISPID id, WORD, VARIANT* args, UINT, VARIANT* result)
{
    switch (id) {
    case PictavoDispId::Object:
        return put_Object(args[0].pdispVal);
    case PictavoDispId::Debug:
        return put_Debug(args[0].boolVal);
    case PictavoDispId::LogFile:
        return put_LogFile(args[0].bstrVal);
    case PictavoDispId::PostUrl:
        return put_PostUrl(args[0].bstrVal);
    case PictavoDispId::Watermark:
        return put_Watermark(args[0].boolVal);
    case PictavoDispId::ThumbnailWidth:
        return put_ThumbnailWidth(args[0].uiVal);
    case PictavoDispId::ThumbnailHeight:
        return put_ThumbnailHeight(args[0].uiVal);
    case PictavoDispId::ViewWidth:
        return put_ViewWidth(args[0].uiVal);
    case PictavoDispId::ViewHeight:
        return put_ViewHeight(args[0].uiVal);
    case PictavoDispId::ImgSizeLimit:
        return put_ImgSizeLimit(args[0].lVal);
    case PictavoDispId::ImgCountLimit:
        return put_ImgCountLimit(args[0].lVal);
    case PictavoDispId::CompressSizeLimit:
        return put_CompressSizeLimit(args[0].lVal);
    case PictavoDispId::FileFieldName:
        return put_FileFieldName(args[0].bstrVal);
    case PictavoDispId::EncodeType:
        return put_EncodeType(args[0].bstrVal);
    case PictavoDispId::UploadFormat:
        return put_UploadFormat(args[0].bstrVal);
    case PictavoDispId::JpegQuality:
        return put_JpegQuality(args[0].uiVal);
    case PictavoDispId::DefaultFolder:
        return put_DefaultFolder(args[0].bstrVal);
    case PictavoDispId::AfterImagesPosted:
        return put_AfterImagesPosted(args[0].pdispVal);
    case PictavoDispId::OnImagesPosted:
        return OnImagesPosted();
    case PictavoDispId::GetPostedFiles:
        return GetPostedFiles(result);
    case PictavoDispId::AddField:
        return AddField(args[0].bstrVal, args[1].bstrVal);
    case PictavoDispId::ClearFields:
        return ClearFields();
    case PictavoDispId::GetCount: {
        LONG count = 0;
        const HRESULT hr = GetCount(&count);
        if (SUCCEEDED(hr)) {
            VariantClear(result);
            result->vt = VT_I4;
            result->lVal = count;
        }
        return hr;
    }
    case PictavoDispId::Clear:
        return Clear();
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CPictavo::put_Object(IDispatch* value)
{
    std::lock_guard guard(m_lock);
    if (m_object.Get() != value)
        m_object = value;
    return S_OK;
}

HRESULT CPictavo::put_Debug(VARIANT_BOOL value)
{
    m_debug = value == VARIANT_TRUE;
    return S_OK;
}

HRESULT CPictavo::put_LogFile(BSTR value)
{
    DiagnosticLog::Instance()->Open(m_debug, text(value));
    return S_OK;
}

HRESULT CPictavo::put_PostUrl(BSTR value)
{
    std::lock_guard guard(m_lock);
    m_postUrl = text(value);
    return S_OK;
}

HRESULT CPictavo::put_Watermark(VARIANT_BOOL value)
{
    ConfigMgr::Instance()->SetWatermark(value);
    return S_OK;
}

HRESULT CPictavo::put_ThumbnailWidth(USHORT value)
{
    ConfigMgr::Instance()->SetThumbnailWidth(value);
    return S_OK;
}

HRESULT CPictavo::put_ThumbnailHeight(USHORT value)
{
    ConfigMgr::Instance()->SetThumbnailHeight(value);
    return S_OK;
}

HRESULT CPictavo::put_ViewWidth(USHORT value)
{
    ConfigMgr::Instance()->SetViewWidth(value);
    return S_OK;
}

HRESULT CPictavo::put_ViewHeight(USHORT value)
{
    ConfigMgr::Instance()->SetViewHeight(value);
    return S_OK;
}

HRESULT CPictavo::put_ImgSizeLimit(LONG value)
{
    ConfigMgr::Instance()->SetImgSizeLimit(value);
    return S_OK;
}

HRESULT CPictavo::put_ImgCountLimit(LONG value)
{
    ConfigMgr::Instance()->SetImgCountLimit(value);
    return S_OK;
}

HRESULT CPictavo::put_CompressSizeLimit(LONG value)
{
    ConfigMgr::Instance()->SetCompressSizeLimit(value);
    return S_OK;
}

HRESULT CPictavo::put_FileFieldName(BSTR value)
{
    ConfigMgr::Instance()->SetFileFieldName(text(value));
    return S_OK;
}

HRESULT CPictavo::put_EncodeType(BSTR value)
{
    ConfigMgr::Instance()->SetEncodeType(text(value));
    return S_OK;
}

HRESULT CPictavo::put_UploadFormat(BSTR value)
{
    ConfigMgr::Instance()->SetUploadFormat(text(value));
    return S_OK;
}

HRESULT CPictavo::put_JpegQuality(USHORT value)
{
    ConfigMgr::Instance()->SetJpegQuality(value);
    return S_OK;
}

HRESULT CPictavo::put_DefaultFolder(BSTR value)
{
    ConfigMgr::Instance()->SetDefaultFolder(text(value));
    return S_OK;
}

HRESULT CPictavo::put_AfterImagesPosted(IDispatch* value)
{
    std::lock_guard guard(m_lock);
    if (m_afterImagesPosted.Get() != value)
        m_afterImagesPosted = value;
    return S_OK;
}

HRESULT CPictavo::OnImagesPosted()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ComPtr<IDispatch> callback;
    ComPtr<IDispatch> object;
    {
        std::lock_guard guard(m_lock);
        callback = m_afterImagesPosted;
        object = m_object;
    }
    if (!callback)
        return S_OK;

    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_DISPATCH;
    arg.pdispVal = object.Get();
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    // Script function objects answer IDispatchEx; anything else still gets a plain call.
    ComPtr<IDispatchEx> ex;
    if (SUCCEEDED(callback.As(&ex)) && ex)
        ex->InvokeEx(DISPID_VALUE, UserDefaultLocale, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    else
        callback->Invoke(DISPID_VALUE, IID_NULL, UserDefaultLocale, DISPATCH_METHOD, &params, &result,
                         nullptr, nullptr);
    VariantClear(&result);
    return S_OK;
}

HRESULT CPictavo::GetPostedFiles(VARIANT* files)
{
    if (!files)
        return S_OK;
    VariantClear(files);
    std::lock_guard guard(m_lock);
    if (m_postedAnswers.empty())
        return S_OK;
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(m_postedAnswers.size()));
    if (!array)
        return E_OUTOFMEMORY;
    for (size_t i = 0; i < m_postedAnswers.size(); ++i) {
        VARIANT element;
        VariantInit(&element);
        element.vt = VT_BSTR;
        element.bstrVal =
            SysAllocStringLen(m_postedAnswers[i].data(), static_cast<UINT>(m_postedAnswers[i].size()));
        LONG index = static_cast<LONG>(i);
        const HRESULT hr = element.bstrVal ? SafeArrayPutElement(array, &index, &element) : E_OUTOFMEMORY;
        VariantClear(&element);
        if (FAILED(hr)) {
            SafeArrayDestroy(array);
            return hr;
        }
    }
    files->vt = VT_ARRAY | VT_VARIANT;
    files->parray = array;
    return S_OK;
}

HRESULT CPictavo::AddField(BSTR fieldName, BSTR fieldValue)
{
    std::lock_guard guard(m_lock);
    m_fields[text(fieldName)] = text(fieldValue);
    return S_OK;
}

HRESULT CPictavo::ClearFields()
{
    std::lock_guard guard(m_lock);
    m_fields.clear();
    return S_OK;
}

HRESULT CPictavo::GetCount(LONG* val)
{
    if (!val)
        return E_POINTER;
    *val = m_uploadList ? m_uploadList->Count() : 0;
    return S_OK;
}

HRESULT CPictavo::Clear()
{
    // The picture being sent must not be pulled away from under its run.
    m_run->StopRun();
    if (m_uploadList)
        m_uploadList->Clear();
    // The panel shows what an empty list shows, whoever emptied it.
    if (m_panel.IsBuilt()) {
        m_panel.UpdateLook();
        m_panel.UpdateTools();
        m_panel.EnablePost(false);
    }
    return S_OK;
}

HRESULT CPictavo::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == IID_IPictavo ? S_OK : S_FALSE;
}

HRESULT CPictavo::GetPages(CAUUID* pages)
{
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return S_OK;
}

HRESULT CPictavo::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled)
        return E_POINTER;
    ComPtr<IUnknown> probe;
    if (FAILED(QueryInterface(riid, reinterpret_cast<void**>(probe.GetAddressOf())))) {
        *supported = 0;
        *enabled = 0;
        return E_NOINTERFACE;
    }
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
    *enabled = m_safetyEnabled.load();
    return S_OK;
}

HRESULT CPictavo::SetInterfaceSafetyOptions(REFIID riid, DWORD optionSetMask, DWORD enabledOptions)
{
    ComPtr<IUnknown> probe;
    if (FAILED(QueryInterface(riid, reinterpret_cast<void**>(probe.GetAddressOf()))))
        return E_NOINTERFACE;
    if (optionSetMask & ~INTERFACESAFE_FOR_UNTRUSTED_CALLER)
        return E_FAIL;
    const DWORD previous = m_safetyEnabled.load();
    m_safetyEnabled.store((optionSetMask & enabledOptions) | (~optionSetMask & previous));
    return S_OK;
}

std::u16string CPictavo::PostUrl() const
{
    std::lock_guard guard(m_lock);
    return m_postUrl;
}

CPictavo::FieldList CPictavo::ExtraFields() const
{
    std::lock_guard guard(m_lock);
    return FieldList(m_fields.begin(), m_fields.end());
}

void CPictavo::AppendPostedAnswer(const std::u16string& answer)
{
    std::lock_guard guard(m_lock);
    m_postedAnswers.push_back(answer);
}

void CPictavo::SetUploadList(IUploadList* list)
{
    m_uploadList = list;
}

void CPictavo::OnPostClicked()
{
    // A modal question or the page's callback may drop the page's last reference meanwhile.
    ComPtr<IPictavo> keep(static_cast<IPictavo*>(this));
    m_run->OnPostClicked();
}

void CPictavo::SetRunPanel(IRunPanel* panel)
{
    m_run->SetPanel(panel);
}

bool CPictavo::IsPosting() const
{
    return m_run->IsRunning();
}

void CPictavo::OnTransferComplete(int itemId)
{
    m_run->CarryComplete(itemId);
}

void CPictavo::OnTransferError(int itemId, int errorCode)
{
    m_run->CarryError(itemId, errorCode);
}

void CPictavo::OnTransferProgress(int itemId, uint32_t bytesSent, std::u16string speedText)
{
    m_run->CarryProgress(itemId, bytesSent, speedText);
}

void CPictavo::OnTransferReserved(int32_t) {}

// ---- the window ----

namespace {

constexpr const char16_t* WindowClassName = u"PictavoControl";
constexpr UINT SetProgressText = WM_USER + 101;
constexpr UINT SetRemainingTimeText = WM_USER + 102;
constexpr UINT SetSpeedText = WM_USER + 103;
constexpr UINT EnablePost = WM_USER + 104;

void registerWindowClass(WNDPROC procedure)
{
    static std::once_flag once;
    std::call_once(once, [procedure] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.hInstance = Module::Handle();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = WindowClassName;
        RegisterClassExW(&wc);
    });
}

bool isButtonDown(UINT message)
{
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

std::u16string textOf(WPARAM wParam)
{
    const auto* text = reinterpret_cast<const char16_t*>(wParam);
    return text ? std::u16string(text) : std::u16string();
}

} // namespace

LRESULT CPictavo::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* owner = static_cast<CPictavo*>(create->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        owner->m_hwnd = hwnd;
    }
    auto* self = reinterpret_cast<CPictavo*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    // Whatever a handler runs (a modal dialog, a page callback that drops the page's last
    // reference) the object outlives the message.
    ComPtr<IPictavo> keep(static_cast<IPictavo*>(self));
    const LRESULT result = self->OnMessage(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
    }
    return result;
}

LRESULT CPictavo::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The ActiveX framework's share comes first: painting, focus and mouse activation.
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(hwnd, &paint);
        RECT client{};
        GetClientRect(hwnd, &client);
        if (dc)
            DrawInto(dc, client);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        if (m_inPlaceActive && !m_uiActive)
            UIActivate();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_SETFOCUS:
        if (m_inPlaceActive && !m_uiActive)
            UIActivate();
        return 0;
    case WM_PARENTNOTIFY:
        // A press in a child comes here before the child sees it: a child that takes the
        // focus on its press takes it from us afterwards.
        if (!isButtonDown(LOWORD(wParam)))
            break;
        [[fallthrough]];
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        // In a page that is already active no WM_MOUSEACTIVATE comes: the press itself
        // activates the control and takes the focus, or the wheel would go to the page.
        if (m_inPlaceActive && !m_uiActive)
            UIActivate();
        HWND focus = GetFocus();
        if (focus != hwnd && !IsChild(hwnd, focus))
            SetFocus(hwnd);
        break;
    }
    default:
        break;
    }

    switch (message) {
    case WM_CREATE:
        return BuildPanel();
    case WM_DESTROY:
        // Stopped and its worker ended before the panel frees the tiles.
        m_run->Shutdown();
        TearDown();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_SIZE:
        m_panel.Layout();
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE:
        // Without the leave, a hovered button would keep its hover look once the mouse is gone.
        if (!m_trackingLeave) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, 0};
            m_trackingLeave = _TrackMouseEvent(&track) != FALSE;
        }
        m_panel.OnMouse(message, lParam);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        m_panel.OnMouse(message, lParam);
        return 0;
    case WM_MOUSELEAVE:
        m_trackingLeave = false;
        m_panel.OnMouseLeave();
        return 0;
    case WM_MOUSEWHEEL:
        if (m_panel.list.m_hWnd)
            SendMessageW(m_panel.list.m_hWnd, WM_MOUSEWHEEL, wParam, lParam);
        return 1;
    case SetProgressText:
        m_progressText = textOf(wParam);
        m_panel.SetProgressText(m_progressText);
        return 0;
    case SetRemainingTimeText:
        m_remainingTimeText = textOf(wParam);
        m_panel.SetRemainingTimeText(m_remainingTimeText);
        return 0;
    case SetSpeedText:
        m_speedText = textOf(wParam);
        m_panel.SetSpeedText(m_speedText);
        return 0;
    case EnablePost:
        m_panel.EnablePost(true);
        return 1;
    case WM_PICTAVO_DESCRIBE:
        m_panel.Describe(*reinterpret_cast<pictavo::platform::AutomationNode*>(lParam));
        return TRUE;
    case UploadRun::WM_CARRIED:
        m_run->OnCarried();
        return 0;
    default:
        break;
    }
    if (message >= OCM__BASE && message < OCM__BASE + WM_USER)
        return DefWindowProcW(hwnd, message - OCM__BASE, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int CPictavo::BuildPanel()
{
    // Counted per control: another control's tear-down leaves this one's skin in place.
    if (!m_skinHeld) {
        SetUpSkin(Module::Handle());
        m_skinHeld = true;
    }
    ImageViewForm::SetModuleHold(&Module::Lock, &Module::Unlock);
    m_panel.onPost = [this] { OnPostClicked(); };
    m_panel.isUploading = [this] { return IsPosting(); };
    m_panel.Build(m_hwnd);
    m_dropTarget.SetDropEnabled(true);
    SetUploadList(&m_panel.list);
    SetRunPanel(&m_panel);
    return 0;
}

void CPictavo::TearDown()
{
    ClearFields();
    RevokeDragDrop(m_hwnd);
    SetRunPanel(nullptr);
    SetUploadList(nullptr);
    m_panel.Release();
    if (m_skinHeld) {
        ReleaseSkin();
        m_skinHeld = false;
    }
    m_trackingLeave = false;
}

void CPictavo::DrawInto(HDC target, const RECT& bounds)
{
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0)
        return;
    HDC memory = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
    if (!memory || !bitmap) {
        if (bitmap)
            DeleteObject(bitmap);
        if (memory)
            DeleteDC(memory);
        return;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const RECT local{0, 0, width, height};
    HBRUSH white = CreateSolidBrush(0x00FFFFFF);
    FillRect(memory, &local, white);
    DeleteObject(white);
    GpGraphics* graphics = nullptr;
    if (GdipCreateFromHDC(memory, &graphics) == Ok) {
        PaintRoot(memory, graphics, local);
        GdipDeleteGraphics(graphics);
    }
    BitBlt(target, bounds.left, bounds.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void CPictavo::PaintRoot(HDC dc, void* graphics, const RECT&)
{
    Quendal::UI::CPaintEventArgs e;
    e.hdc = dc;
    e.scratchDc = CreateCompatibleDC(dc);
    e.graphics = static_cast<GpGraphics*>(graphics);
    m_panel.Paint(e);
    if (e.scratchDc)
        DeleteDC(e.scratchDc);
}

bool CPictavo::AcceptsDrops() const
{
    return m_panel.IsBuilt() && !m_panel.IsUploading();
}

void CPictavo::OnFilesDropped(HDROP files)
{
    if (!AcceptsDrops())
        return;
    const UINT count = DragQueryFileW(files, 0xFFFFFFFFu, nullptr, 0);
    if (count < 1)
        return;
    constexpr UINT BufferLength = 255;
    std::vector<std::u16string> paths;
    for (UINT i = 0; i < count; ++i) {
        // A longer path would be cut into the name of some other file: it is left out whole.
        if (DragQueryFileW(files, i, nullptr, 0) >= BufferLength)
            continue;
        WCHAR buffer[BufferLength] = {};
        const UINT length = DragQueryFileW(files, i, buffer, BufferLength);
        paths.emplace_back(buffer, length);
    }
    m_panel.AddDroppedFiles(paths);
}

// ---- in-place activation ----

HRESULT CPictavo::InPlaceActivate(LONG verb, const RECT* posRect)
{
    if (!m_clientSite)
        return E_UNEXPECTED;
    if (!m_inPlaceActive) {
        ComPtr<IOleInPlaceSite> site;
        if (FAILED(m_clientSite.As(&site)) || !site)
            return E_FAIL;
        if (site->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        ComPtr<IOleInPlaceSiteEx> siteEx;
        m_clientSite.As(&siteEx);
        m_inPlaceSite = site;
        m_inPlaceSiteEx = siteEx;
        m_inPlaceActive = true;
        BOOL noRedraw = FALSE;
        if (m_inPlaceSiteEx)
            m_inPlaceSiteEx->OnInPlaceActivateEx(&noRedraw, 0);
        else
            m_inPlaceSite->OnInPlaceActivate();
    }

    HWND parent = nullptr;
    if (FAILED(m_inPlaceSite->GetWindow(&parent)) || !parent) {
        InPlaceDeactivate();
        return E_FAIL;
    }
    m_frame = nullptr;
    m_document = nullptr;
    RECT pos{};
    RECT clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    m_inPlaceSite->GetWindowContext(m_frame.GetAddressOf(), m_document.GetAddressOf(), &pos, &clip, &frameInfo);
    if (posRect)
        pos = *posRect;
    m_posRect = pos;

    if (!m_hwnd) {
        registerWindowClass(&CPictavo::WindowProc);
        m_hwnd = CreateWindowExW(0, WindowClassName, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                 pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, parent, nullptr,
                                 Module::Handle(), this);
        if (!m_hwnd) {
            InPlaceDeactivate();
            return E_FAIL;
        }
        RegisterDragDrop(m_hwnd, &m_dropTarget);
    } else {
        SetObjectRects(&pos, &clip);
        ShowWindow(m_hwnd, SW_SHOW);
    }

    HRESULT hr = S_OK;
    if (verb == OLEIVERB_PRIMARY || verb == OLEIVERB_SHOW || verb == OLEIVERB_UIACTIVATE)
        hr = UIActivate();
    m_clientSite->ShowObject();
    return hr;
}

HRESULT CPictavo::UIActivate()
{
    if (!m_inPlaceActive || !m_hwnd)
        return E_UNEXPECTED;
    if (m_uiActive)
        return S_OK;
    if (m_inPlaceSiteEx && m_inPlaceSiteEx->RequestUIActivate() != S_OK)
        return S_OK;
    m_uiActive = true;
    m_inPlaceSite->OnUIActivate();
    HWND focus = GetFocus();
    if (focus != m_hwnd && !IsChild(m_hwnd, focus))
        SetFocus(m_hwnd);
    if (m_frame) {
        m_frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
        m_frame->SetBorderSpace(nullptr);
    }
    if (m_document) {
        m_document->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
        m_document->SetBorderSpace(nullptr);
    }
    return S_OK;
}

HRESULT CPictavo::UIDeactivate()
{
    if (!m_uiActive)
        return S_OK;
    m_uiActive = false;
    if (m_frame)
        m_frame->SetActiveObject(nullptr, nullptr);
    if (m_document)
        m_document->SetActiveObject(nullptr, nullptr);
    if (m_inPlaceSite)
        m_inPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT CPictavo::InPlaceDeactivate()
{
    if (!m_inPlaceActive)
        return S_OK;
    ComPtr<IPictavo> keep(static_cast<IPictavo*>(this));
    UIDeactivate();
    m_inPlaceActive = false;
    if (m_hwnd) {
        HWND hwnd = m_hwnd;
        DestroyWindow(hwnd);
    }
    if (m_inPlaceSiteEx)
        m_inPlaceSiteEx->OnInPlaceDeactivateEx(TRUE);
    else if (m_inPlaceSite)
        m_inPlaceSite->OnInPlaceDeactivate();
    m_inPlaceSite = nullptr;
    m_inPlaceSiteEx = nullptr;
    m_frame = nullptr;
    m_document = nullptr;
    return S_OK;
}

HRESULT CPictavo::SetObjectRects(const RECT* posRect, const RECT*)
{
    if (!posRect)
        return E_POINTER;
    m_posRect = *posRect;
    if (m_hwnd)
        SetWindowPos(m_hwnd, nullptr, posRect->left, posRect->top, posRect->right - posRect->left,
                     posRect->bottom - posRect->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

HRESULT CPictavo::ReactivateAndUndo()
{
    return E_NOTIMPL;
}

HRESULT CPictavo::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result)
{
    // A window-only control takes its messages in its own window.
    if (result)
        *result = 0;
    return S_FALSE;
}

HRESULT CPictavo::GetDropTarget(IDropTarget** target)
{
    if (!target)
        return E_POINTER;
    *target = &m_dropTarget;
    m_dropTarget.AddRef();
    return S_OK;
}

HRESULT CPictavo::GetWindow(HWND* hwnd)
{
    if (!hwnd)
        return E_POINTER;
    *hwnd = m_hwnd;
    return m_hwnd ? S_OK : E_FAIL;
}

HRESULT CPictavo::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::TranslateAccelerator(LPMSG)
{
    return S_FALSE;
}

HRESULT CPictavo::OnFrameWindowActivate(BOOL)
{
    return S_OK;
}

HRESULT CPictavo::OnDocWindowActivate(BOOL)
{
    return S_OK;
}

HRESULT CPictavo::ResizeBorder(const RECT*, IOleInPlaceUIWindow*, BOOL)
{
    return S_OK;
}

HRESULT CPictavo::EnableModeless(BOOL)
{
    return S_OK;
}

// ---- IOleObject ----

HRESULT CPictavo::SetClientSite(IOleClientSite* site)
{
    m_clientSite = site;
    return S_OK;
}

HRESULT CPictavo::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = m_clientSite.Get();
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

HRESULT CPictavo::SetHostNames(LPCOLESTR, LPCOLESTR)
{
    return S_OK;
}

HRESULT CPictavo::Close(DWORD)
{
    ComPtr<IPictavo> keep(static_cast<IPictavo*>(this));
    InPlaceDeactivate();
    m_viewSink = nullptr;
    // A sink may unadvise from inside OnClose.
    const auto sinks = std::move(m_oleSinks);
    m_oleSinks.clear();
    for (const auto& [cookie, sink] : sinks)
        sink->OnClose();
    return S_OK;
}

HRESULT CPictavo::SetMoniker(DWORD, IMoniker*)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT CPictavo::InitFromData(IDataObject*, BOOL, DWORD)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::GetClipboardData(DWORD, IDataObject** data)
{
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT CPictavo::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, const RECT* posRect)
{
    if (site && !m_clientSite)
        m_clientSite = site;
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE:
        return InPlaceActivate(verb, posRect);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (m_hwnd)
            ShowWindow(m_hwnd, SW_HIDE);
        return S_OK;
    default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

HRESULT CPictavo::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (verbs)
        *verbs = nullptr;
    return OLEOBJ_E_NOVERBS;
}

HRESULT CPictavo::Update()
{
    return S_OK;
}

HRESULT CPictavo::IsUpToDate()
{
    return S_OK;
}

HRESULT CPictavo::GetUserClassID(CLSID* clsid)
{
    return GetClassID(clsid);
}

HRESULT CPictavo::GetUserType(DWORD, LPOLESTR* userType)
{
    if (userType)
        *userType = nullptr;
    return E_NOTIMPL;
}

HRESULT CPictavo::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    if (size->cx < 0 || size->cy < 0)
        return E_INVALIDARG;
    if (size->cx != m_extent.cx || size->cy != m_extent.cy) {
        m_extent = *size;
        m_dirty = true;
        if (m_viewSink)
            m_viewSink->OnViewChange(DVASPECT_CONTENT, -1);
    }
    return S_OK;
}

HRESULT CPictavo::GetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    *size = m_extent;
    return S_OK;
}

HRESULT CPictavo::Advise(IAdviseSink* sink, DWORD* connection)
{
    if (!sink || !connection)
        return E_POINTER;
    *connection = m_nextSinkCookie++;
    m_oleSinks[*connection] = sink;
    return S_OK;
}

HRESULT CPictavo::Unadvise(DWORD connection)
{
    return m_oleSinks.erase(connection) ? S_OK : OLE_E_NOCONNECTION;
}

HRESULT CPictavo::EnumAdvise(IEnumSTATDATA** advises)
{
    if (advises)
        *advises = nullptr;
    return E_NOTIMPL;
}

HRESULT CPictavo::GetMiscStatus(DWORD aspect, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? MiscStatus : 0;
    return S_OK;
}

HRESULT CPictavo::SetColorScheme(void*)
{
    return E_NOTIMPL;
}

// ---- IOleControl ----

HRESULT CPictavo::GetControlInfo(CONTROLINFO* info)
{
    if (!info)
        return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT CPictavo::OnMnemonic(LPMSG)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::OnAmbientPropertyChange(DISPID)
{
    return S_OK;
}

HRESULT CPictavo::FreezeEvents(BOOL freeze)
{
    m_freezeCount = std::max<LONG>(0, m_freezeCount + (freeze ? 1 : -1));
    return S_OK;
}

// ---- the view ----

HRESULT CPictavo::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC draw, LPCRECTL bounds, LPCRECTL,
                       ContinueCallback, ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!draw)
        return E_INVALIDARG;
    RECT area{};
    if (bounds)
        area = RECT{bounds->left, bounds->top, bounds->right, bounds->bottom};
    else if (m_inPlaceActive)
        area = m_posRect;
    else
        return E_INVALIDARG;
    DrawInto(draw, area);
    return S_OK;
}

HRESULT CPictavo::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, void** colours)
{
    if (colours)
        *colours = nullptr;
    return E_NOTIMPL;
}

HRESULT CPictavo::Freeze(DWORD, LONG, void*, DWORD*)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::Unfreeze(DWORD)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    m_viewAspects = aspects;
    m_viewFlags = flags;
    m_viewSink = sink;
    return S_OK;
}

HRESULT CPictavo::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = m_viewAspects;
    if (flags)
        *flags = m_viewFlags;
    if (sink) {
        *sink = m_viewSink.Get();
        if (*sink)
            (*sink)->AddRef();
    }
    return S_OK;
}

HRESULT CPictavo::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, SIZEL* size)
{
    return GetExtent(aspect, size);
}

HRESULT CPictavo::GetRect(DWORD, RECTL*)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::GetViewStatus(DWORD* status)
{
    if (!status)
        return E_POINTER;
    // Every pixel of the bounds is painted, on a white background.
    *status = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
    return S_OK;
}

HRESULT CPictavo::QueryHitPoint(DWORD aspect, const RECT* bounds, POINT location, LONG, DWORD* hitResult)
{
    if (!bounds || !hitResult)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    const bool inside = location.x >= bounds->left && location.x < bounds->right && location.y >= bounds->top &&
                        location.y < bounds->bottom;
    *hitResult = inside ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT CPictavo::QueryHitRect(DWORD aspect, const RECT* bounds, const RECT* location, LONG, DWORD* hitResult)
{
    if (!bounds || !location || !hitResult)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    const bool overlaps = location->left < bounds->right && location->right > bounds->left &&
                          location->top < bounds->bottom && location->bottom > bounds->top;
    *hitResult = overlaps ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT CPictavo::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, void*, SIZEL*)
{
    return E_NOTIMPL;
}

// ---- persistence: the extent only ----

namespace {

HRESULT readUInt32(IStream* stream, DWORD& value)
{
    BYTE bytes[4];
    ULONG read = 0;
    if (FAILED(stream->Read(bytes, sizeof bytes, &read)) || read != sizeof bytes)
        return STG_E_READFAULT;
    value = static_cast<DWORD>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<DWORD>(bytes[3]) << 24);
    return S_OK;
}

HRESULT writeUInt32(IStream* stream, DWORD value)
{
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                           static_cast<BYTE>(value >> 24)};
    ULONG written = 0;
    const HRESULT hr = stream->Write(bytes, sizeof bytes, &written);
    return FAILED(hr) ? hr : written == sizeof bytes ? S_OK : STG_E_MEDIUMFULL;
}

// A bag's value (the page's params are strings) as the 32-bit unsigned extent; false when
// missing or not a number.
bool readBagExtent(IPropertyBag* bag, const char16_t* name, IErrorLog* log, LONG& out)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI4;
    HRESULT hr = bag->Read(name, &value, log);
    if (FAILED(hr)) {
        VariantClear(&value);
        return false;
    }
    VARIANT number;
    VariantInit(&number);
    hr = VariantChangeType(&number, &value, 0, VT_UI4);
    VariantClear(&value);
    if (FAILED(hr) || number.ulVal > 0x7FFFFFFFu)
        return false;
    out = static_cast<LONG>(number.ulVal);
    return true;
}

} // namespace

HRESULT CPictavo::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_Pictavo;
    return S_OK;
}

HRESULT CPictavo::IsDirty()
{
    return m_dirty ? S_OK : S_FALSE;
}

HRESULT CPictavo::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    DWORD cx = 0;
    DWORD cy = 0;
    HRESULT hr = readUInt32(stream, cx);
    if (SUCCEEDED(hr))
        hr = readUInt32(stream, cy);
    if (FAILED(hr))
        return hr;
    if (cx > 0x7FFFFFFFu || cy > 0x7FFFFFFFu)
        return E_INVALIDARG;
    m_extent = SIZEL{static_cast<LONG>(cx), static_cast<LONG>(cy)};
    m_dirty = false;
    return S_OK;
}

HRESULT CPictavo::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    HRESULT hr = writeUInt32(stream, static_cast<DWORD>(m_extent.cx));
    if (SUCCEEDED(hr))
        hr = writeUInt32(stream, static_cast<DWORD>(m_extent.cy));
    if (SUCCEEDED(hr) && clearDirty)
        m_dirty = false;
    return hr;
}

HRESULT CPictavo::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = 8;
    return S_OK;
}

HRESULT CPictavo::InitNew()
{
    m_dirty = false;
    return S_OK;
}

HRESULT CPictavo::Load(IPropertyBag* bag, IErrorLog* log)
{
    if (!bag)
        return E_POINTER;
    // Only the extent is persisted; every other setting comes from the page's script.
    SIZEL extent = m_extent;
    readBagExtent(bag, u"_cx", log, extent.cx);
    readBagExtent(bag, u"_cy", log, extent.cy);
    m_extent = extent;
    m_dirty = false;
    return S_OK;
}

HRESULT CPictavo::Save(IPropertyBag* bag, BOOL clearDirty, BOOL)
{
    if (!bag)
        return E_POINTER;
    for (auto [name, value] : {std::pair{u"_cx", m_extent.cx}, std::pair{u"_cy", m_extent.cy}}) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_UI4;
        v.ulVal = static_cast<ULONG>(value);
        const HRESULT hr = bag->Write(name, &v);
        if (FAILED(hr))
            return hr;
    }
    if (clearDirty)
        m_dirty = false;
    return S_OK;
}

HRESULT CPictavo::InitNew(IStorage*)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::Load(IStorage*)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::Save(IStorage*, BOOL)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::SaveCompleted(IStorage*)
{
    return S_OK;
}

HRESULT CPictavo::HandsOffStorage()
{
    return S_OK;
}

// ---- quick activation ----

HRESULT CPictavo::QuickActivate(QACONTAINER* container, QACONTROL* control)
{
    if (!container || !control)
        return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    SetClientSite(container->pClientSite);
    if (container->pAdviseSink)
        SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    control->dwMiscStatus = MiscStatus;
    control->dwViewStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
}

HRESULT CPictavo::SetContentExtent(SIZEL* size)
{
    return SetExtent(DVASPECT_CONTENT, size);
}

HRESULT CPictavo::GetContentExtent(SIZEL* size)
{
    return GetExtent(DVASPECT_CONTENT, size);
}

// ---- data object ----

HRESULT CPictavo::GetData(FORMATETC*, STGMEDIUM*)
{
    return DV_E_FORMATETC;
}

HRESULT CPictavo::GetDataHere(FORMATETC*, STGMEDIUM*)
{
    return DV_E_FORMATETC;
}

HRESULT CPictavo::QueryGetData(FORMATETC*)
{
    return DV_E_FORMATETC;
}

HRESULT CPictavo::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out)
        out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT CPictavo::SetData(FORMATETC*, STGMEDIUM*, BOOL)
{
    return E_NOTIMPL;
}

HRESULT CPictavo::EnumFormatEtc(DWORD, IEnumFORMATETC** formats)
{
    if (formats)
        *formats = nullptr;
    return E_NOTIMPL;
}

HRESULT CPictavo::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT CPictavo::DUnadvise(DWORD)
{
    return OLE_E_NOCONNECTION;
}

HRESULT CPictavo::EnumDAdvise(IEnumSTATDATA** advises)
{
    if (advises)
        *advises = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

// ---- class information ----

HRESULT CPictavo::GetClassInfo(ITypeInfo** info)
{
    // The type library is described by a static table; no type information objects exist.
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CPictavo::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    *guid = GUID_NULL;
    // No outgoing interface: the page hears from the control only through its callback.
    (void)kind;
    return E_FAIL;
}
