#pragma once

#include "module/PictavoTypeLib.h"
#include "platform/com/Dispatch.h"

// The page's dual interface: IDispatch's slots, then the members in DISPID order (1..12, 16..27).
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
