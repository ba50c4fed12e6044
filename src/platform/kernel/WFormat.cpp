#include "platform/kernel/WFormat.h"

#include "platform/kernel/Strings.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace pictavo::platform {

namespace {

// Bounds what a format string may ask for; the C library would fail or allocate instead.
constexpr int kMaxField = 4096;

struct Conversion
{
    bool left = false, zero = false, plus = false, space = false, alt = false;
    int width = -1;
    int precision = -1;
};

std::string narrowFormat(const Conversion& s, const char* length, char conv)
{
    std::string f = "%";
    if (s.left)
        f += '-';
    if (s.zero)
        f += '0';
    if (s.plus)
        f += '+';
    if (s.space)
        f += ' ';
    if (s.alt)
        f += '#';
    if (s.width >= 0)
        f += std::to_string(s.width);
    if (s.precision >= 0)
        f += '.' + std::to_string(s.precision);
    f += length;
    f += conv;
    return f;
}

template <class T> std::u16string cformat(const std::string& f, T value)
{
    char buf[kMaxField * 2 + 400];
    int n = std::snprintf(buf, sizeof buf, f.c_str(), value);
    if (n < 0)
        return {};
    n = std::min<int>(n, sizeof buf - 1);
    return std::u16string(buf, buf + n);
}

// Integers are read as the C library reads a promoted argument: at least int's width, so
// -1 under %u is 4294967295 and a DWORD of 0xFFFFFFFF under %d is -1. %c uses the own width.
int promotedBits(const FormatArg& a, int minBits)
{
    return std::max(a.bits, minBits);
}

unsigned long long asUnsigned(const FormatArg& a, int minBits = 32)
{
    if (a.kind == FormatArg::Kind::Unsigned)
        return a.u;
    if (a.kind == FormatArg::Kind::Signed) {
        auto v = static_cast<unsigned long long>(a.i);
        const int bits = promotedBits(a, minBits);
        return bits >= 64 ? v : v & ((1ull << bits) - 1);
    }
    if (a.kind == FormatArg::Kind::Double)
        return a.d >= 0 && a.d < 1.8e19 ? static_cast<unsigned long long>(a.d) : 0;
    if (a.kind == FormatArg::Kind::Pointer)
        return reinterpret_cast<uintptr_t>(a.ptr);
    return 0;
}

long long asSigned(const FormatArg& a)
{
    if (a.kind == FormatArg::Kind::Signed)
        return a.i;
    if (a.kind == FormatArg::Kind::Unsigned) {
        if (a.bits == 32)
            return static_cast<int32_t>(static_cast<uint32_t>(a.u));
        return static_cast<long long>(a.u);
    }
    if (a.kind == FormatArg::Kind::Double)
        return a.d > -9.2e18 && a.d < 9.2e18 ? static_cast<long long>(a.d) : 0;
    if (a.kind == FormatArg::Kind::Pointer)
        return static_cast<long long>(reinterpret_cast<uintptr_t>(a.ptr));
    return 0;
}

double asDouble(const FormatArg& a)
{
    if (a.kind == FormatArg::Kind::Double)
        return a.d;
    if (a.kind == FormatArg::Kind::Signed)
        return static_cast<double>(a.i);
    if (a.kind == FormatArg::Kind::Unsigned)
        return static_cast<double>(a.u);
    return 0;
}

std::u16string asText(const FormatArg& a)
{
    switch (a.kind) {
    case FormatArg::Kind::Wide:
        return std::u16string(a.wide);
    case FormatArg::Kind::Narrow:
        return fromUtf8(a.narrow);
    case FormatArg::Kind::Signed:
        return cformat("%lld", static_cast<long long>(a.i));
    case FormatArg::Kind::Unsigned:
        return cformat("%llu", static_cast<unsigned long long>(a.u));
    case FormatArg::Kind::Double:
        return cformat("%f", a.d);
    case FormatArg::Kind::Pointer:
        return cformat("%p", a.ptr);
    }
    return {};
}

void pad(std::u16string& out, std::u16string body, const Conversion& s)
{
    if (s.width > 0 && body.size() < static_cast<size_t>(s.width)) {
        std::u16string fill(s.width - body.size(), u' ');
        body = s.left ? body + fill : fill + body;
    }
    out += body;
}

} // namespace

