#pragma once

#include "platform/gfx/GdiPlus.h"
#include "ui/WindowImpl.h"

#include <functional>

// A borderless preview of one picture, fitted into the configured view box, that closes at
// the next click or when it loses the focus. Allocated with new; deletes itself once its
// window is gone.
class ImageViewForm : public WindowImpl
{
public:
    // picture: the tile's decoded bitmap, or null while the tile is not ready (a 1 x 1
    // window). The preview keeps its own copy at the size it shows, so the tile may go.
    explicit ImageViewForm(GpBitmap* picture);
    ~ImageViewForm() override;

    // Creates and shows the window; the caller forgets the object. Null when no window could
    // be made (the object is gone then too).
    HWND Show();

    // What keeps the module loaded while a preview is open (set by the control).
    static void SetModuleHold(std::function<void()> hold, std::function<void()> release);

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;

private:
    void Paint(HWND window);
    void Close(HWND window);

    GpImage* m_picture = nullptr;
    SIZE m_size{1, 1};
    bool m_closing = false;
    bool m_held = false;
};
