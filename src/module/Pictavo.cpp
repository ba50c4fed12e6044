#include "module/Pictavo.h"

#include <new>

#include "Biz/AppState.h"
#include "Biz/ConfigMgr.h"
#include "Biz/DiagnosticLog.h"
#include "Biz/PictavoProxy.h"
#include "module/Module.h"
#include "module/PictavoTypeLib.h"
#include "platform/com/Apartment.h"
#include "platform/com/HResult.h"

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
}

CPictavo::~CPictavo()
{
    Module::Unlock();
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
    // Emptying the list under a running upload would pull the picture being sent away from it.
    if (AppState::Instance()->IsUploading())
        return E_ACCESSDENIED;
    if (m_uploadList)
        m_uploadList->Clear();
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
