#pragma once

#include "image/CxFile.h"

#include <string>
#include <vector>

// Finds the EXIF block among a JPEG's header sections and checks its directory structure,
// so that a re-encoded picture carries only a block that is sound.
class JpegExif
{
public:
    // Scans the sections up to the first scan; true when an EXIF block was found and is sound.
    bool Read(CxFile* file);
    // Checks an APP1 payload starting with "Exif\0\0".
    bool Parse(const BYTE* data, size_t length);

    // Rewrites the orientation a sound block states (in place, same size); false when the
    // block is not sound or states none.
    bool SetOrientation(std::vector<BYTE>& block, uint16_t orientation);

    const std::vector<BYTE>& Block() const { return m_block; }
    const std::string& LastError() const { return m_error; }
    int Orientation() const { return m_orientation; }

private:
    bool Fail(const char* text);
    bool ProcessDir(size_t offset, int nesting);
    uint32_t Get16(const BYTE* p) const;
    uint32_t Get32(const BYTE* p) const;

    std::vector<BYTE> m_block;
    std::string m_error;
    const BYTE* m_tiff = nullptr;
    size_t m_tiffLength = 0;
    bool m_motorola = false;
    int m_orientation = 0;
    size_t m_orientationAt = 0; // offset of the value inside the TIFF data
    uint32_t m_orientationFormat = 0;
};
