#include "ParamBag.h"


namespace pictavo::host {

namespace {

bool sameName(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] >= u'A' && a[i] <= u'Z' ? a[i] + 32 : a[i];
        char16_t y = b[i] >= u'A' && b[i] <= u'Z' ? b[i] + 32 : b[i];
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

const std::u16string* ParamBag::find(std::u16string_view name) const
{
    // A name given twice: the first one counts, as browsers read params.
    for (const auto& [key, value] : m_params)
        if (sameName(key, name))
            return &value;
    return nullptr;
}

HRESULT ParamBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*)
{
    if (!name || !value)
        return E_POINTER;
    const std::u16string* text = find(name);
    const VARTYPE wanted = value->vt;
    VariantInit(value);
    if (!text)
        return E_INVALIDARG;
    VARIANT stored;
    VariantInit(&stored);
    stored.vt = VT_BSTR;
    stored.bstrVal = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    if (!stored.bstrVal)
        return E_OUTOFMEMORY;
    if (wanted == VT_EMPTY || wanted == VT_BSTR) {
        *value = stored;
        return S_OK;
    }
    const HRESULT hr = VariantChangeType(value, &stored, 0, wanted);
    VariantClear(&stored);
    return hr;
}

HRESULT ParamBag::Write(LPCOLESTR name, VARIANT* value)
{
    if (!name || !value)
        return E_POINTER;
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = VariantChangeType(&text, value, 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    std::u16string converted(text.bstrVal, SysStringLen(text.bstrVal));
    VariantClear(&text);
    for (auto& [key, stored] : m_params)
        if (sameName(key, name)) {
            stored = converted;
            return S_OK;
        }
    m_params.emplace_back(name, converted);
    return S_OK;
}

} // namespace pictavo::host
