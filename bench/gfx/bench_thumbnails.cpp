// The list view's loading pass: for every picture a GDI+ bitmap from the file and a thumbnail
// fitted into 135 x 104, all kept alive as the list keeps them. One thread.
//   bench-gfx-thumbnails FILE...    prints seconds, peak resident KiB and the thumbnail count

#include "image/ImageBridges.h"
#include "platform/gfx/GdiPlus.h"
#include "platform/kernel/Strings.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    struct Tile
    {
        GpBitmap* bitmap;
        GpImage* thumbnail;
    };
    std::vector<Tile> tiles;
    auto start = std::chrono::steady_clock::now();
    for (int i = 1; i < argc; ++i) {
        GpBitmap* bitmap = nullptr;
        if (GdipCreateBitmapFromFile(pictavo::platform::fromUtf8(argv[i]).c_str(), &bitmap) != Ok)
            continue;
        UINT w = 0, h = 0;
        GdipGetImageWidth(bitmap, &w);
        GdipGetImageHeight(bitmap, &h);
        SIZE size{};
        FitSize(static_cast<LONG>(w), static_cast<LONG>(h), 135, 104, &size);
        GpImage* thumbnail = nullptr;
        GdipGetImageThumbnail(bitmap, static_cast<UINT>(size.cx), static_cast<UINT>(size.cy), &thumbnail,
                              nullptr, nullptr);
        tiles.push_back({bitmap, thumbnail});
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int made = 0;
    for (Tile& t : tiles) {
        made += t.thumbnail != nullptr;
        GdipDisposeImage(t.thumbnail);
        GdipDisposeImage(t.bitmap);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f %ld %d\n", seconds, usage.ru_maxrss, made);
    return made == argc - 1 ? 0 : 1;
}
