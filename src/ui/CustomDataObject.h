#pragma once

#include "platform/com/RefCounted.h"
#include "platform/ole/Ole2.h"

#include <string>

// Data of an in-process drag: one format, one medium it owns.
class CustomDataObject : public pictavo::platform::RefCounted<IDataObject>
{
public:
    CustomDataObject();
    CustomDataObject(const CustomDataObject&) = delete;
    CustomDataObject& operator=(const CustomDataObject&) = delete;

    // Offers a 4-byte block holding id under the registered format of that name.
    void SetIdData(int id, const std::u16string& formatName);

    HRESULT GetData(FORMATETC* requested, STGMEDIUM* out) override;
    HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT QueryGetData(FORMATETC* requested) override;
    HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT SetData(FORMATETC* offered, STGMEDIUM* given, BOOL release) override;
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    HRESULT DUnadvise(DWORD connection) override;
    HRESULT EnumDAdvise(IEnumSTATDATA** advises) override;

protected:
    ~CustomDataObject() override;

private:
    bool matches(const FORMATETC& other) const;

    STGMEDIUM medium{};
    FORMATETC format{};
};
