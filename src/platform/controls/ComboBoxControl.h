#pragma once

#include "platform/controls/Controls.h"

#include <string>
#include <vector>

namespace pictavo::platform {

struct AutomationNode;

// The native "ComboBox" as a drop-down list: a selection field and a popup list ("ComboLBox")
// that holds the pointer while it is open.
class ComboBoxControl
{
public:
    static bool registerClass();
    static LRESULT wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT listProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Item
    {
        std::u16string text;
        LRESULT data = 0;
    };
    enum class Close
    {
        Pick,
        Cancel,
        Quiet
    };

    explicit ComboBoxControl(HWND hwnd);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleList(HWND list, UINT message, WPARAM wParam, LPARAM lParam);

    int count() const { return static_cast<int>(m_items.size()); }
    bool notify(WORD code);
    void syncText();
    LRESULT insert(int index, std::u16string text);
    // Selection changed by the user while the list is closed; false when the window went away.
    bool choose(int index);
    bool open();
    bool close(Close how);
    void measure();
    void fitHeight();
    int rows() const;
    void setHot(int index);
    int itemAt(POINT screen) const;
    RECT itemRect(int index) const; // list client coordinates
    void paint();
    void paintList(HWND list);
    void describeItems(AutomationNode& node, bool inList);

    HWND m_hwnd;
    std::vector<Item> m_items;
    int m_cur = -1;
    HFONT m_font = nullptr;
    int m_itemHeight = 16;
    int m_fieldHeight = 22;
    bool m_itemHeightSet = false;
    bool m_fieldHeightSet = false;
    int m_droppedHeight = 100;

    HWND m_list = nullptr;
    bool m_dropped = false;
    bool m_closing = false;
    bool m_openingPress = false;
    int m_hot = -1;
    int m_top = 0;

    bool m_focused = false;
    template <class> friend class ControlTable;
    bool m_dead = false;
    int m_depth = 0;
};

} // namespace pictavo::platform
