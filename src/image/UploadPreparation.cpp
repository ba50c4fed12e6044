#include "image/UploadPreparation.h"

#include "image/CxImage.h"
#include "image/ImageBridges.h"
#include "io/File.h"
#include "io/FileFunctions.h"
#include "platform/com/Resource.h"
#include "platform/gfx/Stream.h"

#include <algorithm>

namespace {

std::u16string lower(std::u16string text)
{
    for (auto& c : text)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return text;
}

bool equalsIgnoringCase(const std::u16string& a, const char16_t* b)
{
    return lower(a) == lower(b);
}

struct BitmapHolder
{
    GpBitmap* bitmap;
    ~BitmapHolder()
    {
        if (bitmap)
            GdipDisposeImage(bitmap);
    }
};

} // namespace

std::u16string UploadFileName(const std::u16string& fileName, const std::u16string& uploadFormat)
{
    // Names that would not fit the 260-character buffer keep their own extension rather than
    // being cut into a different name.
    if (uploadFormat.empty() || fileName.size() >= 260 - 4)
        return fileName;
    static const char16_t* const formats[] = {u"jpg", u"png", u"gif", u"bmp", u"tif"};
    for (const char16_t* format : formats) {
        if (!equalsIgnoringCase(uploadFormat, format))
            continue;
        const size_t slash = fileName.find_last_of(u'/');
        const size_t start = slash == std::u16string::npos ? 0 : slash + 1;
        size_t dot = fileName.find_last_of(u'.');
        if (dot == std::u16string::npos || dot < start)
            dot = fileName.size();
        return fileName.substr(0, dot) + u"." + format;
    }
    return fileName;
}

GpBitmap* MakeUploadBitmap(GpBitmap* bitmap, const UploadSettings& settings)
{
    if (!bitmap)
        return nullptr;
    if (settings.thumbnailWidth && settings.thumbnailHeight) {
        UINT width = 0, height = 0;
        GdipGetImageWidth(bitmap, &width);
        GdipGetImageHeight(bitmap, &height);
        return static_cast<GpBitmap*>(MakeFittedBitmap(static_cast<LONG>(width), static_cast<LONG>(height),
                                                       settings.thumbnailWidth, settings.thumbnailHeight, bitmap));
    }
    return CloneBitmap(bitmap);
}

void ApplyWatermark(GpBitmap* bitmap, HMODULE resources)
{
    HRSRC resource = FindResourceW(resources, MAKEINTRESOURCEW(249), u"PNG");
    const void* bytes = resource ? LockResource(LoadResource(resources, resource)) : nullptr;
    if (!bitmap || !bytes)
        return;
    IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(bytes), SizeofResource(resources, resource));
    if (!stream)
        return;
    GpBitmap* mark = nullptr;
    GdipCreateBitmapFromStream(stream, &mark);
    stream->Release();
    BitmapHolder markHolder{mark};
    UINT width = 0, height = 0, markWidth = 0, markHeight = 0;
    GpGraphics* graphics = nullptr;
    if (!mark || GdipGetImageWidth(bitmap, &width) != Ok || GdipGetImageHeight(bitmap, &height) != Ok ||
        GdipGetImageWidth(mark, &markWidth) != Ok || GdipGetImageHeight(mark, &markHeight) != Ok ||
        GdipGetImageGraphicsContext(bitmap, &graphics) != Ok)
        return;
    const INT x = width >= markWidth ? static_cast<INT>((width - markWidth) >> 1) : 0;
    const INT y = height >= markHeight ? static_cast<INT>((height - markHeight) >> 1) : 0;
    GdipDrawImageRectI(graphics, mark, x, y, static_cast<INT>(markWidth), static_cast<INT>(markHeight));
    GdipDeleteGraphics(graphics);
}

bool EncodeForUpload(CxMemFile& buffer, GpBitmap* bitmap, const std::u16string& path, const UploadSettings& settings)
{
    CxImage image;
    if (!bitmap || CopyBitmapInto(bitmap, image) != Ok || !image.IsValid())
        return false;
    const int32_t quality = settings.jpegQuality & 0xFF;
    if (equalsIgnoringCase(settings.uploadFormat, u"jpg")) {
        // Pictures from a bitmap are 24-bit already; this only matters for palette images.
        image.PromoteBitDepth(24);
        image.SetQuality(quality);
        return image.Encode(&buffer, ImageFormat::Jpg) && buffer.Size() > 0;
    }
    const size_t slash = path.find_last_of(u'/');
    const size_t dot = path.find_last_of(u'.');
    std::u16string extension;
    if (dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash))
        extension = lower(path.substr(dot));
    extension.erase(std::remove(extension.begin(), extension.end(), u'.'), extension.end());
    if (extension == u"jpg")
        image.SetQuality(quality);
    return image.Encode(&buffer, CxImage::FormatFromExtension(extension.c_str())) && buffer.Size() > 0;
}

bool CanSendUnchanged(const std::u16string& path)
{
    Quendal::IO::File file;
    return file.Open(path) && file.GetSize() > 0;
}

bool SendUnchanged(CxMemFile& buffer, const std::u16string& path)
{
    Quendal::IO::File file;
    if (!file.Open(path) || file.GetSize() <= 0)
        return false;
    file.SetBufferSize(file.GetSize());
    if (!file.Read() || file.GetCount() != file.GetSize())
        return false;
    return buffer.Write(file.GetBuffer(), static_cast<size_t>(file.GetCount()), 1) == 1;
}

PrepareResult PreparePicture(const UploadPicture& picture, const UploadSettings& settings, CxMemFile& buffer)
{
    buffer.Close();
    buffer.Open();
    if (!picture.bitmap || !picture.valid)
        return PrepareResult::Failed;
    auto unchanged = [&] { return CanSendUnchanged(picture.path) ? PrepareResult::Unchanged : PrepareResult::Failed; };
    if (picture.extension == u"gif" || picture.fileSize >= kUnchangedFromSize)
        return unchanged();
    if (QueryFileSize(picture.path) <= settings.compressSizeLimit)
        return unchanged();

    BitmapHolder upload{MakeUploadBitmap(picture.bitmap, settings)};
    if (!upload.bitmap)
        return PrepareResult::Failed;
    if (settings.watermark)
        ApplyWatermark(upload.bitmap, settings.resources);
    if (EncodeForUpload(buffer, upload.bitmap, picture.path, settings))
        return PrepareResult::Encoded;
    // Nothing was written (a format the encoder has no writer for, a picture beyond the image
    // object's limits): the file's own bytes, or nothing at all, but never an empty body.
    buffer.Close();
    buffer.Open();
    return unchanged();
}
