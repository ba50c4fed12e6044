#pragma once

#include <string>

// Seconds as "HH:MM:SS"; whole days are dropped, so hours stay below 24.
std::u16string FormatDuration(double seconds);
