#pragma once

#include "platform/gfx/GdiPlus.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

// 16 x 16 icons cut from one sheet picture. Created on first use, never freed.
class CombinBitmap
{
public:
    struct Sprite
    {
        std::u16string name;
        int x, y, width, height;
    };

    static CombinBitmap& Instance();

    // Replaces any earlier sheet; a missing or broken resource leaves no sheet.
    bool LoadSheet(int resourceId, HMODULE module = nullptr);
    void AddSprites(const std::vector<Sprite>& sprites);
    void DrawSprite(GpGraphics* graphics, const std::u16string& name, int x, int y);
    void DrawSpriteInRect(GpGraphics* graphics, const std::u16string& name, const RECT& rect);
    bool HasSheet();
    std::vector<Sprite> Sprites();

    COLORREF colourKey = 0xFF00FF;

private:
    CombinBitmap() = default;
    std::mutex m_mutex;
    GpBitmap* sheet = nullptr;
    std::map<std::u16string, GpRect> m_sprites;
};
