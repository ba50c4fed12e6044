#pragma once

#include <duktape.h>

#include <string>
#include <string_view>

namespace pictavo::host {

// Duktape keeps strings as CESU-8 (a non-BMP character is two 3-byte surrogates), so that
// String.length counts UTF-16 units; COM wants UTF-16 and the console wants real UTF-8.
class ScriptString
{
public:
    static std::u16string toUtf16(std::string_view cesu);
    static std::string fromUtf16(std::u16string_view text);
    // Well-formed UTF-8 for output: pairs joined, lone surrogates as U+FFFD.
    static std::string toUtf8(std::u16string_view text);

    static std::u16string get(duk_context* ctx, duk_idx_t idx);
    static void push(duk_context* ctx, std::u16string_view text);
};

} // namespace pictavo::host
