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

    int count() const { return static_cast<int>(items_.size()); }
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

    HWND hwnd_;
    std::vector<Item> items_;
    int cur_ = -1;
    HFONT font_ = nullptr;
    int itemHeight_ = 16;
    int fieldHeight_ = 22;
    bool itemHeightSet_ = false;
    bool fieldHeightSet_ = false;
    int droppedHeight_ = 100;

    HWND list_ = nullptr;
    bool dropped_ = false;
    bool closing_ = false;
    bool openingPress_ = false;
    int hot_ = -1;
    int top_ = 0;

    bool focused_ = false;
    bool dead_ = false;
    int depth_ = 0;
};

} // namespace pictavo::platform
