#include "forms/ImageEditor.h"

#include "image/ImageBridges.h"
#include "platform/gfx/Gdi.h"
#include "platform/win/AutomationNode.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr const char16_t* kClass = u"QuendalImageEditor";

RECT normalised(const RECT& r)
{
    return RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                std::max(r.top, r.bottom)};
}

bool isEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

std::u16string number(long long v)
{
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

std::u16string rectText(const RECT& r)
{
    return number(r.left) + u"," + number(r.top) + u"," + number(r.right) + u"," + number(r.bottom);
}

// A copy of the picture; null when there was no memory for it.
std::unique_ptr<CxImage> copyOf(const CxImage& image)
{
    auto copy = std::make_unique<CxImage>();
    copy->CopyFrom(image);
    if (!copy->IsValid())
        return nullptr;
    return copy;
}

// Every bitmap arrives with an alpha plane; an opaque one only costs memory and slows
// every adjustment and paint.
void dropOpaqueAlpha(CxImage& image)
{
    if (!image.AlphaIsValid())
        return;
    const BYTE* alpha = image.AlphaGetPointer();
    const size_t n = size_t{image.GetWidth()} * image.GetHeight();
    if (std::all_of(alpha, alpha + n, [](BYTE a) { return a == 255; }))
        image.AlphaDelete();
}

// Plain 24-bit pixels without palette or selection: the pixel operations treat every byte
// alike, so rows can be handled in bands on several threads with the same result.
bool plainPixels(const CxImage& image)
{
    return image.IsValid() && image.GetBpp() == 24 && image.GetNumColors() == 0 && !image.SelectionIsValid();
}

bool sameShape(const CxImage& a, const CxImage& b)
{
    return a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() && a.GetBpp() == b.GetBpp() &&
           a.GetEffWidth() == b.GetEffWidth() && a.AlphaIsValid() == b.AlphaIsValid();
}

// Runs fn(firstRow, endRow) over bands of rows, on a few threads for a big picture.
template <typename Fn>
void forRowBands(DWORD rows, size_t rowBytes, Fn fn)
{
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    const bool worthIt = static_cast<uint64_t>(rows) * rowBytes >= (4u << 20);
    const unsigned n = worthIt ? std::min<unsigned>(cores, rows) : 1;
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < n; ++i)
        helpers.emplace_back([=] { fn(rows * i / n, rows * (i + 1) / n); });
    fn(0, rows / n);
    for (auto& t : helpers)
        t.join();
}

// The byte table the light adjustment applies, read off the operation itself.
bool lightTable(int brightness, int contrast, BYTE table[256])
{
    CxImage probe;
    if (!probe.Create(256, 1, 24))
        return false;
    BYTE* p = probe.GetBits();
    for (int i = 0; i < 256; ++i)
        p[i * 3] = p[i * 3 + 1] = p[i * 3 + 2] = static_cast<BYTE>(i);
    if (!probe.AdjustLight(brightness, contrast))
        return false;
    for (int i = 0; i < 256; ++i)
        table[i] = p[i * 3];
    return true;
}

// dst becomes a copy of src, reusing dst's memory when it has the same shape (a fresh block
// of this size costs more in page faults than the copy itself); with a table, each byte of
// the colour planes goes through it on the way.
bool copyThrough(const CxImage& src, std::unique_ptr<CxImage>& dst, const BYTE* table)
{
    if (!plainPixels(src) || !dst || !plainPixels(*dst) || !sameShape(src, *dst)) {
        auto fresh = copyOf(src);
        if (!fresh)
            return false;
        dst = std::move(fresh);
        if (!table)
            return true;
    }
    const size_t stride = src.GetEffWidth();
    BYTE* to = dst->GetBits();
    const BYTE* from = src.GetBits();
    const bool alpha = src.AlphaIsValid();
    const DWORD width = src.GetWidth();
    forRowBands(src.GetHeight(), stride, [&](DWORD y0, DWORD y1) {
        const size_t begin = y0 * stride, end = y1 * stride;
        if (table) {
            for (size_t i = begin; i < end; ++i)
                to[i] = table[from[i]];
        } else {
            std::memcpy(to + begin, from + begin, end - begin);
        }
        if (alpha)
            std::memcpy(dst->AlphaGetPointer(0, static_cast<LONG>(y0)), src.AlphaGetPointer(0, static_cast<LONG>(y0)),
                        size_t{width} * (y1 - y0));
    });
    return true;
}

} // namespace

