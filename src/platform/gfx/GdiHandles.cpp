// The handle table, stock objects and what every handle answers.

#include "platform/gfx/Gdi.h"

#include "platform/gfx/GdiObjects.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace pictavo::platform {
namespace {

std::mutex& tableMutex()
{
    static std::mutex m;
    return m;
}
// Handles are serial numbers, never reused, so a stale handle cannot reach a newer object that
// happens to live at the old one's address.
std::unordered_map<uintptr_t, GdiObject*>& table()
{
    static auto* t = new std::unordered_map<uintptr_t, GdiObject*>;
    return *t;
}
uintptr_t nextHandle = 0x10000;

} // namespace

HGDIOBJ registerObject(GdiObject* object)
{
    std::lock_guard lock(tableMutex());
    uintptr_t handle = nextHandle;
    nextHandle += 4;
    table().emplace(handle, object);
    return reinterpret_cast<HGDIOBJ>(handle);
}

GdiObject* findObject(HGDIOBJ handle, int type)
{
    std::lock_guard lock(tableMutex());
    auto it = table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == table().end())
        return nullptr;
    GdiObject* o = it->second;
    if (type && o->type != type && !(type == OBJ_DC && o->type == OBJ_MEMDC))
        return nullptr;
    return o;
}

bool unregisterObject(HGDIOBJ handle)
{
    std::lock_guard lock(tableMutex());
    return table().erase(reinterpret_cast<uintptr_t>(handle)) > 0;
}

HGDIOBJ stockObject(int index)
{
    static GdiObject* objects[18] = {};
    static HGDIOBJ handles[18] = {};
    static std::once_flag once;
    std::call_once(once, [] {
        auto brush = [](int style, COLORREF c) {
            auto* b = new BrushObject;
            b->desc = BrushSpec{style, 0, c};
            return b;
        };
        auto pen = [](int style, COLORREF c) {
            auto* p = new PenObject;
            p->desc = PenSpec{style, 1, c};
            return p;
        };
        objects[WHITE_BRUSH] = brush(BS_SOLID, 0xFFFFFF);
        objects[LTGRAY_BRUSH] = brush(BS_SOLID, 0xC0C0C0);
        objects[GRAY_BRUSH] = brush(BS_SOLID, 0x808080);
        objects[DKGRAY_BRUSH] = brush(BS_SOLID, 0x404040);
        objects[BLACK_BRUSH] = brush(BS_SOLID, 0);
        objects[NULL_BRUSH] = brush(BS_NULL, 0);
        objects[WHITE_PEN] = pen(PS_SOLID, 0xFFFFFF);
        objects[BLACK_PEN] = pen(PS_SOLID, 0);
        objects[NULL_PEN] = pen(PS_NULL, 0);
        objects[SYSTEM_FONT] = new FontObject;
        objects[DEFAULT_GUI_FONT] = new FontObject;
        auto* one = new BitmapObject;
        one->pixels = Bitmap::create(1, 1, 0xFF000000);
        objects[kDefaultBitmap] = one;
        for (int i = 0; i < 18; ++i)
            if (objects[i]) {
                objects[i]->stock = true;
                handles[i] = registerObject(objects[i]);
            }
    });
    return index >= 0 && index < 18 ? handles[index] : nullptr;
}

} // namespace pictavo::platform

using namespace pictavo::platform;

BOOL DeleteObject(HGDIOBJ object)
{
    GdiObject* o = findObject(object);
    if (!o || o->type == OBJ_DC || o->type == OBJ_MEMDC)
        return FALSE;
    if (o->stock)
        return TRUE;
    if (o->type == OBJ_BITMAP && static_cast<BitmapObject*>(o)->selectedInto)
        return FALSE;
    unregisterObject(object);
    delete o;
    return TRUE;
}

HGDIOBJ GetStockObject(int index)
{
    return stockObject(index == kDefaultBitmap ? -1 : index);
}

int GetObjectW(HGDIOBJ object, int size, LPVOID out)
{
    GdiObject* o = findObject(object);
    if (!o)
        return 0;
    if (o->type == OBJ_BITMAP) {
        auto* bm = static_cast<BitmapObject*>(o);
        if (!out)
            return sizeof(BITMAP);
        if (size < static_cast<int>(sizeof(BITMAP)))
            return 0;
        BITMAP b{0,
                 bm->pixels->width(),
                 bm->pixels->height(),
                 bm->dib ? bm->rowBytes : bm->pixels->width() * 4,
                 1,
                 static_cast<WORD>(bm->dib ? bm->bpp : 32),
                 bm->dib ? bm->raw.data() : nullptr};
        std::memcpy(out, &b, sizeof b);
        return sizeof(BITMAP);
    }
    if (o->type == OBJ_FONT) {
        if (!out)
            return sizeof(LOGFONTW);
        if (size < static_cast<int>(sizeof(LOGFONTW)))
            return 0;
        std::memcpy(out, &static_cast<FontObject*>(o)->logFont, sizeof(LOGFONTW));
        return sizeof(LOGFONTW);
    }
    return 0;
}
