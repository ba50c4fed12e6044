#pragma once

#include "image/CxImage.h"
#include "platform/gfx/GdiPlus.h"
#include "ui/RectTracker.h"
#include "ui/WindowImpl.h"
#include "ui/WindowedElement.h"
#include "ui/has_slots.h"
#include "ui/signal0.h"

#include <memory>

// The canvas's place in the form's tree: laid out against the parent's client area.
class CanvasElement : public WindowedElement
{
public:
    using WindowedElement::WindowedElement;
    RECT GetContainerRect() override;
};

// The edit window's canvas: a child window with scroll bars that shows the working picture
// at its natural size, centred when it is smaller than the view, with a crop rectangle
// drawn over it. It keeps the picture as it was at opening, so that the slider-driven
// adjustments, resizing and undo start again from it.
class ImageEditor : public WindowImpl, public WindowedElement::Owner, public has_slots
{
public:
    ImageEditor();
    ~ImageEditor() override;

    HWND Create(HWND parentWindow);
    HWND CreateFor(HWND parentWindow) override { return Create(parentWindow); }
    void Place(const RECT& rect) override;

    // False when the bitmap could not be read (nothing is shown then).
    bool SetImage(GpBitmap* bitmap);
    // The bitmap's pixels as the canvas keeps them (null when they cannot be read).
    static std::unique_ptr<CxImage> Capture(GpBitmap* bitmap);
    // SetImage of a captured picture; with fit, then FitToView without the full-size
    // working copy in between.
    bool SetPicture(std::unique_ptr<CxImage> base, bool fit);
    void SetBrightness(int value);
    void SetContrast(int value);
    void ApplySaturation(int value);
    void RotateLeft();
    void RotateRight();
    void Crop();
    void Resize(int width, int height, bool keepRatio);
    void ShowActualPixels();
    void FitToView();
    void Undo();
    // The working picture with every adjustment applied (null when there is none).
    CxImage* Working();
    SIZE PictureSize() const { return pictureSize; }
    // A new bitmap of the working picture (alpha kept), owned by the caller; null on failure.
    GpBitmap* WorkingBitmap();
    // The largest size a resize may ask for, keeping the shape.
    static SIZE ClampToLimits(LONG width, LONG height);

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;

    CanvasElement element{*this};
    // The recorded picture size changed (fit, turn, crop, resize, undo, ...).
    signal0 pictureSizeChanged;
    RectTracker tracker;
    COLORREF background = 0xC0C0C0;

private:
    void Paint();
    void PaintPending(HDC dc, POINT origin, LONG viewWidth, LONG viewHeight);
    // Applies a light adjustment that so far reached only the view; false without memory.
    bool Materialise();
    // The size of the picture on the screen.
    SIZE ShownSize() const;
    void Scroll(int bar, int code, int thumb);
    void SetupScrollBars();
    void UpdateBounds();
    // After the working picture changed size: record it, bars, bounds, no crop rectangle.
    void PictureChanged(bool clearTracker);
    void ClearTracker();
    void OnTrackerChanged(CRect r);
    void RectChanged();
    void Redraw();
    // Where the picture's top-left corner is painted in the view.
    POINT PaintOrigin() const;
    SIZE FullSize() const;
    void Describe(LPARAM node);

    std::unique_ptr<CxImage> baseImage;
    std::unique_ptr<CxImage> workImage;
    int brightness = 0;
    int contrast = 0;
    int saturationState = 0;
    // The light adjustment shown but not yet applied to the working picture.
    bool m_lightPending = false;
    BYTE m_pendingTable[256] = {};
    bool drawing = false;
    int anchorX = 0;
    int anchorY = 0;
    RECT viewRect{};
    RECT contentRect{};
    SIZE pictureSize{};
    RECT m_shownTrueRect{};
    bool m_barsEnabled[2] = {false, false};
    bool m_settingUp = false;
    HBITMAP m_buffer = nullptr;
    SIZE m_bufferSize{};
};
