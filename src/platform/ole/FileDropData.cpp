#include "platform/com/RefCounted.h"
#include "platform/ole/Ole2.h"

#include <cstring>

namespace pictavo::platform {

namespace {

// What a file manager's drag offers: the dropped files as one CF_HDROP list in global memory.
class FileDropData final : public RefCounted<IDataObject>
{
public:
    FileDropData(const std::vector<std::u16string>& paths, POINT point) : block_(makeDropFiles(paths, point)) {}
    ~FileDropData() override { GlobalFree(block_); }

    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!medium)
            return E_INVALIDARG;
        HRESULT hr = QueryGetData(format);
        if (hr != S_OK)
            return hr;
        // The caller owns and releases its own copy.
        const SIZE_T size = GlobalSize(block_);
        HGLOBAL copy = GlobalAlloc(GMEM_FIXED, size);
        const void* source = GlobalLock(block_);
        if (!copy || !source) {
            GlobalUnlock(block_);
            GlobalFree(copy);
            return E_OUTOFMEMORY;
        }
        std::memcpy(copy, source, size);
        GlobalUnlock(block_);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(FORMATETC* format) override
    {
        if (!format)
            return E_INVALIDARG;
        if (format->cfFormat != CF_HDROP || format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL))
            return DV_E_TYMED;
        return block_ ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        if (out)
            out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    HGLOBAL block_;
};

} // namespace

IDataObject* createFileDropData(const std::vector<std::u16string>& paths, POINT point)
{
    return makeCom<FileDropData>(paths, point).Detach();
}

} // namespace pictavo::platform
