#pragma once

#include "platform/controls/CommCtrl.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pictavo::platform {

// The system small-icon list: our own 16 x 16 art (res/icons/system-icons.inc), one image
// per entry below, in this order.
class SystemIcons
{
public:
    enum Index
    {
        Folder = 0,
        FolderOpen,
        Drive,
        Computer,
        Desktop,
        Home,
        File,
        Picture,
        Count
    };

    // Made on first use and kept for the process; made again if someone destroyed it.
    static HIMAGELIST smallList();

    struct Art
    {
        std::string name;
        std::vector<uint32_t> argb; // 16 x 16, rows top-down
    };
    // The art source: a palette ("palette", then "C AARRGGBB" lines) and "icon NAME" blocks of
    // 16 rows of 16 palette characters. Empty, with *error set, when anything is malformed.
    static std::vector<Art> parse(std::string_view source, std::string* error);
    static std::string_view source();
};

} // namespace pictavo::platform
