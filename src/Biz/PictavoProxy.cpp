#include "Biz/PictavoProxy.h"

#include <mutex>
#include <new>

#include "platform/com/DispatchCall.h"
#include "platform/com/GlobalInterfaceTable.h"

namespace {

VARIANT make(VARTYPE type)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    return v;
}

// The VARIANTs borrow their values: nothing to clear after the call.
template <VARTYPE Type, auto Field, class T> VARIANT borrowed(T value)
{
    VARIANT v = make(Type);
    v.*Field = value;
    return v;
}
constexpr auto boolean = &borrowed<VT_BOOL, &VARIANT::boolVal, VARIANT_BOOL>;
constexpr auto text = &borrowed<VT_BSTR, &VARIANT::bstrVal, BSTR>;
constexpr auto unsignedShort = &borrowed<VT_UI2, &VARIANT::uiVal, USHORT>;
constexpr auto integer = &borrowed<VT_I4, &VARIANT::lVal, LONG>;
constexpr auto object = &borrowed<VT_DISPATCH, &VARIANT::pdispVal, IDispatch*>;

} // namespace

void PictavoProxy::Register()
{
    static std::once_flag once;
    std::call_once(once, [] {
        pictavo::platform::GlobalInterfaceTable::registerProxyFactory(
            IID_IPictavo, [](IDispatch* marshalled, REFIID riid, void** proxy) -> HRESULT {
                PictavoProxy* made = new (std::nothrow) PictavoProxy(marshalled);
                if (!made)
                    return E_OUTOFMEMORY;
                const HRESULT hr = made->QueryInterface(riid, proxy);
                made->Release();
                return hr;
            });
    });
}

PictavoProxy::PictavoProxy(IDispatch* marshalled) : m_target(marshalled) {}

HRESULT PictavoProxy::GetTypeInfoCount(UINT* count)
{
    return m_target->GetTypeInfoCount(count);
}

HRESULT PictavoProxy::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    return m_target->GetTypeInfo(index, lcid, info);
}

HRESULT PictavoProxy::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    return m_target->GetIDsOfNames(riid, names, count, lcid, ids);
}

HRESULT PictavoProxy::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr)
{
    return m_target->Invoke(id, riid, lcid, flags, params, result, excepInfo, argErr);
}

HRESULT PictavoProxy::put(DISPID id, VARIANT value)
{
    return pictavo::platform::invokeMember(m_target.Get(), id, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
}

HRESULT PictavoProxy::call(DISPID id, VARIANT* args, UINT count, VARIANT* result)
{
    return pictavo::platform::invokeMember(m_target.Get(), id, DISPATCH_METHOD, args, count, result);
}

HRESULT PictavoProxy::put_Object(IDispatch* value)
{
    return put(PictavoDispId::Object, object(value));
}
HRESULT PictavoProxy::put_Debug(VARIANT_BOOL value)
{
    return put(PictavoDispId::Debug, boolean(value));
}
HRESULT PictavoProxy::put_LogFile(BSTR value)
{
    return put(PictavoDispId::LogFile, text(value));
}
HRESULT PictavoProxy::put_PostUrl(BSTR value)
{
    return put(PictavoDispId::PostUrl, text(value));
}
HRESULT PictavoProxy::put_Watermark(VARIANT_BOOL value)
{
    return put(PictavoDispId::Watermark, boolean(value));
}
HRESULT PictavoProxy::put_ThumbnailWidth(USHORT value)
{
    return put(PictavoDispId::ThumbnailWidth, unsignedShort(value));
}
HRESULT PictavoProxy::put_ThumbnailHeight(USHORT value)
{
    return put(PictavoDispId::ThumbnailHeight, unsignedShort(value));
}
HRESULT PictavoProxy::put_ViewWidth(USHORT value)
{
    return put(PictavoDispId::ViewWidth, unsignedShort(value));
}
HRESULT PictavoProxy::put_ViewHeight(USHORT value)
{
    return put(PictavoDispId::ViewHeight, unsignedShort(value));
}
HRESULT PictavoProxy::put_ImgSizeLimit(LONG value)
{
    return put(PictavoDispId::ImgSizeLimit, integer(value));
}
HRESULT PictavoProxy::put_ImgCountLimit(LONG value)
{
    return put(PictavoDispId::ImgCountLimit, integer(value));
}
HRESULT PictavoProxy::put_CompressSizeLimit(LONG value)
{
    return put(PictavoDispId::CompressSizeLimit, integer(value));
}
HRESULT PictavoProxy::put_FileFieldName(BSTR value)
{
    return put(PictavoDispId::FileFieldName, text(value));
}
HRESULT PictavoProxy::put_EncodeType(BSTR value)
{
    return put(PictavoDispId::EncodeType, text(value));
}
HRESULT PictavoProxy::put_UploadFormat(BSTR value)
{
    return put(PictavoDispId::UploadFormat, text(value));
}
HRESULT PictavoProxy::put_JpegQuality(USHORT value)
{
    return put(PictavoDispId::JpegQuality, unsignedShort(value));
}
HRESULT PictavoProxy::put_DefaultFolder(BSTR value)
{
    return put(PictavoDispId::DefaultFolder, text(value));
}
HRESULT PictavoProxy::put_AfterImagesPosted(IDispatch* value)
{
    return put(PictavoDispId::AfterImagesPosted, object(value));
}
HRESULT PictavoProxy::OnImagesPosted()
{
    return call(PictavoDispId::OnImagesPosted, nullptr, 0, nullptr);
}

HRESULT PictavoProxy::GetPostedFiles(VARIANT* files)
{
    if (!files)
        return S_OK;
    VariantClear(files);
    return call(PictavoDispId::GetPostedFiles, nullptr, 0, files);
}

HRESULT PictavoProxy::AddField(BSTR fieldName, BSTR fieldValue)
{
    VARIANT args[] = {text(fieldName), text(fieldValue)};
    return call(PictavoDispId::AddField, args, 2, nullptr);
}

HRESULT PictavoProxy::ClearFields()
{
    return call(PictavoDispId::ClearFields, nullptr, 0, nullptr);
}

HRESULT PictavoProxy::GetCount(LONG* val)
{
    if (!val)
        return E_POINTER;
    VARIANT result = make(VT_EMPTY);
    const HRESULT hr = call(PictavoDispId::GetCount, nullptr, 0, &result);
    *val = SUCCEEDED(hr) && result.vt == VT_I4 ? result.lVal : 0;
    VariantClear(&result);
    return hr;
}

HRESULT PictavoProxy::Clear()
{
    return call(PictavoDispId::Clear, nullptr, 0, nullptr);
}
