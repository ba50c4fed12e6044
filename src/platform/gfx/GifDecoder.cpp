#include "platform/gfx/ImageDecoder.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <memory>

namespace pictavo::platform {
namespace {

struct Reader
{
    std::span<const uint8_t> data;
    size_t pos = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int size)
{
    auto* r = static_cast<Reader*>(gif->UserData);
    size_t n = std::min<size_t>(static_cast<size_t>(size), r->data.size() - r->pos);
    std::memcpy(buffer, r->data.data() + r->pos, n);
    r->pos += n;
    return static_cast<int>(n);
}

struct GifCloser
{
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

} // namespace

// First frame only, placed on the logical screen; pixels outside the frame stay transparent.
bool decodeGif(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out)
{
    Reader reader{data};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif || gif->SWidth <= 0 || gif->SHeight <= 0)
        return false;
    if (request.headerOnly) {
        out.width = gif->SWidth;
        out.height = gif->SHeight;
        return true;
    }
    int transparent = -1;
    GifRecordType type;
    do {
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
            return false;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR)
                return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
                    transparent = gcb.TransparentColor;
            }
            while (ext) {
                if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR)
                    return false;
            }
        }
    } while (type != IMAGE_DESC_RECORD_TYPE && type != TERMINATE_RECORD_TYPE);
    if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.get()) == GIF_ERROR)
        return false;
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || desc.Width <= 0 || desc.Height <= 0 || !withinDecodeBound(desc.Width, desc.Height))
        return false;
    if (!allocatePixels(out, gif->SWidth, gif->SHeight))
        return false;
    std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
    auto putRow = [&](int row) {
        int y = desc.Top + row;
        if (y < 0 || y >= out.height)
            return;
        uint8_t* dst = out.pixels.data() + static_cast<size_t>(y) * out.width * 4;
        for (int i = 0; i < desc.Width; ++i) {
            int x = desc.Left + i;
            int index = line[i];
            if (x < 0 || x >= out.width || index == transparent || index >= map->ColorCount)
                continue;
            const GifColorType& c = map->Colors[index];
            uint8_t* p = dst + x * 4;
            p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red, p[3] = 255;
        }
    };
    if (desc.Interlace) {
        static constexpr int start[] = {0, 4, 2, 1};
        static constexpr int step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int row = start[pass]; row < desc.Height; row += step[pass]) {
                if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR)
                    return false;
                putRow(row);
            }
    } else {
        for (int row = 0; row < desc.Height; ++row) {
            if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR)
                return false;
            putRow(row);
        }
    }
    return true;
}

} // namespace pictavo::platform
