#pragma once

#include "platform/controls/Controls.h"

#include <string>
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
    bool password() const { return (style() & ES_PASSWORD) && !multiLine() && passwordChar_; }
    int length() const { return static_cast<int>(text_.size()); }
    int selMin() const { return std::min(anchor_, caret_); }
    int selMax() const { return std::max(anchor_, caret_); }

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
    int unitWidth(int index);
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

    HWND hwnd_;
    std::u16string text_;
    int anchor_ = 0;
    int caret_ = 0;
    int limit_ = 30000;
    bool modified_ = false;
    std::u16string undoText_;
    bool canUndo_ = false;
    WCHAR passwordChar_ = u'*';
    WCHAR pendingHigh_ = 0;
    std::u16string composition_;
    bool composing_ = false;

    HFONT font_ = nullptr;
    HDC measureDc_ = nullptr;
    HGDIOBJ measureOld_ = nullptr;
    int lineHeight_ = 12;
    std::vector<int> widths_; // per unit; the second unit of a surrogate pair is 0
    std::vector<Line> lines_;
    int scrollX_ = 0;
    int firstLine_ = 0;

    bool focused_ = false;
    bool selecting_ = false;
    bool dead_ = false;
    int depth_ = 0;
};

} // namespace pictavo::platform
