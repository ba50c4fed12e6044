#include "platform/win/Automation.h"

namespace pictavo::platform {

namespace {
AutomationNode describeWindow(HWND hwnd)
{
    AutomationNode node;
    if (!IsWindow(hwnd))
        return node;
    node.hwnd = hwnd;
    WCHAR name[256] = {};
    GetClassNameW(hwnd, name, 256);
    node.className = name;
    node.id = GetDlgCtrlID(hwnd);
    GetWindowRect(hwnd, &node.bounds);
    node.text = Automation::windowText(hwnd);
    node.visible = IsWindowVisible(hwnd);
    node.disabled = !IsWindowEnabled(hwnd);
    node.focused = GetFocus() == hwnd;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        node.children.push_back(describeWindow(child));
    // The window adds what only it knows: its state and the parts it draws itself.
    SendMessageW(hwnd, WM_PICTAVO_DESCRIBE, 0, reinterpret_cast<LPARAM>(&node));
    return node;
}
} // namespace

AutomationNode Automation::describe(HWND hwnd)
{
    return describeWindow(hwnd);
}

const AutomationNode* AutomationNode::find(std::u16string_view cls, std::u16string_view txt) const
{
    if ((cls.empty() || className == cls) && (txt.empty() || text == txt))
        return this;
    for (const auto& child : children)
        if (const AutomationNode* found = child.find(cls, txt))
            return found;
    return nullptr;
}

std::u16string AutomationNode::value(const std::string& key) const
{
    auto it = state.find(key);
    return it == state.end() ? std::u16string() : it->second;
}

} // namespace pictavo::platform
