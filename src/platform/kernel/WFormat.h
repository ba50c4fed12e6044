#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace pictavo::platform {

// One argument of wformat, captured with its own type so a mismatched conversion is defined.
struct FormatArg
{
    enum class Kind
    {
        Signed,
        Unsigned,
        Double,
        Wide,
        Narrow,
        Pointer
    };
    Kind kind = Kind::Signed;
    int bits = 32; // width of an integer argument, for %u/%x of a negative value
    int64_t i = 0;
    uint64_t u = 0;
    double d = 0;
    std::u16string_view wide;
    std::string_view narrow;
    const void* ptr = nullptr;

    template <class T>
    requires std::is_integral_v<T> FormatArg(T v) : bits(sizeof(T) * 8)
    {
        if constexpr (std::is_same_v<T, bool>) {
            kind = Kind::Signed, i = v;
        } else if constexpr (std::is_same_v<T, char16_t> || std::is_same_v<T, char32_t> ||
                             std::is_same_v<T, wchar_t>) {
            kind = Kind::Unsigned, u = static_cast<uint64_t>(v);
        } else if constexpr (std::is_signed_v<T>) {
            kind = Kind::Signed, i = v;
        } else {
            kind = Kind::Unsigned, u = v;
        }
    }
    template <class T>
    requires std::is_enum_v<T> FormatArg(T v) : FormatArg(static_cast<std::underlying_type_t<T>>(v)) {}
    FormatArg(double v) : kind(Kind::Double), d(v) {}
    FormatArg(float v) : kind(Kind::Double), d(v) {}
    FormatArg(const std::u16string& s) : kind(Kind::Wide), wide(s) {}
    FormatArg(std::u16string_view s) : kind(Kind::Wide), wide(s) {}
    FormatArg(const char16_t* s) : kind(Kind::Wide), wide(s ? std::u16string_view(s) : u"(null)") {}
    FormatArg(char16_t* s) : FormatArg(static_cast<const char16_t*>(s)) {}
    FormatArg(const std::string& s) : kind(Kind::Narrow), narrow(s) {}
    FormatArg(std::string_view s) : kind(Kind::Narrow), narrow(s) {}
    FormatArg(const char* s) : kind(Kind::Narrow), narrow(s ? std::string_view(s) : "(null)") {}
    FormatArg(char* s) : FormatArg(static_cast<const char*>(s)) {}
    FormatArg(const void* p) : kind(Kind::Pointer), ptr(p) {}
};

// printf over UTF-16: %d %i %u %x %X %o %c %s %S %ls %f %e %g %p %%, flags - 0 + space #,
// width and precision (also *), length modifiers h l ll I64 accepted and ignored: the
// argument's own type decides. A missing argument or a text where a number is due formats
// as 0; a number where a text is due formats as its decimal value.
std::u16string wformatArgs(std::u16string_view fmt, std::span<const FormatArg> args);

template <class... A> std::u16string wformat(std::u16string_view fmt, const A&... args)
{
    if constexpr (sizeof...(A) == 0) {
        return wformatArgs(fmt, {});
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return wformatArgs(fmt, list);
    }
}

} // namespace pictavo::platform
