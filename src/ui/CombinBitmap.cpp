#include "ui/CombinBitmap.h"

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
        module = pictavo::platform::moduleContaining(reinterpret_cast<const void*>(&CombinBitmap::Instance));
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
    std::lock_guard lock(m_mutex);
    if (sheet)
        GdipDisposeImage(sheet);
    sheet = loaded;
    return loaded != nullptr;
}

void CombinBitmap::AddSprites(const std::vector<Sprite>& sprites)
{
    std::lock_guard lock(m_mutex);
    for (const Sprite& s : sprites)
        m_sprites[s.name] = GpRect{s.x, s.y, s.width, s.height};
}

void CombinBitmap::DrawSprite(GpGraphics* graphics, const std::u16string& name, int x, int y)
{
    std::lock_guard lock(m_mutex);
    auto it = m_sprites.find(name);
    if (!graphics || !sheet || it == m_sprites.end())
        return;
    const GpRect& s = it->second;
    GdipDrawImageRectRectI(graphics, sheet, x, y, s.Width, s.Height, s.X, s.Y, s.Width, s.Height, UnitPixel,
                           nullptr, nullptr, nullptr);
}

void CombinBitmap::DrawSpriteInRect(GpGraphics* graphics, const std::u16string& name, const RECT& rect)
{
    std::lock_guard lock(m_mutex);
    auto it = m_sprites.find(name);
    if (!graphics || !sheet || it == m_sprites.end())
        return;
    const GpRect& s = it->second;
    GdipDrawImageRectRectI(graphics, sheet, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                           s.X, s.Y, s.Width, s.Height, UnitPixel, nullptr, nullptr, nullptr);
}

bool CombinBitmap::HasSheet()
{
    std::lock_guard lock(m_mutex);
    return sheet != nullptr;
}

std::vector<CombinBitmap::Sprite> CombinBitmap::Sprites()
{
    std::lock_guard lock(m_mutex);
    std::vector<Sprite> out;
    for (const auto& [name, r] : m_sprites)
        out.push_back(Sprite{name, r.X, r.Y, r.Width, r.Height});
    return out;
}
