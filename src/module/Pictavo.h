#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/ControlInterfaces.h"
#include "Biz/IPictavo.h"
#include "Biz/IUploadList.h"
#include "platform/com/ComPtr.h"
#include "platform/com/DispatchImpl.h"
#include "platform/com/RefCounted.h"

// The control object: the page's scripting surface and the COM identity around it.
// The view, in-place, persistence, data-object and drop interfaces arrive with the window.
class CPictavo final
    : public pictavo::platform::RefCounted<IPictavo, ISupportErrorInfo, ISpecifyPropertyPages, IObjectSafety>
{
public:
    using FieldList = std::vector<std::pair<std::u16string, std::u16string>>;

    // Aggregation is not supported: a non-null outer fails with CLASS_E_NOAGGREGATION.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // IDispatch
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepInfo, UINT* argErr) override;

    // IPictavo
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

    // ISupportErrorInfo
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override;
    // ISpecifyPropertyPages
    HRESULT GetPages(CAUUID* pages) override;
    // IObjectSafety
    HRESULT GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    HRESULT SetInterfaceSafetyOptions(REFIID riid, DWORD optionSetMask, DWORD enabledOptions) override;

    // For the upload run, which reads these on its worker thread.
    std::u16string PostUrl() const;
    FieldList ExtraFields() const;
    void AppendPostedAnswer(const std::u16string& answer);
    // The list view attaches itself once the window exists; until then the list is empty.
    void SetUploadList(IUploadList* list);

private:
    CPictavo();
    ~CPictavo() override;

    HRESULT invokeMember(DISPID id, WORD kind, VARIANT* args, UINT count, VARIANT* result);

    pictavo::platform::DispatchImpl m_dispatch;
    std::atomic<DWORD> m_safetyEnabled{0}; // one value for every interface of the object
    bool m_debug = false;
    ComPtr<IDispatch> m_object;
    ComPtr<IDispatch> m_afterImagesPosted;
    IUploadList* m_uploadList = nullptr;

    mutable std::mutex m_lock; // guards what the upload worker reads: url, fields, answers
    std::u16string m_postUrl;
    std::map<std::u16string, std::u16string> m_fields;
    std::vector<std::u16string> m_postedAnswers;
};
