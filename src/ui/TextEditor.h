#pragma once

#include "ui/WindowImpl.h"

#include <string>

// The in-place rename field of a list tile: a native edit with a grey border, grey text on
// whatever lies behind it.
class TextEditor : public WindowImpl
{
public:
    TextEditor();
    ~TextEditor() override;

    HWND Create(HWND parentWindow, const RECT& rect, const std::u16string& text = {},
                DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;

    COLORREF textColour = 0x828282;
    COLORREF borderColour = 0x646464;
    HFONT font;
};
