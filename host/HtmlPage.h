#pragma once

// What a page of that era gave its controls: the title, the <object>s with their <param>s and
// the <script>s, in document order. Everything else in the markup is ignored.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct PageObject
{
    std::u16string id;
    std::u16string classId; // "clsid:{...}" or "progid:Name" as written
    int width = 0;          // pixels; 0 when absent or unreadable
    int height = 0;
    std::vector<std::pair<std::u16string, std::u16string>> params;
};

struct PageScript
{
    std::u16string src; // as written, relative to the page; empty for an inline block
    std::string text;   // the inline block's UTF-8 text
};

struct HtmlPage
{
    std::u16string title;
    std::vector<PageObject> objects;
    std::vector<PageScript> scripts;

    // Never fails: broken markup yields what could be read. Input is UTF-8 (invalid bytes keep
    // their value through the kernel's mapping).
    static HtmlPage Parse(std::string_view html);
};
