#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "platform/com/OleAuto.h"

// Settings the page gives through script, shared by every control in the process.
// The upload worker reads them while script may write: every value is taken under one lock,
// and strings are returned as copies rather than references.
class ConfigMgr
{
public:
    static ConfigMgr* Instance();

    ConfigMgr() = default;
    virtual ~ConfigMgr() = default;
    ConfigMgr(const ConfigMgr&) = delete;
    ConfigMgr& operator=(const ConfigMgr&) = delete;

    void SetWatermark(VARIANT_BOOL value);
    void SetJpegQuality(USHORT value);
    void SetImgCountLimit(int value);
    void SetImgSizeLimit(int value);
    void SetThumbnailWidth(USHORT value);
    void SetThumbnailHeight(USHORT value);
    void SetCompressSizeLimit(int value);
    void SetViewWidth(USHORT value);
    void SetViewHeight(USHORT value);
    void SetEncodeType(std::u16string_view value);
    void SetUploadFormat(std::u16string_view value);
    void SetFileFieldName(std::u16string_view value);
    void SetDefaultFolder(std::u16string_view value);

    bool Watermark() const;
    USHORT JpegQuality() const;
    int ImgCountLimit() const;
    int ImgSizeLimit() const;
    int ThumbnailWidth() const;
    int ThumbnailHeight() const;
    int CompressSizeLimit() const;
    std::pair<int, int> ViewSize() const;
    std::u16string EncodeType() const;
    std::u16string UploadFormat() const;
    std::u16string FileFieldName() const;
    std::u16string DefaultFolder() const;

    bool ExceedsSizeLimit(int64_t fileSize) const;
    bool CountLimitReached(int tileCount) const;

private:
    mutable std::mutex m_lock;
    bool m_watermark = false;
    USHORT m_jpegQuality = 80;
    int m_imgCountLimit = 300;
    int m_imgSizeLimit = 0;
    int m_thumbnailWidth = 0;
    int m_thumbnailHeight = 0;
    int m_compressSizeLimit = 0;
    int m_viewWidth = 488;
    int m_viewHeight = 324;
    std::u16string m_encodeType = u"UTF-8";
    std::u16string m_uploadFormat;
    std::u16string m_fileFieldName = u"img";
    std::u16string m_defaultFolder;
};
