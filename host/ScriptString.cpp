#include "ScriptString.h"

namespace pictavo::host {

namespace {

void appendUnit(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

} // namespace

std::u16string ScriptString::toUtf16(std::string_view cesu)
{
    std::u16string out;
    out.reserve(cesu.size());
    const auto* p = reinterpret_cast<const unsigned char*>(cesu.data());
    size_t n = cesu.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = p[i];
        if (b < 0x80) {
            out += char16_t(b);
            ++i;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < n && isContinuation(p[i + 1]) && b >= 0xC2) {
            out += char16_t(((b & 0x1F) << 6) | (p[i + 1] & 0x3F));
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < n && isContinuation(p[i + 1]) && isContinuation(p[i + 2])) {
            char32_t c = ((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F);
            // Surrogates are kept as they are: that is how CESU-8 spells non-BMP characters.
            out += c < 0x800 ? u'\uFFFD' : char16_t(c);
            i += 3;
        } else if ((b & 0xF8) == 0xF0 && i + 3 < n && isContinuation(p[i + 1]) && isContinuation(p[i + 2]) &&
                   isContinuation(p[i + 3])) {
            char32_t c =
                ((b & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) | (p[i + 3] & 0x3F);
            if (c < 0x10000 || c > 0x10FFFF) {
                out += u'\uFFFD';
            } else {
                c -= 0x10000;
                out += char16_t(0xD800 + (c >> 10));
                out += char16_t(0xDC00 + (c & 0x3FF));
            }
            i += 4;
        } else {
            out += u'\uFFFD';
            ++i;
        }
    }
    return out;
}

std::string ScriptString::fromUtf16(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (char16_t u : text)
        appendUnit(out, u);
    return out;
}

std::string ScriptString::toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUnit(out, c);
    }
    return out;
}

std::u16string ScriptString::get(duk_context* ctx, duk_idx_t idx)
{
    duk_size_t len = 0;
    const char* s = duk_get_lstring(ctx, idx, &len);
    return s ? toUtf16(std::string_view(s, len)) : std::u16string();
}

void ScriptString::push(duk_context* ctx, std::u16string_view text)
{
    std::string bytes = fromUtf16(text);
    duk_push_lstring(ctx, bytes.data(), bytes.size());
}

} // namespace pictavo::host
