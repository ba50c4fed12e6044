#pragma once

#include "image/CxImage.h"

// PNG through libpng: 8-bit RGB, RGBA and palette images.
class CxImagePNG : public CxImage
{
public:
    CxImagePNG() : CxImage(ImageFormat::Png) {}
    ~CxImagePNG() override;
    bool Decode(CxFile* file);
    bool Encode(CxFile* file);

private:
    void FreeScratch();

    // Buffers that must survive libpng's non-local error exit to be freed.
    BYTE* m_scratch = nullptr;
    BYTE** m_rows = nullptr;
};
