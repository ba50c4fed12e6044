#include "forms/ImageViewForm.h"

#include "Biz/ConfigMgr.h"
#include "image/ImageBridges.h"
#include "platform/gfx/Gdi.h"
#include "platform/win/WindowHooks.h"

#include <algorithm>
#include <mutex>

namespace {

struct Hold
{
    std::mutex lock;
    std::function<void()> hold;
    std::function<void()> release;
};

Hold& moduleHold()
{
    static Hold* h = new Hold;
    return *h;
}

RECT workAreaNear(POINT point)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info))
        return info.rcWork;
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// A copy of the picture at exactly the size shown, so painting never rescales and nothing
// of the tile is kept.
GpImage* copyAtSize(GpBitmap* picture, SIZE size)
{
    UINT w = 0, h = 0;
    if (GdipGetImageWidth(picture, &w) != Ok || GdipGetImageHeight(picture, &h) != Ok)
        return nullptr;
    if (static_cast<LONG>(w) == size.cx && static_cast<LONG>(h) == size.cy)
        return CloneBitmap(picture);
    GpImage* copy = nullptr;
    if (GdipGetImageThumbnail(picture, static_cast<UINT>(size.cx), static_cast<UINT>(size.cy), &copy, nullptr,
                              nullptr) != Ok)
        return nullptr;
    return copy;
}

// The view box capped at the work area, the picture fitted into it by its longer side, then
// shrunk where the other side still overruns the screen.
SIZE previewSize(LONG width, LONG height, LONG viewWidth, LONG viewHeight, const RECT& workArea)
{
    if (width <= 0 || height <= 0)
        return SIZE{1, 1};
    const LONG areaW = std::max<LONG>(1, workArea.right - workArea.left);
    const LONG areaH = std::max<LONG>(1, workArea.bottom - workArea.top);
    const LONG boxW = std::clamp<LONG>(viewWidth, 1, areaW);
    const LONG boxH = std::clamp<LONG>(viewHeight, 1, areaH);
    SIZE size{};
    FitSize(width, height, boxW, boxH, &size);
    if (size.cx > areaW || size.cy > areaH) {
        const double scale = std::min(static_cast<double>(areaW) / size.cx, static_cast<double>(areaH) / size.cy);
        size.cx = static_cast<LONG>(size.cx * scale);
        size.cy = static_cast<LONG>(size.cy * scale);
    }
    size.cx = std::clamp<LONG>(size.cx, 1, areaW);
    size.cy = std::clamp<LONG>(size.cy, 1, areaH);
    return size;
}

} // namespace

void ImageViewForm::SetModuleHold(std::function<void()> hold, std::function<void()> release)
{
    std::lock_guard guard(moduleHold().lock);
    moduleHold().hold = std::move(hold);
    moduleHold().release = std::move(release);
}

ImageViewForm::ImageViewForm(GpBitmap* picture)
{
    UINT w = 0, h = 0;
    if (!picture || GdipGetImageWidth(picture, &w) != Ok || GdipGetImageHeight(picture, &h) != Ok || !w || !h)
        return;
    const auto [viewWidth, viewHeight] = ConfigMgr::Instance()->ViewSize();
    const SIZE size = previewSize(static_cast<LONG>(w), static_cast<LONG>(h), viewWidth, viewHeight,
                                  workAreaNear(POINT{0, 0}));
    m_picture = copyAtSize(picture, size);
    if (m_picture)
        m_size = size;
}

ImageViewForm::~ImageViewForm()
{
    if (m_picture)
        GdipDisposeImage(m_picture);
    if (m_held) {
        std::function<void()> release;
        {
            std::lock_guard guard(moduleHold().lock);
            release = moduleHold().release;
        }
        if (release)
            release();
    }
}

HWND ImageViewForm::Show()
{
    RegisterClass(u"PictavoImageView");
    {
        std::function<void()> hold;
        {
            std::lock_guard guard(moduleHold().lock);
            hold = moduleHold().hold;
        }
        if (hold) {
            hold();
            m_held = true;
        }
    }
    HWND window = CreateImpl(u"PictavoImageView", nullptr, RECT{0, 0, m_size.cx, m_size.cy}, u"",
                             WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW);
    if (!window) {
        delete this;
        return nullptr;
    }
    // Creation may already have closed it (focus taken away at once).
    if (!pictavo::platform::setFinalCallback(window, [this] { delete this; })) {
        delete this;
        return nullptr;
    }
    const RECT area = workAreaNear(POINT{m_size.cx / 2, m_size.cy / 2});
    const int x = area.left + ((area.right - area.left) - m_size.cx) / 2;
    const int y = area.top + ((area.bottom - area.top) - m_size.cy) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return window;
}

void ImageViewForm::Close(HWND window)
{
    // Destroying gives up the focus, which comes back here as WM_KILLFOCUS.
    if (m_closing)
        return;
    m_closing = true;
    DestroyWindow(window);
}

void ImageViewForm::Paint(HWND window)
{
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window, &ps);
    if (dc && m_picture) {
        RECT client{};
        GetClientRect(window, &client);
        HBRUSH white = CreateSolidBrush(0xFFFFFF);
        FillRect(dc, &client, white);
        DeleteObject(white);
        GpGraphics* graphics = nullptr;
        if (GdipCreateFromHDC(dc, &graphics) == Ok) {
            UINT w = 0, h = 0;
            GdipGetImageWidth(m_picture, &w);
            GdipGetImageHeight(m_picture, &h);
            GdipDrawImageRectRectI(graphics, m_picture, 0, 0, client.right, client.bottom, 0, 0, static_cast<INT>(w),
                                   static_cast<INT>(h), UnitPixel, nullptr, nullptr, nullptr);
            GdipDeleteGraphics(graphics);
        }
    }
    EndPaint(window, &ps);
}

BOOL ImageViewForm::ProcessWindowMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT& result, DWORD)
{
    switch (message) {
    case WM_PAINT:
        Paint(window);
        result = 0;
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_KILLFOCUS:
        Close(window);
        result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}
