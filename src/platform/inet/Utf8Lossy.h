#pragma once

#include <string>
#include <string_view>

namespace pictavo::platform {

// UTF-8 as Win32 decodes it for display: anything malformed, a truncated tail included,
// becomes U+FFFD (unlike fromUtf8, which keeps stray bytes reversibly).
std::u16string decodeUtf8Lossy(std::string_view bytes);

} // namespace pictavo::platform
