#pragma once

#include "ui/WindowImpl.h"
#include "ui/WindowedElement.h"
#include "ui/signal0.h"

// A numeric field on the native edit: a one-pixel border of its own, and signals for focus,
// mouse, text and the keys its owners act on. Up and Down are taken from the edit.
class Editor : public WindowImpl, public WindowedElement::Owner
{
public:
    Editor();
    ~Editor() override;

    virtual HWND Create(HWND parentWindow);
    virtual HWND Create(HWND parentWindow, int x, int y, int w, int h);
    // Creates the field in the parent's window and joins the tree.
    void Attach(ControlBase& parentElement) { element.Attach(parentElement); }

    void SetValue(int v);
    // The text as a decimal number; 0 when it is not one.
    int GetValue() const;

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;
    HWND CreateFor(HWND parentWindow) override { return Create(parentWindow); }
    void Place(const RECT& rect) override;

    WindowedElement element{*this};
    signal0 focusGained;
    signal0 mouseMoved;
    signal0 mousePressed;
    signal0 focusLost;
    signal0 escapePressed;
    signal0 enterPressed;
    signal0 ctrlEnterPressed;
    signal0 upPressed;
    signal0 downPressed;
    signal0 textChanged;
    BOOL multiLine = FALSE;
    BOOL readOnly = FALSE;
    BOOL password = FALSE;
    int length = 255;
    HFONT font;
    COLORREF borderColour = 0xC8B8B5;
};
