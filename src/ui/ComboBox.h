#pragma once

#include "ui/WindowImpl.h"
#include "ui/WindowedElement.h"
#include "ui/signal1.h"

// A native drop-down list; owners fill it with CB_ADDSTRING and CB_SETCURSEL.
class ComboBox : public WindowImpl, public WindowedElement::Owner
{
public:
    ~ComboBox() override;

    virtual HWND Create(HWND parentWindow);

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;
    HWND CreateFor(HWND parentWindow) override { return Create(parentWindow); }
    void Place(const RECT& rect) override;

    WindowedElement element{*this};
    signal1<int> selectionChanged;
};
