#include "platform/com/Guid.h"

namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

// Positions of the 32 digits in "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", in order.
constexpr bool isDash(int i)
{
    return i == 9 || i == 14 || i == 19 || i == 24;
}

bool parseGuid(LPCOLESTR text, GUID* out)
{
    if (!text || text[0] != u'{')
        return false;
    BYTE digits[32];
    int n = 0;
    for (int i = 1; i < 37; ++i) {
        if (isDash(i)) {
            if (text[i] != u'-')
                return false;
            continue;
        }
        int v = pictavo::platform::hexDigitValue(text[i]);
        if (v < 0)
            return false;
        digits[n++] = static_cast<BYTE>(v);
    }
    if (text[37] != u'}' || text[38] != 0)
        return false;
    auto field = [&](int first, int count) {
        unsigned long long v = 0;
        for (int i = 0; i < count; ++i)
            v = v * 16 + digits[first + i];
        return v;
    };
    out->Data1 = static_cast<DWORD>(field(0, 8));
    out->Data2 = static_cast<WORD>(field(8, 4));
    out->Data3 = static_cast<WORD>(field(12, 4));
    for (int i = 0; i < 8; ++i)
        out->Data4[i] = static_cast<BYTE>(field(16 + 2 * i, 2));
    return true;
}

} // namespace

int StringFromGUID2(REFGUID guid, LPOLESTR out, int cchMax)
{
    if (!out || cchMax < 39)
        return 0;
    int pos = 0;
    auto put = [&](unsigned long long v, int digits) {
        for (int i = digits - 1; i >= 0; --i)
            out[pos++] = kHex[(v >> (4 * i)) & 0xF];
    };
    out[pos++] = u'{';
    put(guid.Data1, 8);
    out[pos++] = u'-';
    put(guid.Data2, 4);
    out[pos++] = u'-';
    put(guid.Data3, 4);
    out[pos++] = u'-';
    put(guid.Data4[0], 2);
    put(guid.Data4[1], 2);
    out[pos++] = u'-';
    for (int i = 2; i < 8; ++i)
        put(guid.Data4[i], 2);
    out[pos++] = u'}';
    out[pos++] = 0;
    return pos;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid)
{
    if (!clsid)
        return E_INVALIDARG;
    if (!parseGuid(text, clsid)) {
        *clsid = CLSID_NULL;
        return CO_E_CLASSSTRING;
    }
    return S_OK;
}

HRESULT IIDFromString(LPCOLESTR text, IID* iid)
{
    if (!iid)
        return E_INVALIDARG;
    if (!parseGuid(text, iid)) {
        *iid = IID_NULL;
        return E_INVALIDARG;
    }
    return S_OK;
}
