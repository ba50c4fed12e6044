#pragma once

#include "platform/controls/CommCtrl.h"
#include "platform/gfx/Bitmap.h"

#include <memory>
#include <mutex>
#include <vector>

namespace pictavo::platform {

// Images of one size kept as straight-alpha pictures; drawing blends them over the target.
class ImageList
{
public:
    ImageList(int cx, int cy, UINT flags) : m_cx(cx), m_cy(cy), m_flags(flags) {}

    static HIMAGELIST registerList(std::shared_ptr<ImageList> list);
    static std::shared_ptr<ImageList> find(HIMAGELIST handle);
    static bool unregisterList(HIMAGELIST handle);

    int cx() const { return m_cx; }
    int cy() const { return m_cy; }
    UINT flags() const { return m_flags; }
    int count() const;
    // Splits a strip into images of cx columns (a narrower strip gives one, padded clear).
    int addStrip(const Bitmap& strip);
    bool remove(int index);
    std::shared_ptr<Bitmap> image(int index) const;
    COLORREF bkColour() const;
    COLORREF setBkColour(COLORREF colour);

private:
    int m_cx;
    int m_cy;
    UINT m_flags;
    COLORREF m_bk = CLR_NONE;
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Bitmap>> m_images;
};

} // namespace pictavo::platform
