#pragma once

// Turning one list picture into the bytes of its upload: the file as it is, or its current
// picture fitted, watermarked and encoded again.

#include "image/CxMemFile.h"
#include "platform/gfx/GdiPlus.h"

#include <cstdint>
#include <string>

// The page's settings that decide how a picture is sent, copied for the run.
struct UploadSettings
{
    int32_t compressSizeLimit = 0;
    uint16_t thumbnailWidth = 0;
    uint16_t thumbnailHeight = 0;
    bool watermark = false;
    std::u16string uploadFormat;
    uint16_t jpegQuality = 80;
    // The module whose resources hold the watermark picture.
    HMODULE resources = nullptr;
};

// What preparation needs of a list tile, taken on the window thread before the worker runs.
struct UploadPicture
{
    std::u16string path;
    std::u16string extension; // lower case, without the dot
    int64_t fileSize = 0;     // read when the tile was made
    GpBitmap* bitmap = nullptr; // the tile's current picture; not owned, not changed
    bool valid = false;
};

enum class PrepareResult
{
    Encoded,   // the buffer holds the bytes to send
    Unchanged, // send the file's own bytes (streamed by the caller; the buffer is empty)
    Failed     // nothing can be sent: no picture, an unreadable file, a picture too large
};

// Files of this size or more are always sent as they are.
constexpr int64_t kUnchangedFromSize = 20 * 1048576;

// Empties the buffer, then decides and, when re-encoding, fills it. A picture the encoder
// cannot write (a TIFF, say) is sent unchanged while its file is readable; nothing is ever
// reported as prepared with an empty body.
PrepareResult PreparePicture(const UploadPicture& picture, const UploadSettings& settings, CxMemFile& buffer);
// The name the file is sent under: its extension replaced by the upload format's, if any.
std::u16string UploadFileName(const std::u16string& fileName, const std::u16string& uploadFormat);
// A new bitmap owned by the caller: fitted into the box when both sides are set, else a copy.
GpBitmap* MakeUploadBitmap(GpBitmap* bitmap, const UploadSettings& settings);
// Draws the watermark picture centred (at 0 on a side where the picture is smaller).
void ApplyWatermark(GpBitmap* bitmap, HMODULE resources);
// Encodes the bitmap into the buffer in the upload format, or the format of path's extension;
// false when nothing could be written.
bool EncodeForUpload(CxMemFile& buffer, GpBitmap* bitmap, const std::u16string& path, const UploadSettings& settings);
// The file's bytes into the buffer; false when it cannot be read whole or is empty.
bool SendUnchanged(CxMemFile& buffer, const std::u16string& path);
// Whether the file can be sent unchanged: a regular, readable, non-empty file.
bool CanSendUnchanged(const std::u16string& path);
