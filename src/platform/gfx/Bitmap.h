#pragma once

#include "platform/gfx/ImageDecoder.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pictavo::platform {

// A 32-bit picture: straight alpha, bytes B, G, R, A, top-down rows of width * 4 bytes.
// One made from a file keeps only its path and size until its pixels are first needed, so a
// list of many photos holds only their thumbnails.
class Bitmap
{
public:
    // Cleared to the given ARGB value; null beyond the decode bound.
    static std::shared_ptr<Bitmap> create(int width, int height, uint32_t argb = 0);
    static std::shared_ptr<Bitmap> fromPixels(int width, int height, const uint8_t* bgra, int stride);
    static std::shared_ptr<Bitmap> fromMemory(std::vector<uint8_t> encoded);
    static std::shared_ptr<Bitmap> fromFile(const std::string& path);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_ * 4; }
    PictureFormat format() const { return format_; }
    bool decoded() const;

    // Decodes on first use; null when the source cannot be decoded (again).
    uint8_t* pixels();
    // Call after writing pixels directly, so cached drawing copies are rebuilt.
    void changed();

    // A picture fitted to exactly width x height from the source's own pixels (JPEGs decoded
    // at the smallest DCT scale covering the size), averaged over each target pixel's area.
    std::shared_ptr<Bitmap> thumbnail(int width, int height);
    std::shared_ptr<Bitmap> copyArea(int x, int y, int width, int height);

    // False when the picture cannot be decoded or the file cannot be written.
    bool savePng(const std::string& path);

private:
    friend class BitmapSurface;
    struct DrawingCopy;

    Bitmap(int width, int height);
    bool decodeLocked();
    bool readSource(std::vector<uint8_t>& bytes) const;

    int width_;
    int height_;
    PictureFormat format_ = PictureFormat::Unknown;
    mutable std::mutex mutex_;
    std::vector<uint8_t> pixels_;
    bool decoded_ = false;
    bool failed_ = false;
    std::string path_;
    std::vector<uint8_t> encoded_;
    std::unique_ptr<DrawingCopy> drawingCopy_; // built on demand, dropped by changed()
};

// Area-average resampling of straight-alpha BGRA (weights by alpha so transparent pixels do
// not darken edges); enlarging replicates pixels.
void resampleArea(const uint8_t* src, int sw, int sh, int srcStride, uint8_t* dst, int dw, int dh);

} // namespace pictavo::platform
