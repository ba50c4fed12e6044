#pragma once

#include "Biz/IPictavo.h"
#include "platform/com/ComPtr.h"
#include "platform/com/RefCounted.h"

// IPictavo for another thread: every member goes through the control's IDispatch, which the
// global interface table has already bound to the control's thread. The upload worker calls
// OnImagesPosted through it so that the page's function runs on the page's thread.
class PictavoProxy final : public pictavo::platform::RefCounted<IPictavo>
{
public:
    // Teaches the global interface table to hand out IPictavo; safe to call more than once.
    static void Register();

    explicit PictavoProxy(IDispatch* marshalled);

    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepInfo, UINT* argErr) override;

    HRESULT put_Object(IDispatch* value) override;
    HRESULT put_Debug(VARIANT_BOOL value) override;
    HRESULT put_LogFile(BSTR value) override;
    HRESULT put_PostUrl(BSTR value) override;
    HRESULT put_Watermark(VARIANT_BOOL value) override;
    HRESULT put_ThumbnailWidth(USHORT value) override;
    HRESULT put_ThumbnailHeight(USHORT value) override;
    HRESULT put_ViewWidth(USHORT value) override;
    HRESULT put_ViewHeight(USHORT value) override;
    HRESULT put_ImgSizeLimit(LONG value) override;
    HRESULT put_ImgCountLimit(LONG value) override;
    HRESULT put_CompressSizeLimit(LONG value) override;
    HRESULT put_FileFieldName(BSTR value) override;
    HRESULT put_EncodeType(BSTR value) override;
    HRESULT put_UploadFormat(BSTR value) override;
    HRESULT put_JpegQuality(USHORT value) override;
    HRESULT put_DefaultFolder(BSTR value) override;
    HRESULT put_AfterImagesPosted(IDispatch* value) override;
    HRESULT OnImagesPosted() override;
    HRESULT GetPostedFiles(VARIANT* files) override;
    HRESULT AddField(BSTR fieldName, BSTR fieldValue) override;
    HRESULT ClearFields() override;
    HRESULT GetCount(LONG* val) override;
    HRESULT Clear() override;

private:
    ~PictavoProxy() override = default;
    HRESULT put(DISPID id, VARIANT value);
    HRESULT call(DISPID id, VARIANT* args, UINT count, VARIANT* result);

    ComPtr<IDispatch> m_target;
};