std::u16string wformatArgs(std::u16string_view fmt, std::span<const FormatArg> args)
{
    std::u16string out;
    size_t next = 0;
    static const FormatArg kMissing{std::u16string_view()}; // 0 as a number, nothing as text
    auto take = [&]() -> const FormatArg& { return next < args.size() ? args[next++] : kMissing; };

    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != u'%') {
            out.push_back(fmt[i]);
            continue;
        }
        const size_t start = i++;
        Conversion s;
        for (; i < fmt.size(); ++i) {
            char16_t c = fmt[i];
            if (c == u'-')
                s.left = true;
            else if (c == u'0')
                s.zero = true;
            else if (c == u'+')
                s.plus = true;
            else if (c == u' ')
                s.space = true;
            else if (c == u'#')
                s.alt = true;
            else
                break;
        }
        auto number = [&](int& field) {
            if (i < fmt.size() && fmt[i] == u'*') {
                long long v = asSigned(take());
                if (v < 0 && &field == &s.width) {
                    s.left = true;
                    v = -v;
                }
                field = v < 0 ? -1 : static_cast<int>(std::min<long long>(v, kMaxField));
                ++i;
                return;
            }
            bool any = false;
            long long v = 0;
            for (; i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9'; ++i) {
                v = std::min<long long>(v * 10 + (fmt[i] - u'0'), kMaxField);
                any = true;
            }
            if (any)
                field = static_cast<int>(v);
        };
        number(s.width);
        if (i < fmt.size() && fmt[i] == u'.') {
            ++i;
            s.precision = 0;
            number(s.precision);
        }
        // Length modifiers say nothing here: the argument carries its own type.
        while (i < fmt.size() && (fmt[i] == u'h' || fmt[i] == u'l' || fmt[i] == u'L' || fmt[i] == u'q' ||
                                  fmt[i] == u'j' || fmt[i] == u'z' || fmt[i] == u't'))
            ++i;
        if (i + 2 < fmt.size() && fmt[i] == u'I' && fmt[i + 1] == u'6' && fmt[i + 2] == u'4')
            i += 3;
        if (i >= fmt.size()) {
            out.append(fmt.substr(start)); // a dangling '%' stays as written
            break;
        }
        const char16_t conv = fmt[i];
        switch (conv) {
        case u'%':
            out.push_back(u'%');
            break;
        case u'd':
        case u'i':
            out += cformat(narrowFormat(s, "ll", 'd'), asSigned(take()));
            break;
        case u'u':
        case u'x':
        case u'X':
        case u'o':
            out += cformat(narrowFormat(s, "ll", static_cast<char>(conv)), asUnsigned(take()));
            break;
        case u'f':
        case u'F':
        case u'e':
        case u'E':
        case u'g':
        case u'G':
        case u'a':
        case u'A':
            out += cformat(narrowFormat(s, "", static_cast<char>(conv)), asDouble(take()));
            break;
        case u'p': {
            const FormatArg& a = take();
            out += cformat(narrowFormat(s, "", 'p'), a.kind == FormatArg::Kind::Pointer
                                                         ? a.ptr
                                                         : reinterpret_cast<const void*>(asUnsigned(a)));
            break;
        }
        case u'c':
        case u'C': {
            const FormatArg& a = take();
            std::u16string body;
            if (a.kind == FormatArg::Kind::Wide || a.kind == FormatArg::Kind::Narrow) {
                std::u16string t = asText(a);
                if (!t.empty())
                    body = t.substr(0, 1);
            } else {
                unsigned long long cp = asUnsigned(a, 0);
                if (cp > 0x10FFFF)
                    cp = 0xFFFD;
                if (cp >= 0x10000) {
                    cp -= 0x10000;
                    body.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
                    body.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
                } else {
                    body.push_back(static_cast<char16_t>(cp));
                }
            }
            pad(out, std::move(body), s);
            break;
        }
        case u's':
        case u'S': {
            std::u16string body = asText(take());
            if (s.precision >= 0 && body.size() > static_cast<size_t>(s.precision))
                body.resize(s.precision);
            pad(out, std::move(body), s);
            break;
        }
        default:
            out.append(fmt.substr(start, i - start + 1)); // unknown conversion: copied verbatim
            break;
        }
    }
    return out;
}

} // namespace pictavo::platform
