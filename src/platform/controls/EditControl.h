#pragma once

#include "platform/controls/Controls.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace pictavo::platform {

// The native "Edit" window: single-line and multi-line text with caret, selection, clipboard
// and input-method text, notifying its parent through WM_COMMAND.
class EditControl
{
public:
    static bool registerClass();
    static LRESULT wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Line
    {
        int start = 0; // first unit
        int end = 0;   // after the last shown unit
        int next = 0;  // where the following line starts
    };

    explicit EditControl(HWND hwnd);
    ~EditControl();
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    DWORD style() const;
    bool multiLine() const { return style() & ES_MULTILINE; }
    bool readOnly() const { return style() & ES_READONLY; }
    bool password() const { return (style() & ES_PASSWORD) && !multiLine() && m_passwordChar; }
    int length() const { return static_cast<int>(m_text.size()); }
    int selMin() const { return std::min(m_anchor, m_caret); }
    int selMax() const { return std::max(m_anchor, m_caret); }

    // Changes; false when the window went away meanwhile (a parent may destroy it on a
    // notification), after which nothing of the object may be touched.
    bool notify(WORD code);
    bool userReplace(std::u16string insert, bool typed, bool program = false);
    bool replaceRange(int from, int to, const std::u16string& insert);
    void setText(std::u16string text);
    bool typeChar(WCHAR ch);
    bool keyDown(WPARAM vk);
    bool copy();
    bool paste();
    bool undo();

    // Layout and geometry, in client pixels.
    void measureFont();
    int unitWidth(int index, bool masked);
    void layout();
    int lineOf(int index) const;
    int lineWidth(const Line& line);
    int xIn(const Line& line, int index);
    int lineLeft(const Line& line);
    int viewWidth() const;
    int viewLines() const;
    int textTop() const;
    POINT pointOf(int index);
    int hit(POINT pt);
    void scrollToCaret();
    void placeCaret();
    void select(int anchor, int caret);
    int wordStart(int index) const;
    int wordEnd(int index) const;
    int step(int index, int delta) const;
    bool fits(const std::u16string& candidate);
    std::u16string shown(int from, int to) const;

    void paint();
    HBRUSH askColours(HDC dc);
    void describe(struct AutomationNode& node);

    HWND m_hwnd;
    std::u16string m_text;
    int m_anchor = 0;
    int m_caret = 0;
    int m_limit = 30000;
    bool m_modified = false;
    std::u16string m_undoText;
    bool m_canUndo = false;
    WCHAR m_passwordChar = u'*';
    WCHAR m_pendingHigh = 0;
    std::u16string m_composition;
    bool m_composing = false;

    HFONT m_font = nullptr;
    HDC m_measureDc = nullptr;
    HGDIOBJ m_measureOld = nullptr;
    int m_lineHeight = 12;
    std::vector<int> m_widths; // per unit; the second unit of a surrogate pair is 0
    std::unordered_map<char32_t, int> m_widthCache;
    std::vector<Line> m_lines;
    int m_scrollX = 0;
    int m_firstLine = 0;

    bool m_focused = false;
    bool m_selecting = false;
    template <class> friend class ControlTable;
    bool m_dead = false;
    int m_depth = 0;
};

} // namespace pictavo::platform
