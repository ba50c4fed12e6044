#pragma once

#include "image/CxImage.h"

// JPEG through libjpeg, with the EXIF block and the colour profile carried from decode to
// encode.
class CxImageJPG : public CxImage
{
public:
    // Codec option bits (the JPEG word of the codec options).
    enum : DWORD
    {
        EncBaseline = 0x01,
        EncProgressive = 0x04,
        EncSmooth = 0x10,
        EncSubsample422 = 0x1000,
        EncSubsample444 = 0x2000,
    };

    CxImageJPG() : CxImage(ImageFormat::Jpg) {}
    bool Decode(CxFile* file);
    bool Encode(CxFile* file);

private:
    // Everything between setjmp and the library's error exit lives here, never in C++ objects.
    bool DecodePixels(CxFile* file);
    bool EncodePixels(CxFile* file, const std::vector<BYTE>& exif);
};
