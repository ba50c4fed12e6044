#include "ui/ListViewItem.h"

#include "image/ImageBridges.h"
#include "platform/kernel/Strings.h"
#include "ui/DefaultFonts.h"
#include "ui/Drawing.h"
#include "ui/ListView.h"

#include <algorithm>
#include <chrono>
#include <sys/stat.h>
#include <vector>

namespace {

int64_t now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct ImageSize
{
    UINT width = 0, height = 0;
};

ImageSize sizeOf(GpImage* image)
{
    ImageSize s;
    if (!image || GdipGetImageWidth(image, &s.width) != Ok || GdipGetImageHeight(image, &s.height) != Ok)
        return {};
    return s;
}

GpImage* fitted(GpBitmap* image, int boxWidth, int boxHeight)
{
    const ImageSize s = sizeOf(image);
    if (!s.width || !s.height)
        return nullptr;
    const SIZE t = ListViewItem::FitThumbnail(s.width, s.height, boxWidth, boxHeight);
    if (static_cast<UINT>(t.cx) == s.width && static_cast<UINT>(t.cy) == s.height)
        return CloneBitmap(image);
    GpImage* thumbnail = nullptr;
    if (GdipGetImageThumbnail(image, static_cast<UINT>(t.cx), static_cast<UINT>(t.cy), &thumbnail, nullptr,
                              nullptr) != Ok)
        return nullptr;
    return thumbnail;
}

// For a big picture: whole blocks averaged (weighted by alpha) down to at least twice the
// thumbnail, then the usual area resample, so the picture is read once with integer sums.
GpImage* fittedFromBlocks(GpBitmap* image, int boxWidth, int boxHeight)
{
    const ImageSize s = sizeOf(image);
    if (!s.width || !s.height)
        return nullptr;
    const SIZE t = ListViewItem::FitThumbnail(s.width, s.height, boxWidth, boxHeight);
    const UINT k = std::min(s.width / (2 * static_cast<UINT>(t.cx)), s.height / (2 * static_cast<UINT>(t.cy)));
    if (k < 2)
        return fitted(image, boxWidth, boxHeight);
    GpRect all{0, 0, static_cast<INT>(s.width), static_cast<INT>(s.height)};
    BitmapData data{};
    if (GdipBitmapLockBits(image, &all, ImageLockModeRead, PixelFormat32bppARGB, &data) != Ok)
        return nullptr;
    const UINT bw = (s.width + k - 1) / k, bh = (s.height + k - 1) / k;
    std::vector<BYTE> blocks(static_cast<size_t>(bw) * bh * 4);
    std::vector<uint64_t> sums(static_cast<size_t>(bw) * 4);
    for (UINT by = 0; by < bh; ++by) {
        std::fill(sums.begin(), sums.end(), 0);
        const UINT y0 = by * k, y1 = std::min(s.height, y0 + k);
        for (UINT y = y0; y < y1; ++y) {
            const BYTE* p = static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
            uint64_t* sum = sums.data();
            for (UINT x0 = 0; x0 < s.width; x0 += k, sum += 4) {
                uint32_t b = 0, g = 0, r = 0, a = 0;
                for (const BYTE* end = p + 4 * std::min(k, s.width - x0); p < end; p += 4) {
                    b += p[0] * uint32_t{p[3]};
                    g += p[1] * uint32_t{p[3]};
                    r += p[2] * uint32_t{p[3]};
                    a += p[3];
                }
                sum[0] += b;
                sum[1] += g;
                sum[2] += r;
                sum[3] += a;
            }
        }
        BYTE* out = &blocks[static_cast<size_t>(by) * bw * 4];
        for (UINT bx = 0; bx < bw; ++bx, out += 4) {
            const uint64_t* sum = &sums[static_cast<size_t>(bx) * 4];
            const uint64_t count = uint64_t{std::min(k, s.width - bx * k)} * (y1 - y0);
            if (sum[3]) {
                for (int c = 0; c < 3; ++c)
                    out[c] = static_cast<BYTE>((sum[c] + sum[3] / 2) / sum[3]);
                out[3] = static_cast<BYTE>((sum[3] + count / 2) / count);
            } else {
                out[0] = out[1] = out[2] = out[3] = 0;
            }
        }
    }
    GdipBitmapUnlockBits(image, &data);
    GpBitmap* small = nullptr;
    if (GdipCreateBitmapFromScan0(static_cast<INT>(bw), static_cast<INT>(bh), static_cast<INT>(bw * 4),
                                  PixelFormat32bppARGB, blocks.data(), &small) != Ok ||
        !small)
        return nullptr;
    GpImage* thumbnail = nullptr;
    if (GdipGetImageThumbnail(small, static_cast<UINT>(t.cx), static_cast<UINT>(t.cy), &thumbnail, nullptr,
                              nullptr) != Ok)
        thumbnail = nullptr;
    GdipDisposeImage(small);
    return thumbnail;
}

} // namespace

