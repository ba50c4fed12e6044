#include "ui/ImageLister.h"


#include "platform/com/Resource.h"
#include <vector>

namespace Quendal::UI {

ImageLister& ImageLister::Instance()
{
    static ImageLister* lister = new ImageLister;
    return *lister;
}

void ImageLister::Load(const std::string& name, int resourceId, HMODULE module)
{
    if (!module)
        module = pictavo::platform::moduleContaining(reinterpret_cast<const void*>(&ImageLister::Instance));
    auto image = std::make_unique<CxImage>();
    if (HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(resourceId), u"PNG"))
        image->LoadFromResource(res, ImageFormat::Png, module);
    std::lock_guard lock(m_mutex);
    Forget(name);
    m_images[name] = std::move(image);
}

CxImage* ImageLister::Find(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    auto it = m_images.find(name);
    return it == m_images.end() ? nullptr : it->second.get();
}

void ImageLister::Forget(const std::string& name)
{
    m_greys.erase(name);
    auto it = m_bitmaps.find(name);
    if (it != m_bitmaps.end()) {
        GdipDisposeImage(it->second);
        m_bitmaps.erase(it);
    }
}

GpBitmap* ImageLister::Bitmap(const std::string& name, CxImage& image)
{
    auto it = m_bitmaps.find(name);
    if (it != m_bitmaps.end())
        return it->second;
    GpBitmap* bitmap = nullptr;
    if (image.IsValid()) {
        const LONG w = static_cast<LONG>(image.GetWidth()), h = static_cast<LONG>(image.GetHeight());
        const bool keyed = image.GetBkgndIndex() >= 0;
        const RGBQUAD key = image.GetTransparentColour();
        std::vector<BYTE> argb(static_cast<size_t>(w) * h * 4);
        for (LONG y = 0; y < h; ++y)
            for (LONG x = 0; x < w; ++x) {
                // Image rows are bottom-up.
                const RGBQUAD c = image.PixelColour(x, h - 1 - y, false);
                int a = image.AlphaIsValid() ? image.AlphaGet(x, h - 1 - y) : 255;
                if (keyed && c.rgbBlue == key.rgbBlue && c.rgbGreen == key.rgbGreen && c.rgbRed == key.rgbRed)
                    a = 0;
                BYTE* p = &argb[(static_cast<size_t>(y) * w + x) * 4];
                p[0] = c.rgbBlue, p[1] = c.rgbGreen, p[2] = c.rgbRed, p[3] = static_cast<BYTE>(a);
            }
        if (GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB, argb.data(), &bitmap) != Ok)
            bitmap = nullptr;
    }
    m_bitmaps[name] = bitmap;
    return bitmap;
}

void ImageLister::DrawBitmap(HDC dc, GpBitmap* bitmap, const RECT& rect)
{
    GpGraphics* graphics = nullptr;
    if (!bitmap || !dc || GdipCreateFromHDC(dc, &graphics) != Ok)
        return;
    GdipSetInterpolationMode(graphics, InterpolationModeNearestNeighbor);
    GdipDrawImageRectI(graphics, bitmap, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    GdipDeleteGraphics(graphics);
}

void ImageLister::Draw(HDC dc, const std::string& name, POINT at)
{
    std::lock_guard lock(m_mutex);
    CxImage* image = Find(name);
    if (!image)
        return;
    DrawBitmap(dc, Bitmap(name, *image),
               RECT{at.x, at.y, at.x + static_cast<LONG>(image->GetWidth()), at.y + static_cast<LONG>(image->GetHeight())});
}

void ImageLister::DrawInRect(HDC dc, const std::string& name, const RECT& rect)
{
    std::lock_guard lock(m_mutex);
    if (CxImage* image = Find(name))
        DrawBitmap(dc, Bitmap(name, *image), rect);
}

void ImageLister::DrawGrey(HDC dc, const std::string& name, POINT at)
{
    std::lock_guard lock(m_mutex);
    CxImage* image = Find(name);
    if (!image || !image->IsValid())
        return;
    auto& grey = m_greys[name];
    if (!grey) {
        const LONG w = static_cast<LONG>(image->GetWidth()), h = static_cast<LONG>(image->GetHeight());
        grey = std::make_unique<CxImage>();
        if (grey->Create(static_cast<DWORD>(w), static_cast<DWORD>(h), 8)) {
            grey->SetGreyPalette();
            for (LONG y = 0; y < h; ++y)
                for (LONG x = 0; x < w; ++x) {
                    RGBQUAD c = image->PixelColour(x, y, false);
                    grey->SetPixelIndex(x, y, static_cast<BYTE>((306 * c.rgbRed + 601 * c.rgbGreen + 117 * c.rgbBlue) >> 10));
                }
            if (image->AlphaIsValid() && grey->AlphaCreate())
                for (LONG y = 0; y < h; ++y)
                    for (LONG x = 0; x < w; ++x)
                        grey->AlphaSet(x, y, image->AlphaGet(x, y));
            if (image->GetBkgndIndex() >= 0) {
                RGBQUAD t = image->GetTransparentColour();
                BYTE level = static_cast<BYTE>((306 * t.rgbRed + 601 * t.rgbGreen + 117 * t.rgbBlue) >> 10);
                grey->SetBkgndIndex(level);
            }
        }
    }
    grey->DrawTo(dc, at.x, at.y, -1, -1, nullptr, false);
}

int ImageLister::Width(const std::string& name)
{
    CxImage* image = Find(name);
    return image ? static_cast<int>(image->GetWidth()) : 0;
}

int ImageLister::Height(const std::string& name)
{
    CxImage* image = Find(name);
    return image ? static_cast<int>(image->GetHeight()) : 0;
}

size_t ImageLister::Count()
{
    std::lock_guard lock(m_mutex);
    return m_images.size();
}

void ImageLister::AddUser()
{
    std::lock_guard lock(m_mutex);
    ++m_users;
}

void ImageLister::ReleaseUser()
{
    std::lock_guard lock(m_mutex);
    if (m_users > 0 && --m_users == 0) {
        for (auto& [name, bitmap] : m_bitmaps)
            if (bitmap)
                GdipDisposeImage(bitmap);
        m_bitmaps.clear();
        m_images.clear();
        m_greys.clear();
    }
}

int ImageLister::Users()
{
    std::lock_guard lock(m_mutex);
    return m_users;
}

} // namespace Quendal::UI
