#pragma once

#include "ui/WindowImpl.h"
#include "ui/WindowedElement.h"
#include "ui/signal1.h"

// A slider in a window of its own: a track and a thumb dragged along it. The control keeps
// its value and places the thumb from it, so resizing never changes the value.
class TrackBar : public WindowImpl, public WindowedElement::Owner
{
public:
    TrackBar();
    ~TrackBar() override;

    // Hidden until shown; with a rectangle, visible and 15 pixels high.
    virtual HWND Create(HWND parentWindow);
    virtual HWND Create(HWND parentWindow, const RECT& rect);
    virtual void PaintTrack(HDC dc);
    virtual void PaintThumb(HDC dc);

    void SetRange(int minimumValue, int maximumValue);
    void SetValue(int v);
    int GetValue() const { return m_value; }

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;
    HWND CreateFor(HWND parentWindow) override { return Create(parentWindow); }
    void Place(const RECT& rect) override;
    virtual const char16_t* ClassName() const { return u"TrackBar"; }

    // The value a thumb at pos stands for, and the thumb position of a value.
    int ValueAt(int pos) const;
    int PositionOf(int v) const;

    WindowedElement element{*this};
    signal1<int> valueChanged;
    COLORREF trackFill = 0x3AAFF6;
    COLORREF trackBorder = 0xDDDDDD;
    COLORREF thumbFill = 0xFFFFFF;
    COLORREF thumbBorder = 0xCCCCCC;
    int thumbPos = 0;
    int dragStartPos = 0;
    int minimum = 0;
    int maximum = 100;
    int thumbWidth = 15;
    int thumbHeight = 15;
    int dragStartX = 0;
    int dragStartY = 0;
    BOOL dragging = FALSE;

protected:
    int Span() const;
    void Paint();
    int m_value = 0;
};

// The edit window's slider look.
class ExtTrackBar : public TrackBar
{
public:
    ExtTrackBar();
    void PaintTrack(HDC dc) override;
    void PaintThumb(HDC dc) override;
    const char16_t* ClassName() const override { return u"ExtTrackBar"; }
};
