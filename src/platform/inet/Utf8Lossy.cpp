#include "platform/inet/Utf8Lossy.h"

namespace pictavo::platform {

std::u16string decodeUtf8Lossy(std::string_view bytes)
{
    std::u16string out;
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        size_t extra = 0;
        char32_t cp = 0;
        if ((b & 0xE0) == 0xC0)
            extra = 1, cp = b & 0x1F;
        else if ((b & 0xF0) == 0xE0)
            extra = 2, cp = b & 0x0F;
        else if ((b & 0xF8) == 0xF0)
            extra = 3, cp = b & 0x07;
        else {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= extra; ++j) {
            if (i + j >= n || (static_cast<unsigned char>(bytes[i + j]) & 0xC0) != 0x80)
                break;
            cp = cp << 6 | (static_cast<unsigned char>(bytes[i + j]) & 0x3F);
        }
        if (j <= extra) {
            out += u'\xFFFD';
            i += j;
            continue;
        }
        i += extra + 1;
        static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += u'\xFFFD';
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

} // namespace pictavo::platform
