#include "ui/CustomDataObject.h"

#include "ui/DragFormatRegistry.h"

#include <cstring>

CustomDataObject::CustomDataObject()
{
    medium.tymed = TYMED_NULL;
}

CustomDataObject::~CustomDataObject()
{
    ReleaseStgMedium(&medium);
}

void CustomDataObject::SetIdData(int id, const std::u16string& formatName)
{
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, sizeof(int32_t));
    if (!block)
        return;
    const int32_t value = id;
    std::memcpy(block, &value, sizeof value);
    FORMATETC idFormat = DragFormatRegistry::Instance().GetFormat(formatName);
    STGMEDIUM idMedium{};
    idMedium.tymed = TYMED_HGLOBAL;
    idMedium.hGlobal = block;
    idMedium.pUnkForRelease = nullptr;
    SetData(&idFormat, &idMedium, TRUE);
}

bool CustomDataObject::matches(const FORMATETC& other) const
{
    return (other.tymed & format.tymed) != 0 && other.cfFormat == format.cfFormat &&
           other.dwAspect == format.dwAspect;
}

HRESULT CustomDataObject::GetData(FORMATETC* requested, STGMEDIUM* out)
{
    if (!requested || !out)
        return E_INVALIDARG;
    if (!matches(*requested) || medium.tymed != TYMED_HGLOBAL)
        return DV_E_FORMATETC;
    // The caller owns the copy it gets.
    const SIZE_T size = GlobalSize(medium.hGlobal);
    const void* source = GlobalLock(medium.hGlobal);
    HGLOBAL copy = source ? GlobalAlloc(GMEM_FIXED, size) : nullptr;
    if (!copy) {
        GlobalUnlock(medium.hGlobal);
        return E_OUTOFMEMORY;
    }
    std::memcpy(copy, source, size);
    GlobalUnlock(medium.hGlobal);
    out->tymed = medium.tymed;
    out->hGlobal = copy;
    out->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT CustomDataObject::QueryGetData(FORMATETC* requested)
{
    return requested && matches(*requested) ? S_OK : DV_E_FORMATETC;
}

HRESULT CustomDataObject::SetData(FORMATETC* offered, STGMEDIUM* given, BOOL)
{
    if (!offered || !given)
        return E_INVALIDARG;
    // A second SetData replaces the first; the old medium is ours to free.
    ReleaseStgMedium(&medium);
    format = *offered;
    medium = *given;
    return S_OK;
}

HRESULT CustomDataObject::GetDataHere(FORMATETC*, STGMEDIUM*)
{
    return E_NOTIMPL;
}

HRESULT CustomDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC*)
{
    return E_NOTIMPL;
}

HRESULT CustomDataObject::EnumFormatEtc(DWORD, IEnumFORMATETC**)
{
    return E_NOTIMPL;
}

HRESULT CustomDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*)
{
    return E_NOTIMPL;
}

HRESULT CustomDataObject::DUnadvise(DWORD)
{
    return E_NOTIMPL;
}

HRESULT CustomDataObject::EnumDAdvise(IEnumSTATDATA**)
{
    return E_NOTIMPL;
}
