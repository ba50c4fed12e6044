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
    ImageList(int cx, int cy, UINT flags) : cx_(cx), cy_(cy), flags_(flags) {}

    static HIMAGELIST registerList(std::shared_ptr<ImageList> list);
    static std::shared_ptr<ImageList> find(HIMAGELIST handle);
    static bool unregisterList(HIMAGELIST handle);

    int cx() const { return cx_; }
    int cy() const { return cy_; }
    UINT flags() const { return flags_; }
    int count() const;
    // Splits a strip into images of cx columns (a narrower strip gives one, padded clear).
    int addStrip(const Bitmap& strip);
    bool remove(int index);
    std::shared_ptr<Bitmap> image(int index) const;
    COLORREF bkColour() const;
    COLORREF setBkColour(COLORREF colour);

private:
    int cx_;
    int cy_;
    UINT flags_;
    COLORREF bk_ = CLR_NONE;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Bitmap>> images_;
};

} // namespace pictavo::platform
