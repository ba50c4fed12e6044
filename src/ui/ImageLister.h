#pragma once

#include "image/CxImage.h"
#include "platform/gfx/GdiPlus.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace Quendal::UI {

// The skin: pictures by name, decoded from the module's "PNG" resources. One table for the
// process; it is emptied only when the last of its users has released it.
class ImageLister
{
public:
    static ImageLister& Instance();

    // A resource that is missing or does not decode leaves an empty image under the name.
    void Load(const std::string& name, int resourceId, HMODULE module = nullptr);
    CxImage* Find(const std::string& name);
    void Draw(HDC dc, const std::string& name, POINT at);
    void DrawInRect(HDC dc, const std::string& name, const RECT& rect);
    // A grey copy with the picture's own transparency (disabled icons).
    void DrawGrey(HDC dc, const std::string& name, POINT at);
    int Width(const std::string& name);
    int Height(const std::string& name);
    size_t Count();

    // Counted users of the table (each control that set the skin up).
    void AddUser();
    void ReleaseUser();
    int Users();

private:
    ImageLister() = default;
    // The picture as a straight-alpha ARGB bitmap, made on first use: drawing it composes
    // the alpha onto the target as the image object does, without its per-pixel path.
    GpBitmap* Bitmap(const std::string& name, CxImage& image);
    void DrawBitmap(HDC dc, GpBitmap* bitmap, const RECT& rect);
    void Forget(const std::string& name);

    std::recursive_mutex m_mutex;
    std::map<std::string, std::unique_ptr<CxImage>> m_images;
    std::map<std::string, std::unique_ptr<CxImage>> m_greys;
    std::map<std::string, GpBitmap*> m_bitmaps;
    int m_users = 0;
};

} // namespace Quendal::UI
