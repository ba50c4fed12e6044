#pragma once

#include "image/CxImage.h"

// Windows bitmap reader and writer.
class CxImageBMP : public CxImage
{
public:
    CxImageBMP() : CxImage(ImageFormat::Bmp) {}
    bool Decode(CxFile* file);
    bool Encode(CxFile* file);

private:
    bool DecodeRle(CxFile* file, bool fourBit);
};