void ListViewItem::Decoded::Free()
{
    if (thumbnail)
        GdipDisposeImage(thumbnail);
    if (image)
        GdipDisposeImage(image);
    thumbnail = nullptr;
    image = nullptr;
}

ListViewItem::ListViewItem(const std::u16string& filePath) : path(filePath)
{
    const size_t slash = path.find_last_of(u"/\\");
    name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(u'.');
    if (dot != std::u16string::npos)
        extension = pictavo::platform::toLower(name.substr(dot + 1));
    fileSize = std::max<int64_t>(0, FileSizeOf(path));
    addedTime = changedTime = now();
}

ListViewItem::~ListViewItem()
{
    Decoded d{image, thumbnail};
    d.Free();
}

int64_t ListViewItem::FileSizeOf(const std::u16string& filePath)
{
    struct stat info;
    if (::stat(pictavo::platform::toUtf8(filePath).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return static_cast<int64_t>(info.st_size);
}

SIZE ListViewItem::FitThumbnail(UINT width, UINT height, int boxWidth, int boxHeight)
{
    if (width <= static_cast<UINT>(boxWidth) && height <= static_cast<UINT>(boxHeight))
        return SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
    const float s = std::min(static_cast<float>(boxWidth) / static_cast<float>(width),
                             static_cast<float>(boxHeight) / static_cast<float>(height));
    const auto side = [&](UINT v, int box) {
        return std::clamp<LONG>(static_cast<LONG>(s * static_cast<float>(v)), 1, box);
    };
    return SIZE{side(width, boxWidth), side(height, boxHeight)};
}

ListViewItem::Decoded ListViewItem::Decode(const std::u16string& filePath, int boxWidth, int boxHeight)
{
    Decoded d;
    if (GdipCreateBitmapFromFile(filePath.c_str(), &d.image) != Ok || !d.image) {
        d.image = nullptr;
        return d;
    }
    UINT frames = 0;
    if (GdipImageGetFrameDimensionsCount(d.image, &frames) != Ok || frames == 0) {
        d.Free();
        return d;
    }
    d.thumbnail = fitted(d.image, boxWidth, boxHeight);
    return d;
}

bool ListViewItem::Publish(Decoded& decoded)
{
    lock.Lock();
    const bool take = !thumbLoaded;
    Decoded old;
    if (take) {
        old = Decoded{image, thumbnail};
        image = decoded.image;
        thumbnail = decoded.thumbnail;
        imageReady = thumbnail != nullptr;
        thumbLoaded = true;
    }
    lock.Unlock();
    if (!take)
        old = decoded;
    // Outside the lock: a painter holds it while it draws the old thumbnail.
    old.Free();
    decoded = Decoded{};
    return take;
}

void ListViewItem::LoadThumbnail()
{
    Decoded d = Decode(path, 135, 104);
    lock.Lock();
    thumbLoaded = false;
    lock.Unlock();
    Publish(d);
}

void ListViewItem::SetPicture(GpBitmap* newImage, GpImage* newThumbnail, bool edited)
{
    lock.Lock();
    Decoded old{image, thumbnail};
    image = newImage;
    thumbnail = newThumbnail;
    imageReady = newImage != nullptr;
    thumbLoaded = true;
    m_edited = m_edited || edited;
    changedTime = now();
    lock.Unlock();
    old.Free();
    Redraw();
}

void ListViewItem::SetImage(GpImage* source)
{
    GpBitmap* copy = source ? CloneBitmap(static_cast<GpBitmap*>(source)) : nullptr;
    if (!copy)
        return;
    const int fw = owner ? owner->frameWidth : 148;
    const int fh = owner ? owner->frameHeight : 120;
    SetPicture(copy, fitted(copy, fw, fh), true);
}

void ListViewItem::TakeImage(GpBitmap* bitmap)
{
    if (!bitmap)
        return;
    PixelFormat format = 0;
    if (GdipGetImagePixelFormat(bitmap, &format) != Ok || format != PixelFormat32bppARGB) {
        SetImage(bitmap);
        GdipDisposeImage(bitmap);
        return;
    }
    const int fw = owner ? owner->frameWidth : 148;
    const int fh = owner ? owner->frameHeight : 120;
    // The old bitmap is let go, never written: a run that cloned it keeps its pixels.
    SetPicture(bitmap, fittedFromBlocks(bitmap, fw, fh), true);
}

bool ListViewItem::Turn(bool left)
{
    lock.Lock();
    GpBitmap* current = image;
    CxImage picture;
    if (current)
        CopyBitmapInto(current, picture);
    lock.Unlock();
    if (!picture.IsValid())
        return false;
    CxImage turned;
    if (!(left ? picture.Rotate90Left(&turned) : picture.Rotate90Right(&turned)))
        return false;
    const LONG w = static_cast<LONG>(turned.GetWidth()), h = static_cast<LONG>(turned.GetHeight());
    // Straight from the pixels, so the alpha channel survives the turn.
    std::vector<BYTE> argb(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x) {
            // Image rows are bottom-up.
            const RGBQUAD q = turned.PixelColour(x, h - 1 - y, true);
            BYTE* p = &argb[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4];
            p[0] = q.rgbBlue;
            p[1] = q.rgbGreen;
            p[2] = q.rgbRed;
            p[3] = turned.AlphaIsValid() ? q.rgbReserved : 255;
        }
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB, argb.data(), &bitmap) != Ok || !bitmap)
        return false;
    const int fw = owner ? owner->frameWidth : 148;
    const int fh = owner ? owner->frameHeight : 120;
    SetPicture(bitmap, fitted(bitmap, fw, fh), true);
    return true;
}

