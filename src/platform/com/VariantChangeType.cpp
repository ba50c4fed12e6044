// OLE-automation coercion between VARIANT types, in the invariant locale.

#include "platform/com/Dispatch.h"

#include <charconv>
#include <cmath>
#include <cfloat>
#include <cstring>
#include <limits>
#include <string>

namespace {

// A numeric value on its way between types; integers stay exact.
struct Number
{
    enum Kind
    {
        Signed,
        Unsigned,
        Real
    } kind = Signed;
    long long i = 0;
    unsigned long long u = 0;
    double d = 0;
};

Number fromSigned(long long v)
{
    return {Number::Signed, v, 0, 0};
}
Number fromUnsigned(unsigned long long v)
{
    return {Number::Unsigned, 0, v, 0};
}
Number fromReal(double v)
{
    return {Number::Real, 0, 0, v};
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x3000;
}

char16_t lower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

// Text of a BSTR without leading and trailing blanks.
std::u16string_view trimmed(BSTR s)
{
    std::u16string_view text(s ? s : u"", SysStringLen(s));
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsAsciiNoCase(std::u16string_view text, const char* word)
{
    size_t n = std::strlen(word);
    if (text.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (lower(text[i]) != static_cast<char16_t>(word[i]))
            return false;
    return true;
}

// Decimal numbers: sign, digits with optional "," group separators, fraction, exponent.
HRESULT parseNumber(BSTR s, Number* out)
{
    std::u16string_view text = trimmed(s);
    std::string ascii;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    bool integral = true;
    size_t intDigits = 0, fracDigits = 0;
    while (i < text.size()) {
        char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            ascii += static_cast<char>(c);
            ++intDigits;
        } else if (c == u',' && intDigits > 0 && i + 1 < text.size() && text[i + 1] >= u'0' &&
                   text[i + 1] <= u'9') {
            // group separator: skipped
        } else {
            break;
        }
        ++i;
    }
    if (i < text.size() && text[i] == u'.') {
        integral = false;
        ascii += '.';
        ++i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
            ascii += static_cast<char>(text[i++]);
            ++fracDigits;
        }
    }
    if (intDigits + fracDigits == 0)
        return DISP_E_TYPEMISMATCH;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        integral = false;
        ascii += 'e';
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            ascii += static_cast<char>(text[i++]);
        size_t expDigits = 0;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && expDigits < 12) {
            ascii += static_cast<char>(text[i++]);
            ++expDigits;
        }
        if (expDigits == 0)
            return DISP_E_TYPEMISMATCH;
    }
    if (i != text.size())
        return DISP_E_TYPEMISMATCH;

    if (integral) {
        unsigned long long magnitude;
        auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), magnitude);
        if (ec == std::errc()) {
            if (!negative)
                *out = fromUnsigned(magnitude);
            else if (magnitude <= 9223372036854775808ull)
                *out = fromSigned(static_cast<long long>(0 - magnitude));
            else
                *out = fromReal(-static_cast<double>(magnitude));
            return S_OK;
        }
    }
    double value;
    auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to represent is zero; too large is an overflow.
        size_t e = ascii.find('e');
        bool negativeExponent = e != std::string::npos && ascii[e + 1] == '-';
        if (!negativeExponent)
            return DISP_E_OVERFLOW;
        value = 0;
    } else if (ec != std::errc()) {
        return DISP_E_TYPEMISMATCH;
    }
    *out = fromReal(negative ? -value : value);
    return S_OK;
}

