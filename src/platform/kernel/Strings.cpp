#include "platform/kernel/Strings.h"

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <map>
#include <mutex>

namespace pictavo::platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void appendCodePoint(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Length of the well-formed UTF-8 sequence at s[i], 0 when the byte there does not start one.
size_t decodeOne(std::string_view s, size_t i, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t len;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, min = 0x80, cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, min = 0x800, cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, min = 0x10000, cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

std::mutex g_acpMutex;
std::string g_acpOverride;

const char* utf16Name()
{
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

// iconv descriptors are not thread-safe: one cache per thread, keyed by direction and name.
class IconvCache
{
public:
    ~IconvCache()
    {
        for (auto& [key, cd] : m_open)
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
    }
    iconv_t get(const std::string& to, const std::string& from)
    {
        auto key = to + '\n' + from;
        auto it = m_open.find(key);
        if (it == m_open.end())
            it = m_open.emplace(key, iconv_open(to.c_str(), from.c_str())).first;
        else if (it->second != reinterpret_cast<iconv_t>(-1))
            iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }

private:
    std::map<std::string, iconv_t> m_open;
};

iconv_t converter(const std::string& to, const std::string& from)
{
    thread_local IconvCache cache;
    return cache.get(to, from);
}

} // namespace

std::u16string fromUtf8(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp;
        if (size_t n = decodeOne(utf8, i, cp)) {
            appendCodePoint(out, cp);
            i += n;
        } else {
            out.push_back(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(utf8[i])));
            ++i;
        }
    }
    return out;
}

std::string toUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size() * 3);
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out.push_back(static_cast<char>(c - 0xDC00));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::string localCodePageName()
{
    {
        std::lock_guard lock(g_acpMutex);
        if (!g_acpOverride.empty())
            return g_acpOverride;
    }
    const char* env = std::getenv("PICTAVO_ACP");
    return env && *env ? env : "CP936";
}

void setLocalCodePageForTesting(std::string name)
{
    std::lock_guard lock(g_acpMutex);
    g_acpOverride = std::move(name);
}

std::string toLocalCodePage(std::u16string_view text)
{
    return toLocalCodePage(text, '?', nullptr);
}

std::string toLocalCodePage(std::u16string_view text, char replacement, bool* substituted)
{
    if (substituted)
        *substituted = false;
    const std::string cp = localCodePageName();
    iconv_t cd = converter(cp, utf16Name());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return toUtf8(text); // an unknown code page name: UTF-8 is the least surprising fallback
    std::string out;
    char buf[256];
    size_t i = 0;
    while (i < text.size()) {
        // Convert one code point at a time so a failure costs exactly one '?'.
        size_t units = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            units = 2;
        char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data() + i));
        size_t inLeft = units * 2;
        char* o = buf;
        size_t oLeft = sizeof buf;
        if (iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1) || inLeft != 0) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            out.push_back(replacement);
            if (substituted)
                *substituted = true;
        } else {
            char* o2 = o;
            size_t left2 = oLeft;
            iconv(cd, nullptr, nullptr, &o2, &left2); // flush any shift state
            out.append(buf, o2);
        }
        i += units;
    }
    return out;
}

std::u16string fromLocalCodePage(std::string_view bytes)
{
    const std::string cp = localCodePageName();
    iconv_t cd = converter(utf16Name(), cp);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return fromUtf8(bytes);
    std::u16string out;
    out.reserve(bytes.size());
    char16_t buf[512];
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = reinterpret_cast<char*>(buf);
        size_t oLeft = sizeof buf;
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf, reinterpret_cast<char16_t*>(o) - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or a truncated sequence at the end: one replacement per bad byte.
            out.push_back(kReplacement);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

char16_t toLower(char16_t c)
{
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? c + 0x20 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F) || (c >= 0xFF21 && c <= 0xFF3A))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        // Latin Extended-A pairs capital/small as even/odd, except 0x139-0x148 and 0x179-0x17E.
        bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddCapital ? (c & 1) : !(c & 1))
            return c + 1;
    }
    return c;
}

std::u16string toLower(std::u16string_view text)
{
    std::u16string out(text);
    for (auto& c : out)
        c = toLower(c);
    return out;
}

bool equalsNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (toLower(a[i]) != toLower(b[i]))
            return false;
    return true;
}

} // namespace pictavo::platform

namespace {
thread_local DWORD t_lastError = 0;

bool decodeFor(UINT codePage, std::string_view in, std::u16string& out)
{
    if (codePage == CP_UTF8)
        out = pictavo::platform::fromUtf8(in);
    else if (codePage == CP_ACP)
        out = pictavo::platform::fromLocalCodePage(in);
    else
        return false;
    return true;
}

bool encodeFor(UINT codePage, std::u16string_view in, std::string& out, char replacement, bool* substituted)
{
    if (codePage == CP_UTF8)
        out = pictavo::platform::toUtf8(in);
    else if (codePage == CP_ACP)
        out = pictavo::platform::toLocalCodePage(in, replacement, substituted);
    else
        return false;
    return true;
}

template <class C> size_t inputLength(const C* s, int length)
{
    return length < 0 ? std::char_traits<C>::length(s) + 1 : static_cast<size_t>(length);
}

template <class S, class C> int deliver(const S& result, C* out, int outSize)
{
    if (result.size() > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (outSize == 0)
        return static_cast<int>(result.size());
    if (result.size() > static_cast<size_t>(outSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(result.begin(), result.end(), out);
    return static_cast<int>(result.size());
}
} // namespace

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD error)
{
    t_lastError = error;
}

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR mb, int mbLength, LPWSTR wide, int wideSize)
{
    if (!mb || mbLength == 0 || mbLength < -1 || wideSize < 0 || (wideSize > 0 && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string result;
    if (!decodeFor(codePage, std::string_view(mb, inputLength(mb, mbLength)), result)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return deliver(result, wide, wideSize);
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideLength, LPSTR mb, int mbSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar)
{
    if (!wide || wideLength == 0 || wideLength < -1 || mbSize < 0 || (mbSize > 0 && !mb)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string_view in(wide, inputLength(wide, wideLength));
    if (codePage == CP_UTF8 && (defaultChar || usedDefaultChar)) {
        SetLastError(ERROR_INVALID_PARAMETER); // as Windows: UTF-8 has no default character
        return 0;
    }
    std::string result;
    bool substituted = false;
    if (!encodeFor(codePage, in, result, defaultChar && *defaultChar ? *defaultChar : '?', &substituted)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (usedDefaultChar)
        *usedDefaultChar = substituted ? TRUE : FALSE;
    return deliver(result, mb, mbSize);
}
