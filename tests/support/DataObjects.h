#pragma once

#include "platform/com/RefCounted.h"
#include "platform/ole/Ole2.h"

#include <string>
#include <vector>

namespace pictavo::test {

// A data object that offers nothing; tests override what they offer.
class DataObjectStub : public pictavo::platform::RefCounted<IDataObject>
{
public:
    HRESULT GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};

// The paths of the file list a data object offers (empty when it offers none).
inline std::vector<std::u16string> droppedPaths(IDataObject* data)
{
    std::vector<std::u16string> paths;
    FORMATETC f{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m{};
    if (data->GetData(&f, &m) != S_OK)
        return paths;
    auto drop = static_cast<HDROP>(GlobalLock(m.hGlobal));
    for (UINT i = 0, n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); i < n; ++i) {
        std::u16string path(DragQueryFileW(drop, i, nullptr, 0), u'\0');
        DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
        paths.push_back(path);
    }
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);
    return paths;
}

} // namespace pictavo::test