RECT CanvasElement::GetContainerRect()
{
    RECT r{};
    if (parent)
        r = parent->GetContainerRect();
    return r;
}

ImageEditor::ImageEditor() : tracker(RECT{}, 81)
{
    tracker.colour = 0xCA7D0A;
    tracker.changed.connect(this, &ImageEditor::OnTrackerChanged);
}

ImageEditor::~ImageEditor()
{
    disconnect_all();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    if (m_buffer)
        DeleteObject(m_buffer);
}

HWND ImageEditor::Create(HWND parentWindow)
{
    RegisterClass(kClass);
    HWND created = CreateImpl(kClass, parentWindow, RECT{0, 0, 0, 0}, u"",
                              WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL);
    element.hwnd = created;
    if (created) {
        EnableScrollBar(created, SB_BOTH, ESB_DISABLE_BOTH);
        ShowScrollBar(created, SB_BOTH, FALSE);
    }
    return created;
}

void ImageEditor::Place(const RECT& rect)
{
    MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

SIZE ImageEditor::FullSize() const
{
    RECT r{};
    if (m_hWnd)
        GetWindowRect(m_hWnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

std::unique_ptr<CxImage> ImageEditor::Capture(GpBitmap* bitmap)
{
    std::unique_ptr<CxImage> image(bitmap ? ImageFromBitmap(bitmap) : nullptr);
    if (!image || !image->IsValid())
        return nullptr;
    dropOpaqueAlpha(*image);
    return image;
}

bool ImageEditor::SetImage(GpBitmap* bitmap)
{
    return SetPicture(Capture(bitmap), false);
}

bool ImageEditor::SetPicture(std::unique_ptr<CxImage> base, bool fit)
{
    if (!base || !base->IsValid())
        return false;
    // A picture about to be fitted needs no full-size working copy first.
    const SIZE full = FullSize();
    std::unique_ptr<CxImage> work;
    if (fit && full.cx > 0 && full.cy > 0 &&
        !(base->GetWidth() < static_cast<DWORD>(full.cx) && base->GetHeight() < static_cast<DWORD>(full.cy))) {
        work = std::make_unique<CxImage>();
        if (!base->FitInto(full.cx, full.cy, base->GetTransparentColour(), work.get()) || !work->IsValid())
            work.reset();
    }
    if (!work)
        work = copyOf(*base);
    if (!work)
        return false;
    baseImage = std::move(base);
    workImage = std::move(work);
    m_lightPending = false;
    brightness = contrast = saturationState = 0;
    PictureChanged(true);
    return true;
}

void ImageEditor::SetBrightness(int value)
{
    brightness = value;
    if (!baseImage)
        return;
    // While a slider moves, only the view is worked out; the whole picture gets the
    // adjustment when something else needs it.
    if (plainPixels(*baseImage) && !baseImage->AlphaIsValid() &&
        lightTable(brightness, contrast, m_pendingTable)) {
        m_lightPending = true;
        const SIZE shown = ShownSize();
        if (shown.cx != pictureSize.cx || shown.cy != pictureSize.cy)
            PictureChanged(true);
        else
            Redraw();
        return;
    }
    m_lightPending = false;
    BYTE table[256];
    if (plainPixels(*baseImage) && lightTable(brightness, contrast, table)) {
        if (!copyThrough(*baseImage, workImage, table))
            return;
    } else {
        auto work = copyOf(*baseImage);
        if (!work || !work->AdjustLight(brightness, contrast))
            return;
        workImage = std::move(work);
    }
    if (workImage->GetWidth() != static_cast<DWORD>(pictureSize.cx) ||
        workImage->GetHeight() != static_cast<DWORD>(pictureSize.cy))
        PictureChanged(true);
    else
        Redraw();
}

void ImageEditor::SetContrast(int value)
{
    // Both values go together, so one setter serves the two sliders.
    const int keep = brightness;
    contrast = value;
    SetBrightness(keep);
}

void ImageEditor::ApplySaturation(int value)
{
    saturationState = 0;
    if (!baseImage)
        return;
    m_lightPending = false;
    const LONG amount = std::clamp(value, -100, 100);
    if (plainPixels(*baseImage)) {
        if (!copyThrough(*baseImage, workImage, nullptr))
            return;
        // Each pixel is changed on its own, so bands of rows go to separate threads.
        CxImage& work = *workImage;
        const size_t stride = work.GetEffWidth();
        std::atomic<bool> failed{false};
        forRowBands(work.GetHeight(), stride, [&](DWORD y0, DWORD y1) {
            constexpr DWORD kRows = 128;
            CxImage band;
            for (DWORD y = y0; y < y1; y += kRows) {
                const DWORD rows = std::min(kRows, y1 - y);
                if ((band.GetHeight() != rows && !band.Create(work.GetWidth(), rows, 24)) || !band.IsValid()) {
                    failed = true;
                    return;
                }
                std::memcpy(band.GetBits(), work.GetBits() + y * stride, rows * stride);
                band.Saturate(amount, 1);
                std::memcpy(work.GetBits() + y * stride, band.GetBits(), rows * stride);
            }
        });
        if (failed) {
            // Half-done is no state to show: back to the picture as it was opened.
            copyThrough(*baseImage, workImage, nullptr);
            return;
        }
    } else {
        auto work = copyOf(*baseImage);
        if (!work || !work->Saturate(amount, 1))
            return;
        workImage = std::move(work);
    }
    if (workImage->GetWidth() != static_cast<DWORD>(pictureSize.cx) ||
        workImage->GetHeight() != static_cast<DWORD>(pictureSize.cy))
        PictureChanged(true);
    else
        Redraw();
}

void ImageEditor::RotateLeft()
{
    if (Materialise() && workImage->Rotate90Left())
        PictureChanged(true);
}

void ImageEditor::RotateRight()
{
    if (Materialise() && workImage->Rotate90Right())
        PictureChanged(true);
}

POINT ImageEditor::PaintOrigin() const
{
    const LONG vw = viewRect.right - viewRect.left, vh = viewRect.bottom - viewRect.top;
    POINT o{};
    o.x = pictureSize.cx < vw ? (vw - pictureSize.cx) / 2 : -GetScrollPos(m_hWnd, SB_HORZ);
    o.y = pictureSize.cy < vh ? (vh - pictureSize.cy) / 2 : -GetScrollPos(m_hWnd, SB_VERT);
    return o;
}

void ImageEditor::Crop()
{
    const RECT r = normalised(tracker.rect);
    if (isEmpty(r) || !Materialise())
        return;
    // The rectangle as drawn, moved from the view to the picture by where the picture is
    // painted; the handle band around it is not part of the selection.
    const POINT o = PaintOrigin();
    if (!workImage->CropTo(r.left - o.x, r.top - o.y, r.right - o.x, r.bottom - o.y))
        return;
    PictureChanged(true);
}

SIZE ImageEditor::ClampToLimits(LONG width, LONG height)
{
    double w = std::clamp<LONG>(width, 1, 1 << 20), h = std::clamp<LONG>(height, 1, 1 << 20);
    // The image object holds 24-bit rows plus an alpha plane, and the tile gets 32-bit pixels.
    const double most = static_cast<double>(CXIMAGE_MAX_MEMORY) / 4;
    if (w * h > most) {
        const double f = std::sqrt(most / (w * h));
        w = std::max(1.0, std::floor(w * f));
        h = std::max(1.0, std::floor(h * f));
    }
    return SIZE{static_cast<LONG>(w), static_cast<LONG>(h)};
}

void ImageEditor::Resize(int width, int height, bool keepRatio)
{
    if (!baseImage || !workImage)
        return;
    const SIZE s = ClampToLimits(width, height);
    if (keepRatio) {
        auto work = std::make_unique<CxImage>();
        if (!baseImage->FitInto(s.cx, s.cy, workImage->GetTransparentColour(), work.get()) || !work->IsValid())
            return;
        workImage = std::move(work);
        m_lightPending = false;
    } else if (!Materialise() || !workImage->Scale(static_cast<DWORD>(s.cx), static_cast<DWORD>(s.cy), 1)) {
        return;
    }
    PictureChanged(true);
}

void ImageEditor::ShowActualPixels()
{
    if (baseImage && copyThrough(*baseImage, workImage, nullptr)) {
        m_lightPending = false;
        PictureChanged(true);
    }
}

void ImageEditor::FitToView()
{
    if (!baseImage)
        return;
    // The fit is taken on the canvas's whole size: once the picture fits, its scroll bars
    // are disabled and hidden, so they take no room from it.
    const SIZE full = FullSize();
    if (full.cx <= 0 || full.cy <= 0 || (pictureSize.cx < full.cx && pictureSize.cy < full.cy))
        return;
    auto work = std::make_unique<CxImage>();
    if (!baseImage->FitInto(full.cx, full.cy, workImage->GetTransparentColour(), work.get()) || !work->IsValid())
        return;
    workImage = std::move(work);
    m_lightPending = false;
    PictureChanged(true);
}

void ImageEditor::Undo()
{
    ShowActualPixels();
}

SIZE ImageEditor::ShownSize() const
{
    const CxImage* shown = m_lightPending ? baseImage.get() : workImage.get();
    if (!shown)
        return SIZE{};
    return SIZE{static_cast<LONG>(shown->GetWidth()), static_cast<LONG>(shown->GetHeight())};
}

bool ImageEditor::Materialise()
{
    if (!workImage || !baseImage)
        return false;
    if (!m_lightPending)
        return true;
    if (!copyThrough(*baseImage, workImage, m_pendingTable))
        return false;
    m_lightPending = false;
    return true;
}

CxImage* ImageEditor::Working()
{
    return Materialise() ? workImage.get() : nullptr;
}

void ImageEditor::PaintPending(HDC dc, POINT origin, LONG viewWidth, LONG viewHeight)
{
    // Only the part of the picture in the view goes through the table.
    const CxImage& base = *baseImage;
    const LONG pw = static_cast<LONG>(base.GetWidth()), ph = static_cast<LONG>(base.GetHeight());
    const LONG x0 = std::max<LONG>(0, -origin.x), x1 = std::min(pw, viewWidth - origin.x);
    const LONG y0 = std::max<LONG>(0, -origin.y), y1 = std::min(ph, viewHeight - origin.y);
    if (x1 <= x0 || y1 <= y0)
        return;
    CxImage part;
    if (!part.Create(static_cast<DWORD>(x1 - x0), static_cast<DWORD>(y1 - y0), 24))
        return;
    const LONG rows = y1 - y0;
    for (LONG y = y0; y < y1; ++y) {
        // Stored rows run bottom-up in both pictures.
        const BYTE* from = base.GetBits(static_cast<DWORD>(ph - 1 - y)) + size_t(x0) * 3;
        BYTE* to = part.GetBits(static_cast<DWORD>(rows - 1 - (y - y0)));
        for (size_t i = 0, n = size_t(x1 - x0) * 3; i < n; ++i)
            to[i] = m_pendingTable[from[i]];
    }
    part.DrawTo(dc, origin.x + x0, origin.y + y0);
}

void ImageEditor::PictureChanged(bool clearTracker)
{
    if (workImage)
        pictureSize = ShownSize();
    if (clearTracker)
        ClearTracker();
    SetupScrollBars();
    UpdateBounds();
    pictureSizeChanged();
    Redraw();
}

void ImageEditor::ClearTracker()
{
    if (m_hWnd && !isEmpty(m_shownTrueRect))
        InvalidateRect(m_hWnd, &m_shownTrueRect, TRUE);
    tracker.rect = RECT{};
    contentRect = RECT{};
    m_shownTrueRect = RECT{};
    drawing = false;
}

// A bar is shown and enabled only while the picture overruns the view on its axis; a bar
// that is not needed is hidden as well as disabled, so it takes no room from the picture.
void ImageEditor::SetupScrollBars()
{
    if (!m_hWnd)
        return;
    m_settingUp = true;
    const SIZE full = FullSize();
    const LONG barW = GetSystemMetrics(SM_CXVSCROLL), barH = GetSystemMetrics(SM_CYHSCROLL);
    bool needH = pictureSize.cx > full.cx, needV = pictureSize.cy > full.cy;
    if (needH && !needV)
        needV = pictureSize.cy > full.cy - barH;
    if (needV && !needH)
        needH = pictureSize.cx > full.cx - barW;
    const LONG viewW = full.cx - (needV ? barW : 0), viewH = full.cy - (needH ? barH : 0);
    EnableScrollBar(m_hWnd, SB_BOTH, ESB_DISABLE_BOTH);
    const struct
    {
        int bar;
        bool need;
        LONG size, view;
    } axes[2] = {{SB_HORZ, needH, pictureSize.cx, viewW}, {SB_VERT, needV, pictureSize.cy, viewH}};
    for (const auto& a : axes) {
        m_barsEnabled[a.bar] = a.need;
        if (!a.need) {
            ShowScrollBar(m_hWnd, a.bar, FALSE);
            continue;
        }
        SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, a.size,
                      static_cast<UINT>(std::max<LONG>(0, a.view)), 0, 0};
        SetScrollInfo(m_hWnd, a.bar, &si, TRUE);
        EnableScrollBar(m_hWnd, a.bar, ESB_ENABLE_BOTH);
    }
    m_settingUp = false;
    GetClientRect(m_hWnd, &viewRect);
    // The positions are back at 0: the rectangle sits where its content is.
    if (!isEmpty(normalised(contentRect)))
        tracker.rect = contentRect;
}

void ImageEditor::UpdateBounds()
{
    const LONG vw = viewRect.right - viewRect.left, vh = viewRect.bottom - viewRect.top;
    RECT b{};
    b.left = pictureSize.cx < vw ? (vw - pictureSize.cx) / 2 : -GetScrollPos(m_hWnd, SB_HORZ);
    b.top = pictureSize.cy < vh ? (vh - pictureSize.cy) / 2 : -GetScrollPos(m_hWnd, SB_VERT);
    b.right = b.left + pictureSize.cx;
    b.bottom = b.top + pictureSize.cy;
    tracker.SetBounds(b);
}

void ImageEditor::Scroll(int bar, int code, int)
{
    if (code > SB_THUMBTRACK || code < 0)
        return;
    const LONG view = bar == SB_HORZ ? viewRect.right - viewRect.left : viewRect.bottom - viewRect.top;
    const LONG size = bar == SB_HORZ ? pictureSize.cx : pictureSize.cy;
    const int most = std::max<LONG>(0, size - view);
    int pos = GetScrollPos(m_hWnd, bar);
    switch (code) {
    case SB_LINEUP:
        pos = std::max(0, pos - 1);
        break;
    case SB_LINEDOWN:
        pos = std::min(most, pos + 1);
        break;
    case SB_PAGEUP:
        pos = std::max<int>(0, pos - view);
        break;
    case SB_PAGEDOWN:
        pos = std::min<int>(most, pos + view);
        break;
    default: {
        // The message carries 16 bits; the bar knows the whole position.
        SCROLLINFO si{sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        GetScrollInfo(m_hWnd, bar, &si);
        pos = std::clamp(si.nTrackPos, 0, most);
        break;
    }
    }
    SetScrollPos(m_hWnd, bar, pos, TRUE);
    UpdateBounds();
    if (!isEmpty(normalised(contentRect))) {
        if (bar == SB_HORZ) {
            tracker.rect.left = contentRect.left - pos;
            tracker.rect.right = contentRect.right - pos;
        } else {
            tracker.rect.top = contentRect.top - pos;
            tracker.rect.bottom = contentRect.bottom - pos;
        }
        m_shownTrueRect = tracker.TrueRect();
    }
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void ImageEditor::OnTrackerChanged(CRect)
{
    RectChanged();
}

void ImageEditor::RectChanged()
{
    const RECT& b = tracker.bounds;
    RECT& r = tracker.rect;
    r.left = std::clamp(r.left, b.left, b.right);
    r.right = std::clamp(r.right, b.left, b.right);
    r.top = std::clamp(r.top, b.top, b.bottom);
    r.bottom = std::clamp(r.bottom, b.top, b.bottom);
    if (!isEmpty(m_shownTrueRect))
        InvalidateRect(m_hWnd, &m_shownTrueRect, TRUE);
    m_shownTrueRect = tracker.TrueRect();
    InvalidateRect(m_hWnd, &m_shownTrueRect, FALSE);
    const int sx = GetScrollPos(m_hWnd, SB_HORZ), sy = GetScrollPos(m_hWnd, SB_VERT);
    contentRect = RECT{r.left + sx, r.top + sy, r.right + sx, r.bottom + sy};
}

void ImageEditor::Redraw()
{
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
}

void ImageEditor::Paint()
{
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(m_hWnd, &ps);
    const LONG w = viewRect.right - viewRect.left, h = viewRect.bottom - viewRect.top;
    if (dc && w > 0 && h > 0) {
        if (!m_buffer || m_bufferSize.cx != w || m_bufferSize.cy != h) {
            if (m_buffer)
                DeleteObject(m_buffer);
            m_buffer = CreateCompatibleBitmap(dc, w, h);
            m_bufferSize = SIZE{w, h};
        }
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, m_buffer);
        HBRUSH fill = CreateSolidBrush(background);
        const RECT all{0, 0, w, h};
        FillRect(memory, &all, fill);
        DeleteObject(fill);
        if (m_lightPending && baseImage) {
            PaintPending(memory, PaintOrigin(), w, h);
        } else if (workImage && workImage->IsValid()) {
            const POINT o = PaintOrigin();
            workImage->DrawTo(memory, o.x, o.y);
        }
        if (!isEmpty(normalised(tracker.rect)))
            tracker.Draw(memory);
        BitBlt(dc, 0, 0, w, h, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    EndPaint(m_hWnd, &ps);
}

GpBitmap* ImageEditor::WorkingBitmap()
{
    if (!Materialise() || !workImage->IsValid())
        return nullptr;
    const CxImage& image = *workImage;
    if (!plainPixels(image))
        return BitmapFromImage(image);
    const INT w = static_cast<INT>(image.GetWidth()), h = static_cast<INT>(image.GetHeight());
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok || !bitmap)
        return nullptr;
    GpRect all{0, 0, w, h};
    BitmapData data{};
    if (GdipBitmapLockBits(bitmap, &all, ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok) {
        GdipDisposeImage(bitmap);
        return nullptr;
    }
    const bool alpha = image.AlphaIsValid();
    forRowBands(static_cast<DWORD>(h), size_t(w) * 4, [&](DWORD y0, DWORD y1) {
        for (DWORD y = y0; y < y1; ++y) {
            // Stored rows run bottom-up.
            const DWORD row = static_cast<DWORD>(h) - 1 - y;
            const BYTE* src = image.GetBits(row);
            const BYTE* a = alpha ? image.AlphaGetPointer(0, static_cast<LONG>(row)) : nullptr;
            BYTE* dst = static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
            for (INT x = 0; x < w; ++x, src += 3, dst += 4) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
                dst[3] = a ? a[x] : 255;
            }
        }
    });
    GdipBitmapUnlockBits(bitmap, &data);
    return bitmap;
}

void ImageEditor::Describe(LPARAM lParam)
{
    auto* node = reinterpret_cast<pictavo::platform::AutomationNode*>(lParam);
    node->className = u"ImageEditor";
    node->state["pictureWidth"] = number(pictureSize.cx);
    node->state["pictureHeight"] = number(pictureSize.cy);
    node->state["viewWidth"] = number(viewRect.right - viewRect.left);
    node->state["viewHeight"] = number(viewRect.bottom - viewRect.top);
    node->state["hbar"] = m_barsEnabled[SB_HORZ] ? u"enabled" : u"disabled";
    node->state["vbar"] = m_barsEnabled[SB_VERT] ? u"enabled" : u"disabled";
    node->state["hpos"] = number(GetScrollPos(m_hWnd, SB_HORZ));
    node->state["vpos"] = number(GetScrollPos(m_hWnd, SB_VERT));
    node->state["tracker"] = rectText(tracker.rect);
    const POINT o = PaintOrigin();
    node->state["origin"] = number(o.x) + u"," + number(o.y);
}

BOOL ImageEditor::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                       DWORD)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        result = 0;
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_SIZE:
        GetClientRect(window, &viewRect);
        if (!m_settingUp && workImage) {
            SetupScrollBars();
            UpdateBounds();
        }
        Redraw();
        result = 0;
        return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL:
        Scroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam)));
        result = 0;
        return TRUE;
    case WM_MOUSEWHEEL:
        SendMessageW(window, WM_VSCROLL, GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
        result = 0;
        return TRUE;
    case WM_LBUTTONDOWN: {
        SetFocus(window);
        const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (!workImage) {
            result = 0;
            return TRUE;
        }
        const int hit = tracker.HitTest(p);
        if (hit < 0) {
            const RECT& b = tracker.bounds;
            if (isEmpty(normalised(tracker.rect))) {
                if (p.x >= b.left && p.x < b.right && p.y >= b.top && p.y < b.bottom) {
                    drawing = true;
                    anchorX = p.x;
                    anchorY = p.y;
                    tracker.rect = RECT{p.x, p.y, p.x + 1, p.y + 1};
                    SetCapture(window);
                    RectChanged();
                }
            } else {
                ClearTracker();
            }
        } else {
            tracker.Track(window, p, true);
            tracker.rect = normalised(tracker.rect);
            RectChanged();
        }
        result = 0;
        return TRUE;
    }
    case WM_MOUSEMOVE:
        if (!drawing)
            return FALSE;
        tracker.rect = RECT{anchorX, anchorY, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RectChanged();
        result = 0;
        return TRUE;
    case WM_LBUTTONUP:
        if (!drawing)
            return FALSE;
        drawing = false;
        tracker.rect = normalised(tracker.rect);
        RectChanged();
        ReleaseCapture();
        result = 0;
        return TRUE;
    case WM_CAPTURECHANGED:
        if (drawing) {
            drawing = false;
            tracker.rect = normalised(tracker.rect);
            RectChanged();
        }
        return FALSE;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == window && tracker.SetCursor(window, LOWORD(lParam))) {
            result = TRUE;
            return TRUE;
        }
        if (reinterpret_cast<HWND>(wParam) == window && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            result = TRUE;
            return TRUE;
        }
        return FALSE;
    case WM_PICTAVO_DESCRIBE:
        Describe(lParam);
        result = TRUE;
        return TRUE;
    default:
        return FALSE;
    }
}
