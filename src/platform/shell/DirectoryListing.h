#pragma once

#include "platform/kernel/WinTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pictavo::platform {

struct DirectoryEntry
{
    std::string name; // the file system's bytes
    std::u16string wide;
    bool directory = false;
    bool readOnly = false;
    uint64_t size = 0;
    FILETIME created{};
    FILETIME accessed{};
    FILETIME written{};
};

// Display order of names: without regard to case, then byte for byte.
bool nameLess(std::u16string_view a, std::string_view aBytes, std::u16string_view b, std::string_view bBytes);

FILETIME fileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);

// The entries of a folder in display order, without "." and "..". accept (may be empty) picks
// names before anything else is read about them; details adds sizes, times and the read-only
// flag, otherwise only whether an entry is a folder (links followed) is known.
// False with errno set when the folder cannot be read.
bool listDirectory(const std::string& folder, const std::function<bool(std::u16string_view)>& accept,
                   bool details, std::vector<DirectoryEntry>& entries);

} // namespace pictavo::platform
