#include "ui/CustomDataObject.h"

#include "ui/DragFormatRegistry.h"

#include <cstring>

CustomDataObject::CustomDataObject()
{
    medium_.tymed = TYMED_NULL;
}

CustomDataObject::~CustomDataObject()
{
    ReleaseStgMedium(&medium_);
}

void CustomDataObject::SetIdData(int id, const std::u16string& formatName)
{
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, sizeof(int32_t));
    if (!block)
        return;
    const int32_t value = id;
    std::memcpy(block, &value, sizeof value);
    FORMATETC format = DragFormatRegistry::Instance().GetFormat(formatName);
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    medium.pUnkForRelease = nullptr;
    SetData(&format, &medium, TRUE);
}

bool CustomDataObject::matches(const FORMATETC& format) const
{
    return (format.tymed & format_.tymed) != 0 && format.cfFormat == format_.cfFormat &&
           format.dwAspect == format_.dwAspect;
}

HRESULT CustomDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_INVALIDARG;
    if (!matches(*format) || medium_.tymed != TYMED_HGLOBAL)
        return DV_E_FORMATETC;
    // The caller owns the copy it gets.
    const SIZE_T size = GlobalSize(medium_.hGlobal);
    const void* source = GlobalLock(medium_.hGlobal);
    HGLOBAL copy = source ? GlobalAlloc(GMEM_FIXED, size) : nullptr;
    if (!copy) {
        GlobalUnlock(medium_.hGlobal);
        return E_OUTOFMEMORY;
    }
    std::memcpy(copy, source, size);
    GlobalUnlock(medium_.hGlobal);
    medium->tymed = medium_.tymed;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT CustomDataObject::QueryGetData(FORMATETC* format)
{
    return format && matches(*format) ? S_OK : DV_E_FORMATETC;
}

HRESULT CustomDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL)
{
    if (!format || !medium)
        return E_INVALIDARG;
    // A second SetData replaces the first; the old medium is ours to free.
    ReleaseStgMedium(&medium_);
    format_ = *format;
    medium_ = *medium;
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
