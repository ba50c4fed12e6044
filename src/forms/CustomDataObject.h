#pragma once

#include "platform/ole/Ole2.h"

#include <atomic>
#include <string>

// Data of an in-process drag: one format, one medium it owns.
class CustomDataObject : public IDataObject
{
public:
    CustomDataObject();
    CustomDataObject(const CustomDataObject&) = delete;
    CustomDataObject& operator=(const CustomDataObject&) = delete;

    // Offers a 4-byte block holding id under the registered format of that name.
    void SetIdData(int id, const std::u16string& formatName);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT QueryGetData(FORMATETC* format) override;
    HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    HRESULT DUnadvise(DWORD connection) override;
    HRESULT EnumDAdvise(IEnumSTATDATA** advises) override;

protected:
    virtual ~CustomDataObject();

private:
    bool matches(const FORMATETC& format) const;

    std::atomic<ULONG> refs_{1};
    STGMEDIUM medium_{};
    FORMATETC format_{};
};
