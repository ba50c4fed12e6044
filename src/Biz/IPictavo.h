#pragma once

#include "platform/com/Dispatch.h"
#include "platform/com/Guid.h"

inline constexpr IID IID_IPictavo = pictavo::platform::makeGuid("0C58D11A-7A83-4F45-9BDA-AA99BFE98F03");

// The members' dispatch ids; pages and the registered type library rely on them (13..15 unused).
namespace PictavoDispId {
enum : DISPID
{
    Object = 1,
    Debug = 2,
    LogFile = 3,
    PostUrl = 4,
    Watermark = 5,
    ThumbnailWidth = 6,
    ThumbnailHeight = 7,
    ViewWidth = 8,
    ViewHeight = 9,
    ImgSizeLimit = 10,
    ImgCountLimit = 11,
    CompressSizeLimit = 12,
    FileFieldName = 16,
    EncodeType = 17,
    UploadFormat = 18,
    JpegQuality = 19,
    DefaultFolder = 20,
    AfterImagesPosted = 21,
    OnImagesPosted = 22,
    GetPostedFiles = 23,
    AddField = 24,
    ClearFields = 25,
    GetCount = 26,
    Clear = 27,
};
} // namespace PictavoDispId

// The page's dual interface: IDispatch's slots, then the members in dispatch-id order.
struct IPictavo : public IDispatch
{
    virtual HRESULT put_Object(IDispatch* value) = 0;
    virtual HRESULT put_Debug(VARIANT_BOOL value) = 0;
    virtual HRESULT put_LogFile(BSTR value) = 0;
    virtual HRESULT put_PostUrl(BSTR value) = 0;
    virtual HRESULT put_Watermark(VARIANT_BOOL value) = 0;
    virtual HRESULT put_ThumbnailWidth(USHORT value) = 0;
    virtual HRESULT put_ThumbnailHeight(USHORT value) = 0;
    virtual HRESULT put_ViewWidth(USHORT value) = 0;
    virtual HRESULT put_ViewHeight(USHORT value) = 0;
    virtual HRESULT put_ImgSizeLimit(LONG value) = 0;
    virtual HRESULT put_ImgCountLimit(LONG value) = 0;
    virtual HRESULT put_CompressSizeLimit(LONG value) = 0;
    virtual HRESULT put_FileFieldName(BSTR value) = 0;
    virtual HRESULT put_EncodeType(BSTR value) = 0;
    virtual HRESULT put_UploadFormat(BSTR value) = 0;
    virtual HRESULT put_JpegQuality(USHORT value) = 0;
    virtual HRESULT put_DefaultFolder(BSTR value) = 0;
    virtual HRESULT put_AfterImagesPosted(IDispatch* value) = 0;
    virtual HRESULT OnImagesPosted() = 0;
    virtual HRESULT GetPostedFiles(VARIANT* files) = 0;
    virtual HRESULT AddField(BSTR fieldName, BSTR fieldValue) = 0;
    virtual HRESULT ClearFields() = 0;
    virtual HRESULT GetCount(LONG* val) = 0;
    virtual HRESULT Clear() = 0;

protected:
    ~IPictavo() = default;
};
PICTAVO_DECLARE_IID(IPictavo, IID_IPictavo)
