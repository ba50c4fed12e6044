#pragma once

#include "ui/ControlBase.h"

// The tree member of a control with a native window of its own: hwnd is that window, layout
// moves it, showing and hiding show and hide it.
class WindowedElement : public ControlBase
{
public:
    class Owner
    {
    public:
        virtual ~Owner() = default;
        // Creates the control's window as a child of parent; returns it (null on failure).
        virtual HWND CreateFor(HWND parentWindow) = 0;
        // Moves the window to rect (parent client coordinates).
        virtual void Place(const RECT& rect);
    };

    explicit WindowedElement(Owner& owner) : m_owner(owner) {}

    void Attach(ControlBase& parentElement) override;
    void SetVisible(BOOL show) override;
    void Layout() override;

protected:
    Owner& m_owner;
};
