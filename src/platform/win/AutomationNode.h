#pragma once

#include "platform/win/WinUser.h"

#include <map>
#include <string>
#include <vector>

// Asked of a window (on its own thread) by the automation: lParam is an AutomationNode* the
// window has filled with what every window has; it adds its own state and the parts it draws
// itself (elements, items) as children, and answers TRUE. Windows that do not answer keep the
// default description.
#define WM_PICTAVO_DESCRIBE 0x03F7

namespace pictavo::platform {

// What a person sees of one window or self-drawn part, so tests and scenarios read controls
// without reading pixels.
struct AutomationNode
{
    std::u16string className; // window class, or the element's class for self-drawn parts
    HWND hwnd = nullptr;      // null for self-drawn parts
    int id = 0;               // control id for child windows
    RECT bounds{};            // screen coordinates
    std::u16string text;
    bool visible = true;
    bool disabled = false;
    bool focused = false;
    // Control-specific facts, e.g. "checked" "1", "value" "50", "selStart" "2", "expanded" "1".
    std::map<std::string, std::u16string> state;
    std::vector<AutomationNode> children;

    // Depth-first search by class and/or text (empty: any); null when absent.
    const AutomationNode* find(std::u16string_view className, std::u16string_view text = {}) const;
    std::u16string value(const std::string& key) const;
};

} // namespace pictavo::platform
