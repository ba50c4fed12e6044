// Upload URLs split for connecting, and answer headers decoded for the charset check.

#include "http/UrlComponents.h"
#include "platform/inet/Utf8Lossy.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = pictavo::platform::decodeUtf8Lossy(bytes);
    if (text.size() > bytes.size())
        std::abort();
    UrlComponents url;
    if (url.Split(text)) {
        if (url.host.empty() || url.host.size() >= UrlComponents::kHostBuffer || url.path.empty() ||
            url.path[0] != u'/' || url.path.size() >= UrlComponents::kPathBuffer || url.port == 0)
            std::abort();
    } else if (!url.host.empty() || !url.path.empty()) {
        std::abort();
    }
    return 0;
}
