#pragma once

#include <string>

// Size of a regular file; 0 after a message box (caption "000") when it cannot be opened.
// Folders, pipes and devices count as unopenable (EACCES), files of 2 GiB or more too (EFBIG).
int QueryFileSize(const std::u16string& path);
// Last write time in local time, "%Y-%m-%d %H:%M:%S"; "00:00:00" when it cannot be read.
std::u16string FormatLastWriteTime(const std::u16string& path);
