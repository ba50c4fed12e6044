#pragma once

#include <string>

// A byte quantity with a binary unit and no blank: "1.50KB", "1023Bytes".
std::u16string FormatSize(double value);
