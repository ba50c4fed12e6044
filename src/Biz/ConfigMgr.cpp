#include "Biz/ConfigMgr.h"

#include "platform/kernel/Strings.h"

namespace {
constexpr int MaxImgCount = 300;
}

ConfigMgr* ConfigMgr::Instance()
{
    // Never destroyed: worker threads may still read settings while the process exits.
    static ConfigMgr* const instance = new ConfigMgr;
    return instance;
}

void ConfigMgr::SetWatermark(VARIANT_BOOL value)
{
    std::lock_guard guard(m_lock);
    m_watermark = value == VARIANT_TRUE;
}

void ConfigMgr::SetJpegQuality(USHORT value)
{
    std::lock_guard guard(m_lock);
    m_jpegQuality = value;
}

void ConfigMgr::SetImgCountLimit(int value)
{
    std::lock_guard guard(m_lock);
    m_imgCountLimit = value <= 0 || value >= MaxImgCount ? MaxImgCount : value;
}

void ConfigMgr::SetImgSizeLimit(int value)
{
    std::lock_guard guard(m_lock);
    m_imgSizeLimit = value < 0 ? 0 : value;
}

void ConfigMgr::SetThumbnailWidth(USHORT value)
{
    std::lock_guard guard(m_lock);
    m_thumbnailWidth = value;
}

void ConfigMgr::SetThumbnailHeight(USHORT value)
{
    std::lock_guard guard(m_lock);
    m_thumbnailHeight = value;
}

void ConfigMgr::SetCompressSizeLimit(int value)
{
    std::lock_guard guard(m_lock);
    m_compressSizeLimit = value;
}

void ConfigMgr::SetViewWidth(USHORT value)
{
    std::lock_guard guard(m_lock);
    m_viewWidth = value;
}

void ConfigMgr::SetViewHeight(USHORT value)
{
    std::lock_guard guard(m_lock);
    m_viewHeight = value;
}

void ConfigMgr::SetEncodeType(std::u16string_view value)
{
    std::lock_guard guard(m_lock);
    m_encodeType.assign(value);
}

void ConfigMgr::SetUploadFormat(std::u16string_view value)
{
    std::u16string lower = pictavo::platform::toLower(value);
    std::lock_guard guard(m_lock);
    m_uploadFormat = std::move(lower);
}

void ConfigMgr::SetFileFieldName(std::u16string_view value)
{
    std::lock_guard guard(m_lock);
    m_fileFieldName.assign(value);
}

void ConfigMgr::SetDefaultFolder(std::u16string_view value)
{
    std::lock_guard guard(m_lock);
    m_defaultFolder.assign(value);
}

bool ConfigMgr::Watermark() const
{
    std::lock_guard guard(m_lock);
    return m_watermark;
}

USHORT ConfigMgr::JpegQuality() const
{
    std::lock_guard guard(m_lock);
    return m_jpegQuality;
}

int ConfigMgr::ImgCountLimit() const
{
    std::lock_guard guard(m_lock);
    return m_imgCountLimit;
}

int ConfigMgr::ImgSizeLimit() const
{
    std::lock_guard guard(m_lock);
    return m_imgSizeLimit;
}

int ConfigMgr::ThumbnailWidth() const
{
    std::lock_guard guard(m_lock);
    return m_thumbnailWidth;
}

int ConfigMgr::ThumbnailHeight() const
{
    std::lock_guard guard(m_lock);
    return m_thumbnailHeight;
}

int ConfigMgr::CompressSizeLimit() const
{
    std::lock_guard guard(m_lock);
    return m_compressSizeLimit;
}

std::pair<int, int> ConfigMgr::ViewSize() const
{
    std::lock_guard guard(m_lock);
    return {m_viewWidth, m_viewHeight};
}

std::u16string ConfigMgr::EncodeType() const
{
    std::lock_guard guard(m_lock);
    return m_encodeType;
}

std::u16string ConfigMgr::UploadFormat() const
{
    std::lock_guard guard(m_lock);
    return m_uploadFormat;
}

std::u16string ConfigMgr::FileFieldName() const
{
    std::lock_guard guard(m_lock);
    return m_fileFieldName;
}

std::u16string ConfigMgr::DefaultFolder() const
{
    std::lock_guard guard(m_lock);
    return m_defaultFolder;
}

bool ConfigMgr::ExceedsSizeLimit(int64_t fileSize) const
{
    std::lock_guard guard(m_lock);
    return m_imgSizeLimit > 0 && fileSize > m_imgSizeLimit;
}

bool ConfigMgr::CountLimitReached(int tileCount) const
{
    std::lock_guard guard(m_lock);
    return tileCount >= m_imgCountLimit;
}