// Reads any scalar numeric-like source; bools are -1/0.
HRESULT toNumber(const VARIANT& v, Number* out)
{
    switch (v.vt) {
    case VT_EMPTY:
        *out = fromSigned(0);
        return S_OK;
    case VT_I1:
        *out = fromSigned(v.cVal);
        return S_OK;
    case VT_UI1:
        *out = fromUnsigned(v.bVal);
        return S_OK;
    case VT_I2:
        *out = fromSigned(v.iVal);
        return S_OK;
    case VT_UI2:
        *out = fromUnsigned(v.uiVal);
        return S_OK;
    case VT_I4:
    case VT_INT:
        *out = fromSigned(v.lVal);
        return S_OK;
    case VT_UI4:
    case VT_UINT:
        *out = fromUnsigned(v.ulVal);
        return S_OK;
    case VT_I8:
        *out = fromSigned(v.llVal);
        return S_OK;
    case VT_UI8:
        *out = fromUnsigned(v.ullVal);
        return S_OK;
    case VT_R4:
        *out = fromReal(v.fltVal);
        return S_OK;
    case VT_R8:
    case VT_DATE:
        *out = fromReal(v.dblVal);
        return S_OK;
    case VT_CY:
        if (v.cyVal.int64 % 10000 == 0)
            *out = fromSigned(v.cyVal.int64 / 10000);
        else
            *out = fromReal(static_cast<double>(v.cyVal.int64) / 10000.0);
        return S_OK;
    case VT_BOOL:
        *out = fromSigned(v.boolVal ? -1 : 0);
        return S_OK;
    case VT_BSTR:
        return parseNumber(v.bstrVal, out);
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

bool isZero(const Number& n)
{
    switch (n.kind) {
    case Number::Signed:
        return n.i == 0;
    case Number::Unsigned:
        return n.u == 0;
    default:
        return n.d == 0;
    }
}

// Rounds half to even (the default rounding mode) and checks [min, max].
HRESULT toSignedRange(const Number& n, long long min, long long max, long long* out)
{
    long long v;
    switch (n.kind) {
    case Number::Signed:
        v = n.i;
        break;
    case Number::Unsigned:
        if (n.u > static_cast<unsigned long long>(max))
            return DISP_E_OVERFLOW;
        v = static_cast<long long>(n.u);
        break;
    default: {
        if (std::isnan(n.d))
            return DISP_E_OVERFLOW;
        double r = std::nearbyint(n.d);
        if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
            return DISP_E_OVERFLOW;
        v = static_cast<long long>(r);
    }
    }
    if (v < min || v > max)
        return DISP_E_OVERFLOW;
    *out = v;
    return S_OK;
}

HRESULT toUnsignedRange(const Number& n, unsigned long long max, unsigned long long* out)
{
    unsigned long long v;
    switch (n.kind) {
    case Number::Signed:
        if (n.i < 0)
            return DISP_E_OVERFLOW;
        v = static_cast<unsigned long long>(n.i);
        break;
    case Number::Unsigned:
        v = n.u;
        break;
    default: {
        if (std::isnan(n.d))
            return DISP_E_OVERFLOW;
        double r = std::nearbyint(n.d);
        if (!(r >= 0 && r < 18446744073709551616.0))
            return DISP_E_OVERFLOW;
        v = static_cast<unsigned long long>(r);
    }
    }
    if (v > max)
        return DISP_E_OVERFLOW;
    *out = v;
    return S_OK;
}

double toDouble(const Number& n)
{
    switch (n.kind) {
    case Number::Signed:
        return static_cast<double>(n.i);
    case Number::Unsigned:
        return static_cast<double>(n.u);
    default:
        return n.d;
    }
}

HRESULT allocText(const std::string& ascii, VARIANT* out)
{
    std::u16string text(ascii.begin(), ascii.end());
    out->vt = VT_BSTR;
    out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return out->bstrVal ? S_OK : E_OUTOFMEMORY;
}

std::string formatReal(double d, int digits)
{
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d < 0 ? "-Infinity" : "Infinity";
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, digits);
    std::string s(buf, ec == std::errc() ? end : buf);
    for (char& c : s)
        if (c == 'e')
            c = 'E';
    return s;
}

std::string formatCurrency(long long scaled)
{
    bool negative = scaled < 0;
    unsigned long long magnitude = negative ? 0 - static_cast<unsigned long long>(scaled) : scaled;
    std::string s = std::to_string(magnitude / 10000);
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    if (fraction) {
        char frac[8];
        std::snprintf(frac, sizeof frac, ".%04u", fraction);
        std::string f(frac);
        while (f.back() == '0')
            f.pop_back();
        s += f;
    }
    return negative ? "-" + s : s;
}

HRESULT toText(const VARIANT& v, USHORT flags, VARIANT* out)
{
    switch (v.vt) {
    case VT_EMPTY:
        return allocText("", out);
    case VT_BOOL:
        if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
            return allocText(v.boolVal ? "True" : "False", out);
        return allocText(v.boolVal ? "-1" : "0", out);
    case VT_R4:
        return allocText(formatReal(v.fltVal, 7), out);
    case VT_R8:
        return allocText(formatReal(v.dblVal, 15), out);
    case VT_CY:
        return allocText(formatCurrency(v.cyVal.int64), out);
    default: {
        Number n;
        if (v.vt == VT_DATE || FAILED(toNumber(v, &n)))
            return DISP_E_TYPEMISMATCH;
        return allocText(n.kind == Number::Signed ? std::to_string(n.i) : std::to_string(n.u), out);
    }
    }
}

HRESULT toBool(const VARIANT& v, VARIANT* out)
{
    if (v.vt == VT_BSTR) {
        std::u16string_view text = trimmed(v.bstrVal);
        if (equalsAsciiNoCase(text, "true") || equalsAsciiNoCase(text, "#true#")) {
            out->boolVal = VARIANT_TRUE;
            out->vt = VT_BOOL;
            return S_OK;
        }
        if (equalsAsciiNoCase(text, "false") || equalsAsciiNoCase(text, "#false#")) {
            out->boolVal = VARIANT_FALSE;
            out->vt = VT_BOOL;
            return S_OK;
        }
    }
    Number n;
    if (HRESULT hr = toNumber(v, &n); FAILED(hr))
        return hr;
    out->vt = VT_BOOL;
    out->boolVal = isZero(n) ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

HRESULT toNumeric(const VARIANT& v, VARTYPE vt, VARIANT* out)
{
    Number n;
    if (HRESULT hr = toNumber(v, &n); FAILED(hr))
        return hr;
    // A true bool is all bits set in an unsigned target, as Windows does it.
    bool allOnes = v.vt == VT_BOOL && v.boolVal != 0;
    long long s = 0;
    unsigned long long u = 0;
    HRESULT hr = S_OK;
    switch (vt) {
    case VT_I1:
        hr = toSignedRange(n, INT8_MIN, INT8_MAX, &s);
        out->cVal = static_cast<CHAR>(s);
        break;
    case VT_I2:
        hr = toSignedRange(n, INT16_MIN, INT16_MAX, &s);
        out->iVal = static_cast<SHORT>(s);
        break;
    case VT_I4:
    case VT_INT:
        hr = toSignedRange(n, INT32_MIN, INT32_MAX, &s);
        out->lVal = static_cast<LONG>(s);
        break;
    case VT_I8:
        hr = toSignedRange(n, INT64_MIN, INT64_MAX, &s);
        out->llVal = s;
        break;
    case VT_UI1:
        hr = allOnes ? (u = UINT8_MAX, S_OK) : toUnsignedRange(n, UINT8_MAX, &u);
        out->bVal = static_cast<BYTE>(u);
        break;
    case VT_UI2:
        hr = allOnes ? (u = UINT16_MAX, S_OK) : toUnsignedRange(n, UINT16_MAX, &u);
        out->uiVal = static_cast<USHORT>(u);
        break;
    case VT_UI4:
    case VT_UINT:
        hr = allOnes ? (u = UINT32_MAX, S_OK) : toUnsignedRange(n, UINT32_MAX, &u);
        out->ulVal = static_cast<ULONG>(u);
        break;
    case VT_UI8:
        hr = allOnes ? (u = UINT64_MAX, S_OK) : toUnsignedRange(n, UINT64_MAX, &u);
        out->ullVal = u;
        break;
    case VT_R4: {
        double d = toDouble(n);
        if (std::isfinite(d) && std::fabs(d) > FLT_MAX)
            return DISP_E_OVERFLOW;
        out->fltVal = static_cast<float>(d);
        break;
    }
    case VT_R8:
    case VT_DATE:
        out->dblVal = toDouble(n);
        break;
    case VT_CY: {
        if (n.kind != Number::Real) {
            hr = toSignedRange(n, INT64_MIN / 10000, INT64_MAX / 10000, &s);
            out->cyVal.int64 = s * 10000;
        } else {
            hr = toSignedRange(fromReal(n.d * 10000.0), INT64_MIN, INT64_MAX, &s);
            out->cyVal.int64 = s;
        }
        break;
    }
    default:
        return DISP_E_BADVARTYPE;
    }
    if (FAILED(hr))
        return hr;
    out->vt = vt;
    return S_OK;
}

HRESULT toInterface(const VARIANT& v, VARTYPE vt, VARIANT* out)
{
    if (v.vt == VT_EMPTY) {
        out->vt = vt;
        out->punkVal = nullptr;
        return S_OK;
    }
    if (v.vt != VT_UNKNOWN && v.vt != VT_DISPATCH)
        return DISP_E_TYPEMISMATCH;
    out->vt = vt;
    out->punkVal = nullptr;
    if (!v.punkVal)
        return S_OK;
    return v.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown,
                                     reinterpret_cast<void**>(&out->punkVal));
}

// The value of an object: its default property.
HRESULT valueOf(IDispatch* object, VARIANT* out)
{
    if (!object)
        return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out,
                                nullptr, nullptr);
    if (FAILED(hr)) {
        VariantClear(out);
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

bool isScalarTarget(VARTYPE vt)
{
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_BOOL:
    case VT_ERROR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return true;
    default:
        return false;
    }
}

// src holds a value (never a reference). out starts empty and stays empty on failure.
HRESULT coerce(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out, int depth)
{
    if (src.vt == vt)
        return VariantCopy(out, &src);
    if ((vt & VT_ARRAY) || (src.vt & VT_ARRAY))
        return DISP_E_TYPEMISMATCH;
    if (!isScalarTarget(vt))
        return DISP_E_BADVARTYPE;
    if (vt == VT_EMPTY)
        return S_OK;
    if (src.vt == VT_DISPATCH && vt != VT_UNKNOWN) {
        if ((flags & VARIANT_NOVALUEPROP) || depth > 0)
            return DISP_E_TYPEMISMATCH;
        VARIANT value;
        VariantInit(&value);
        if (HRESULT hr = valueOf(src.pdispVal, &value); FAILED(hr))
            return hr;
        HRESULT hr = coerce(value, flags, vt, out, depth + 1);
        VariantClear(&value);
        return hr;
    }
    if (src.vt == VT_NULL || vt == VT_NULL || src.vt == VT_ERROR || vt == VT_ERROR)
        return DISP_E_TYPEMISMATCH;
    switch (vt) {
    case VT_BSTR:
        return toText(src, flags, out);
    case VT_BOOL:
        return toBool(src, out);
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return toInterface(src, vt, out);
    case VT_DATE:
        if (src.vt == VT_BSTR)
            return DISP_E_TYPEMISMATCH; // dates are not parsed
        return toNumeric(src, vt, out);
    default:
        return toNumeric(src, vt, out);
    }
}

} // namespace

HRESULT VariantChangeTypeEx(VARIANTARG* dest, const VARIANTARG* src, LCID, USHORT flags, VARTYPE vt)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (vt & VT_BYREF)
        return DISP_E_BADVARTYPE;
    VARIANT value;
    VariantInit(&value);
    if (HRESULT hr = VariantCopyInd(&value, src); FAILED(hr))
        return hr;
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = coerce(value, flags, vt, &result, 0);
    VariantClear(&value);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    if (HRESULT cleared = VariantClear(dest); FAILED(cleared)) {
        VariantClear(&result);
        return cleared;
    }
    *dest = result;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, USHORT flags, VARTYPE vt)
{
    return VariantChangeTypeEx(dest, src, LOCALE_USER_DEFAULT, flags, vt);
}
