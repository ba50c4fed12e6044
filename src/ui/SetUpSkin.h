#pragma once

#include "platform/kernel/WinTypes.h"

#include <span>

struct SkinPicture
{
    const char* name;
    int resourceId;
    int width;
    int height;
    bool alpha;
};

// Every skin picture the controls name, in loading order.
std::span<const SkinPicture> SkinPictures();
constexpr int kSpriteSheetId = 250;
constexpr int kWatermarkId = 249;

// Registers the sprites, loads the sprite sheet and the skin table from the module's "PNG"
// resources (the module this code is linked into when none is given). Counted: the table is
// loaded by the first user and emptied when the last one calls ReleaseSkin.
void SetUpSkin(HMODULE module = nullptr);
void ReleaseSkin();
