#pragma once

#include <string>

namespace pictavo::platform {

// A font as GDI describes it: face, height in pixels (negative: character height), weight.
struct FontSpec
{
    std::u16string face = u"新宋体";
    int height = 12;
    int weight = 400;
    bool italic = false;
    bool underline = false;
};

} // namespace pictavo::platform
