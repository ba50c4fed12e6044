#pragma once

#include <string>
#include <sys/stat.h>

namespace Quendal::IO {

// Opens a path for reading without ever blocking and accepts only regular files below 2 GiB.
// Returns the descriptor, or -1 with errno set (EACCES for anything not a regular file,
// EFBIG for 2 GiB or more).
int OpenRegularFile(const std::u16string& path, struct stat& info);

} // namespace Quendal::IO
