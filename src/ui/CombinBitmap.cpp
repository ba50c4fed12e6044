#include "ui/CombinBitmap.h"

#include "module/Module.h"
#include "platform/com/Resource.h"
#include "platform/gfx/MemoryStream.h"

CombinBitmap& CombinBitmap::Instance()
{
    static CombinBitmap* atlas = new CombinBitmap;
    return *atlas;
}

bool CombinBitmap::LoadSheet(int resourceId, HMODULE module)
{
    if (!module)
        module = Module::Handle();
    GpBitmap* loaded = nullptr;
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(resourceId), u"PNG");
    if (res) {
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
        const DWORD size = SizeofResource(module, res);
        if (data && size) {
            auto* stream = new pictavo::platform::MemoryStream(std::vector<uint8_t>(data, data + size));
            if (GdipCreateBitmapFromStream(stream, &loaded) != Ok)
                loaded = nullptr;
            stream->Release();
        }
    }
    std::lock_guard lock(mutex_);
    if (sheet_)
        GdipDisposeImage(sheet_);
    sheet_ = loaded;
    return loaded != nullptr;
}

void CombinBitmap::AddSprites(const std::vector<Sprite>& sprites)
{
    std::lock_guard lock(mutex_);
    for (const Sprite& s : sprites)
        sprites_[s.name] = GpRect{s.x, s.y, s.width, s.height};
}

void CombinBitmap::DrawSprite(GpGraphics* graphics, const std::u16string& name, int x, int y)
{
    std::lock_guard lock(mutex_);
    auto it = sprites_.find(name);
    if (!graphics || !sheet_ || it == sprites_.end())
        return;
    const GpRect& s = it->second;
    GdipDrawImageRectRectI(graphics, sheet_, x, y, s.Width, s.Height, s.X, s.Y, s.Width, s.Height, UnitPixel,
                           nullptr, nullptr, nullptr);
}

void CombinBitmap::DrawSpriteInRect(GpGraphics* graphics, const std::u16string& name, const RECT& rect)
{
    std::lock_guard lock(mutex_);
    auto it = sprites_.find(name);
    if (!graphics || !sheet_ || it == sprites_.end())
        return;
    const GpRect& s = it->second;
    GdipDrawImageRectRectI(graphics, sheet_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                           s.X, s.Y, s.Width, s.Height, UnitPixel, nullptr, nullptr, nullptr);
}

bool CombinBitmap::HasSheet()
{
    std::lock_guard lock(mutex_);
    return sheet_ != nullptr;
}

std::vector<CombinBitmap::Sprite> CombinBitmap::Sprites()
{
    std::lock_guard lock(mutex_);
    std::vector<Sprite> out;
    for (const auto& [name, r] : sprites_)
        out.push_back(Sprite{name, r.X, r.Y, r.Width, r.Height});
    return out;
}
