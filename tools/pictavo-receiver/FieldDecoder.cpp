#include "FieldDecoder.h"

#include "platform/kernel/Strings.h"

using pictavo::platform::fromLocalCodePage;
using pictavo::platform::toLocalCodePage;
using pictavo::platform::toUtf8;

namespace FieldDecoder {

bool base64Decode(const std::string& text, std::string& out)
{
    out.clear();
    if (text.size() % 4 != 0)
        return false;
    uint32_t acc = 0;
    int bits = 0;
    size_t padding = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else if (c == '=' && i + 2 >= text.size()) {
            ++padding;
            continue;
        } else
            return false;
        if (padding > 0)
            return false;
        acc = acc << 6 | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>(acc >> bits & 0xFF);
        }
    }
    return padding <= 2;
}

std::string textValue(const std::string& raw, Encoding encoding)
{
    std::string bytes;
    if (encoding == Encoding::Utf8) {
        if (!base64Decode(raw, bytes))
            return raw;
        return toUtf8(fromLocalCodePage(bytes));
    }
    if (!base64Decode(raw, bytes) || bytes.empty())
        return raw;
    bool high = false;
    for (const char c : bytes)
        high |= (static_cast<unsigned char>(c) & 0x80) != 0;
    const std::u16string text = fromLocalCodePage(bytes);
    // Only a value the sender could have produced: non-ASCII text that survives the round trip.
    if (!high || toLocalCodePage(text) != bytes || text.find(u'\xFFFD') != std::u16string::npos)
        return raw;
    return toUtf8(text);
}

std::string fileName(const std::string& raw, Encoding encoding)
{
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '%' && i + 2 < raw.size() && std::isxdigit(static_cast<unsigned char>(raw[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(raw[i + 2]))) {
            const std::string hex = raw.substr(i + 1, 2);
            const char decoded = static_cast<char>(std::stoi(hex, nullptr, 16));
            if (encoding == Encoding::Utf8 || decoded == '"' || decoded == '\r' || decoded == '\n') {
                out += decoded;
                i += 2;
                continue;
            }
        }
        out += (encoding == Encoding::Utf8 && c == '+') ? ' ' : c;
    }
    if (encoding == Encoding::Gb2312)
        return toUtf8(fromLocalCodePage(out));
    return out;
}

std::string safeName(const std::string& name)
{
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        out += (b < 0x20 || b == 0x7F || c == '/' || c == '\\') ? '_' : c;
    }
    // Bounded, cut on a character boundary.
    if (out.size() > 180) {
        size_t cut = 180;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    if (out.empty() || out.find_first_not_of('.') == std::string::npos)
        return "upload";
    if (out[0] == '.')
        out[0] = '_';
    return out;
}

} // namespace FieldDecoder
