#pragma once

#include "platform/gfx/Gdi.h"
#include "platform/win/WinUser.h"
#include "ui/CRect.h"
#include "ui/signal1.h"

// A rubber-band rectangle with resize handles: hit tests, a tracking loop of its own while
// the mouse is captured, drawing and cursors. rect is in the window's client coordinates and
// may be inverted while it is dragged.
class RectTracker
{
public:
    enum StyleFlags : UINT
    {
        solidLine = 1,
        dottedLine = 2,
        hatchedBorder = 4,
        resizeInside = 8,
        resizeOutside = 0x10,
        hatchInside = 0x20,
    };
    enum : int
    {
        hitNothing = -1,
        hitMiddle = 8,
    };

    RectTracker();
    RectTracker(const RECT& r, UINT trackerStyle);
    virtual ~RectTracker() = default;
    RectTracker(const RectTracker&) = delete;
    RectTracker& operator=(const RectTracker&) = delete;

    virtual int HandleSize(const RECT* r = nullptr) const;
    virtual void DrawTrackerRect(const RECT& r);
    virtual void AdjustRect(int handle, RECT& r);
    virtual void OnChangedRect(const RECT& r);
    virtual UINT HandleMask() const;

    int HitTest(POINT point) const;
    // Runs until the left button goes up, Escape or the right button (which restore the
    // rectangle), or the capture is lost; true when the rectangle differs from before.
    bool Track(HWND window, POINT point, bool allowInvert = false);
    void Draw(HDC dc) const;
    bool SetCursor(HWND window, UINT hitCode) const;
    RECT TrueRect() const;
    void SetBounds(const RECT& r) { bounds = r; }
    // The square of one handle, for the normalised rectangle.
    RECT HandleRect(int handle) const;

    // The profile's "oleinplaceborderwidth", read once per process (4 without one).
    static int ProfileHandleSize();

    RECT rect{};
    UINT style = 0;
    int handleSize;
    int minWidth;
    int minHeight;
    RECT bounds{};
    COLORREF colour = 0;
    signal1<CRect> changed;

private:
    int MirroredHandle(int normalisedHandle) const;
    void MoveHandle(int handle, RECT& r, const RECT& start, LONG dx, LONG dy) const;
};