void ListViewItem::DropPicture()
{
    lock.Lock();
    GpBitmap* old = nullptr;
    if (!m_edited && image) {
        GpBitmap* fresh = nullptr;
        if (GdipCreateBitmapFromFile(path.c_str(), &fresh) == Ok && fresh) {
            old = image;
            image = fresh;
        }
    }
    lock.Unlock();
    if (old)
        GdipDisposeImage(old);
}

bool ListViewItem::IsLoaded()
{
    lock.Lock();
    const bool loaded = thumbLoaded;
    lock.Unlock();
    return loaded;
}

bool ListViewItem::IsImageReady()
{
    lock.Lock();
    const bool ready = imageReady;
    lock.Unlock();
    return ready;
}

void ListViewItem::SetStatus(int value)
{
    status = value;
    Redraw();
}

void ListViewItem::SetItemState(DWORD value)
{
    itemState = value;
    Redraw();
}

void ListViewItem::Select(POINT)
{
    itemState |= Selected;
    Redraw();
}

void ListViewItem::SizeForTotal(int64_t& out)
{
    out = std::max<int64_t>(0, FileSizeOf(path));
}

void ListViewItem::OnLButtonDown(POINT point)
{
    if (PtInRect(&rect, point))
        itemState |= Selected;
    else
        itemState = 0;
    Redraw();
}

void ListViewItem::OnMouseMove(POINT)
{
    if (!(itemState & Hovered)) {
        itemState |= Hovered;
        Redraw();
    }
}

void ListViewItem::OnMouseLeave()
{
    if (itemState & Hovered) {
        itemState &= ~static_cast<DWORD>(Hovered);
        Redraw();
    }
}

RECT ListViewItem::CaptionRect(const RECT& r) const
{
    const int fh = owner ? owner->frameHeight : 120;
    return RECT{r.left + 1, r.top + fh + 1, r.right - 1, r.bottom - 1};
}

void ListViewItem::PaintScrolled(Quendal::UI::CPaintEventArgs& e, int scroll)
{
    RECT r = rect;
    r.top -= scroll;
    r.bottom -= scroll;
    Draw(e, r);
}

void ListViewItem::Draw(Quendal::UI::CPaintEventArgs& e, const RECT& r)
{
    lock.Lock();
    if (thumbnail) {
        const RECT t = ThumbnailRect(r);
        GdipDrawImageRectI(e.graphics, thumbnail, t.left, t.top, t.right - t.left, t.bottom - t.top);
    }
    lock.Unlock();
    const int fw = owner ? owner->frameWidth : 148;
    const int fh = owner ? owner->frameHeight : 120;
    const COLORREF accent = owner ? owner->accentColour : 0xE9B454;
    Quendal::UI::FrameDouble(e.hdc, RECT{r.left, r.top, r.left + fw, r.top + fh},
                             (itemState & (Hovered | Selected)) ? 2 : 1, accent);
    DrawCaptionCentred(e.hdc, r);
}

void ListViewItem::DrawThumbnailCentred(GpGraphics* graphics, const RECT& box)
{
    // The caller holds lock.
    const ImageSize s = sizeOf(thumbnail);
    if (!s.width)
        return;
    const int x = (box.left + box.right) / 2 - static_cast<int>(s.width) / 2;
    const int y = (box.top + box.bottom) / 2 - static_cast<int>(s.height) / 2;
    GdipDrawImageRectI(graphics, thumbnail, x, y, static_cast<INT>(s.width), static_cast<INT>(s.height));
}

void ListViewItem::DrawCaptionCentred(HDC dc, const RECT& r)
{
    Quendal::UI::DrawText(dc, CaptionRect(r), name, DefaultFonts::Instance().textColour,
                          DefaultFonts::Instance().normalFont,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void ListViewItem::Redraw()
{
    if (owner)
        owner->RedrawItem(*this);
}

void ListViewItem::Describe(pictavo::platform::AutomationNode& node)
{
    node.className = KindName();
    node.text = name;
    node.id = id;
    node.state["selected"] = (itemState & Selected) ? u"1" : u"0";
    node.state["hover"] = (itemState & Hovered) ? u"1" : u"0";
    node.state["loaded"] = IsLoaded() ? u"1" : u"0";
    node.state["path"] = path;
}
