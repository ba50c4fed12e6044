#include "HtmlPage.h"

#include "platform/kernel/Strings.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace {

std::string lowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Character references in attribute values and the title: the named few pages use, and
// numeric ones; anything else stays as written.
std::string decodeEntities(std::string_view s)
{
    static const std::map<std::string, uint32_t> named{
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const size_t semi = s.find(';', i + 1);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += '&';
            continue;
        }
        const std::string_view name = s.substr(i + 1, semi - i - 1);
        uint32_t cp = 0;
        bool ok = false;
        if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            ok = !digits.empty();
            for (char c : digits) {
                const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                              : hex && std::isxdigit(static_cast<unsigned char>(c))
                                  ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                                  : -1;
                if (v < 0 || cp > 0x10FFFF) {
                    ok = false;
                    break;
                }
                cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
            }
        } else if (auto it = named.find(lowerAscii(name)); it != named.end()) {
            cp = it->second;
            ok = true;
        }
        if (!ok) {
            out += '&';
            continue;
        }
        appendUtf8(out, cp);
        i = semi;
    }
    return out;
}

std::u16string wide(std::string_view utf8)
{
    return pictavo::platform::fromUtf8(utf8);
}

int pixels(std::string_view value)
{
    int n = 0;
    size_t i = 0;
    while (i < value.size() && value[i] == ' ')
        ++i;
    for (; i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])) && n < 100000; ++i)
        n = n * 10 + (value[i] - '0');
    return std::min(n, 100000);
}

struct Tag
{
    std::string name; // lower case; "/name" for an end tag
    std::map<std::string, std::string> attributes;
    size_t end = 0; // just past '>'
};

// Reads the tag starting at s[pos] == '<'; false when it is not a tag (text '<').
bool readTag(std::string_view s, size_t pos, Tag& tag)
{
    size_t i = pos + 1;
    bool closing = false;
    if (i < s.size() && s[i] == '/') {
        closing = true;
        ++i;
    }
    const size_t nameStart = i;
    while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '-' || s[i] == ':'))
        ++i;
    if (i == nameStart)
        return false;
    tag.name = (closing ? "/" : "") + lowerAscii(s.substr(nameStart, i - nameStart));
    tag.attributes.clear();
    while (i < s.size()) {
        while (i < s.size() && (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == '/'))
            ++i;
        if (i >= s.size())
            break;
        if (s[i] == '>') {
            tag.end = i + 1;
            return true;
        }
        const size_t an = i;
        while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])) && s[i] != '=' && s[i] != '>' &&
               s[i] != '/')
            ++i;
        if (i == an) {
            ++i; // a stray character: skip it rather than loop
            continue;
        }
        std::string name = lowerAscii(s.substr(an, i - an));
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
        std::string value;
        if (i < s.size() && s[i] == '=') {
            ++i;
            while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
                ++i;
            if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
                const char quote = s[i++];
                const size_t close = s.find(quote, i);
                const size_t stop = close == std::string_view::npos ? s.size() : close;
                value = decodeEntities(s.substr(i, stop - i));
                i = close == std::string_view::npos ? s.size() : close + 1;
            } else {
                const size_t vs = i;
                while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])) && s[i] != '>')
                    ++i;
                value = decodeEntities(s.substr(vs, i - vs));
            }
        }
        tag.attributes.emplace(std::move(name), std::move(value));
    }
    tag.end = s.size();
    return true;
}

std::string attribute(const Tag& tag, const char* name)
{
    auto it = tag.attributes.find(name);
    return it == tag.attributes.end() ? std::string() : it->second;
}

// Where the raw text of an element ends: the start of its end tag, or the end of the input.
size_t rawTextEnd(std::string_view s, size_t from, std::string_view name)
{
    for (size_t i = s.find("</", from); i != std::string_view::npos; i = s.find("</", i + 2))
        if (lowerAscii(s.substr(i + 2, name.size())) == name)
            return i;
    return s.size();
}

} // namespace

HtmlPage HtmlPage::Parse(std::string_view html)
{
    HtmlPage page;
    PageObject* object = nullptr;
    size_t i = 0;
    while (i < html.size()) {
        const size_t lt = html.find('<', i);
        if (lt == std::string_view::npos)
            break;
        if (html.substr(lt, 4) == "<!--") {
            const size_t close = html.find("-->", lt + 4);
            i = close == std::string_view::npos ? html.size() : close + 3;
            continue;
        }
        Tag tag;
        if (!readTag(html, lt, tag)) {
            i = lt + 1;
            continue;
        }
        i = tag.end;
        if (tag.name == "title") {
            const size_t end = rawTextEnd(html, i, "title");
            std::string text = decodeEntities(html.substr(i, end - i));
            // Whitespace runs collapse as a browser shows a title.
            std::string collapsed;
            for (char c : text) {
                const bool space = std::isspace(static_cast<unsigned char>(c));
                if (space && (collapsed.empty() || collapsed.back() == ' '))
                    continue;
                collapsed += space ? ' ' : c;
            }
            while (!collapsed.empty() && collapsed.back() == ' ')
                collapsed.pop_back();
            page.title = wide(collapsed);
            i = end;
        } else if (tag.name == "script") {
            const size_t end = rawTextEnd(html, i, "script");
            PageScript script;
            script.src = wide(attribute(tag, "src"));
            if (script.src.empty())
                script.text = std::string(html.substr(i, end - i));
            page.scripts.push_back(std::move(script));
            i = end;
        } else if (tag.name == "object") {
            PageObject o;
            o.id = wide(attribute(tag, "id"));
            o.classId = wide(attribute(tag, "classid"));
            o.width = pixels(attribute(tag, "width"));
            o.height = pixels(attribute(tag, "height"));
            page.objects.push_back(std::move(o));
            object = &page.objects.back();
        } else if (tag.name == "/object") {
            object = nullptr;
        } else if (tag.name == "param" && object) {
            object->params.emplace_back(wide(attribute(tag, "name")), wide(attribute(tag, "value")));
        }
    }
    return page;
}
