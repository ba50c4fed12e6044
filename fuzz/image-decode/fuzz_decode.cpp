// Decodes arbitrary bytes; small pictures that decode are encoded again in the same format.
#include "image/CxImage.h"
#include "image/CxMemFile.h"

#include <cstddef>
#include <cstdint>

#if defined(FUZZ_FORMAT_bmp)
constexpr DWORD kFormat = ImageFormat::Bmp;
#elif defined(FUZZ_FORMAT_jpg)
constexpr DWORD kFormat = ImageFormat::Jpg;
#elif defined(FUZZ_FORMAT_png)
constexpr DWORD kFormat = ImageFormat::Png;
#else
constexpr DWORD kFormat = ImageFormat::Unknown;
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4 * 1024 * 1024)
        return 0;
    CxMemFile file(const_cast<BYTE*>(data), static_cast<DWORD>(size));
    CxImage image;
    if (!image.Decode(&file, kFormat))
        return 0;
    if (uint64_t{image.GetWidth()} * image.GetHeight() <= 256 * 256) {
        CxMemFile out;
        out.Open();
        image.Encode(&out, image.GetType());
    }
    return 0;
}
