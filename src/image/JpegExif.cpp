#include "image/JpegExif.h"

#include <cstring>

namespace {

constexpr int kMaxSections = 20;
constexpr int kMaxNesting = 4;
constexpr uint32_t kFormatBytes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

} // namespace

bool JpegExif::Fail(const char* text)
{
    m_error = text;
    return false;
}

uint32_t JpegExif::Get16(const BYTE* p) const
{
    return m_motorola ? (uint32_t{p[0]} << 8) | p[1] : (uint32_t{p[1]} << 8) | p[0];
}

uint32_t JpegExif::Get32(const BYTE* p) const
{
    return m_motorola ? (Get16(p) << 16) | Get16(p + 2) : (Get16(p + 2) << 16) | Get16(p);
}

bool JpegExif::Read(CxFile* file)
{
    m_block.clear();
    m_error.clear();
    if (file == nullptr || file->GetC() != 0xFF || file->GetC() != 0xD8)
        return false;
    for (int sections = 0;; ++sections) {
        if (sections >= kMaxSections)
            return Fail("Too many sections in jpg file");
        if (file->GetC() != 0xFF)
            return Fail("invalid marker");
        int32_t marker = 0xFF;
        for (int pad = 0; marker == 0xFF; ++pad) {
            if (pad >= 16)
                return Fail("too many padding bytes\n");
            marker = file->GetC();
        }
        if (marker < 0)
            return Fail("Premature end of file?");
        if (marker == 0xD9)
            return Fail("No image in jpeg!\n");
        if (marker == 0xDA)
            return false; // image data follows without an EXIF block
        int32_t hi = file->GetC();
        int32_t lo = file->GetC();
        if (hi < 0 || lo < 0)
            return Fail("Premature end of file?");
        size_t length = (size_t(hi) << 8) | size_t(lo);
        if (length < 2)
            return Fail("invalid marker");
        length -= 2;
        if (marker == 0xE1) {
            std::vector<BYTE> data(length);
            if (file->Read(data.data(), 1, length) != length)
                return Fail("Premature end of file?");
            if (length >= 6 && std::memcmp(data.data(), "Exif\0\0", 6) == 0) {
                if (!Parse(data.data(), data.size()))
                    return false;
                m_block = std::move(data);
                return true;
            }
            continue;
        }
        if (!file->Seek(static_cast<int32_t>(length), 1) || file->Tell() > file->Size())
            return Fail("Premature end of file?");
    }
}

bool JpegExif::Parse(const BYTE* data, size_t length)
{
    m_orientation = 0;
    m_orientationAt = 0;
    if (data == nullptr || length < 6 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return Fail("Incorrect Exif header");
    m_tiff = data + 6;
    m_tiffLength = length - 6;
    if (m_tiffLength < 8)
        return Fail("Invalid Exif alignment marker.");
    if (std::memcmp(m_tiff, "II", 2) == 0)
        m_motorola = false;
    else if (std::memcmp(m_tiff, "MM", 2) == 0)
        m_motorola = true;
    else
        return Fail("Invalid Exif alignment marker.");
    uint32_t first = Get32(m_tiff + 4);
    if (Get16(m_tiff + 2) != 0x2A || first < 8 || first >= m_tiffLength)
        return Fail("Invalid Exif start (1)");
    return ProcessDir(first, 0);
}

bool JpegExif::ProcessDir(size_t offset, int nesting)
{
    if (nesting > kMaxNesting)
        return Fail("Maximum directory nesting exceeded (corrupt exif header)");
    if (offset + 2 > m_tiffLength)
        return Fail("Illegally sized directory");
    const BYTE* dir = m_tiff + offset;
    size_t entries = Get16(dir);
    if (offset + 2 + 12 * entries > m_tiffLength)
        return Fail("Illegally sized directory");

    for (size_t i = 0; i < entries; ++i) {
        const BYTE* entry = dir + 2 + 12 * i;
        uint32_t tag = Get16(entry);
        uint32_t format = Get16(entry + 2);
        uint64_t components = Get32(entry + 4);
        if (format < 1 || format > 12)
            return Fail("Illegal format code in EXIF dir");
        uint64_t bytes = components * kFormatBytes[format];
        const BYTE* value = entry + 8;
        if (bytes > 4) {
            uint64_t at = Get32(entry + 8);
            if (at + bytes > m_tiffLength)
                return Fail("Illegal pointer offset value in EXIF.");
            value = m_tiff + at;
        }
        switch (tag) {
        case 0x0112: {
            uint32_t v = format == 3 ? Get16(value) : format == 4 ? Get32(value) : value[0];
            if (components < 1 || v < 1 || v > 8)
                return Fail("Undefined rotation value");
            m_orientation = static_cast<int>(v);
            m_orientationAt = static_cast<size_t>(value - m_tiff);
            m_orientationFormat = format;
            break;
        }
        case 0x8769:   // EXIF sub-directory
        case 0x8825:   // GPS
        case 0xA005: { // interoperability
            if (bytes < 4)
                return Fail("Illegal subdirectory link");
            uint32_t sub = Get32(value);
            if (sub < 8 || sub >= m_tiffLength)
                return Fail("Illegal subdirectory link");
            if (!ProcessDir(sub, nesting + 1))
                return false;
            break;
        }
        default:
            break;
        }
    }

    size_t linkAt = offset + 2 + 12 * entries;
    if (linkAt + 4 <= m_tiffLength) {
        uint32_t next = Get32(m_tiff + linkAt);
        if (next != 0) {
            if (next < 8 || next >= m_tiffLength)
                return Fail("Illegal subdirectory link");
            return ProcessDir(next, nesting + 1);
        }
    }
    return true;
}

bool JpegExif::SetOrientation(std::vector<BYTE>& block, uint16_t orientation)
{
    if (!Parse(block.data(), block.size()) || m_orientation == 0)
        return false;
    BYTE* p = block.data() + 6 + m_orientationAt;
    if (m_orientationFormat == 3 || m_orientationFormat == 4) {
        // A LONG holds the value in its low half: its first two bytes in Motorola order.
        const bool longValue = m_orientationFormat == 4;
        if (m_motorola) {
            if (longValue) {
                p[0] = p[1] = 0;
                p += 2;
            }
            p[0] = static_cast<BYTE>(orientation >> 8);
            p[1] = static_cast<BYTE>(orientation & 0xFF);
        } else {
            p[0] = static_cast<BYTE>(orientation & 0xFF);
            p[1] = static_cast<BYTE>(orientation >> 8);
            if (longValue)
                p[2] = p[3] = 0;
        }
    } else {
        p[0] = static_cast<BYTE>(orientation);
    }
    m_orientation = orientation;
    return true;
}
