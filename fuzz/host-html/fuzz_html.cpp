// Pages the host opens: whatever the markup, parsing ends and yields bounded pieces.

#include "HtmlPage.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    const HtmlPage page = HtmlPage::Parse(html);
    size_t params = 0;
    for (const auto& object : page.objects) {
        params += object.params.size();
        if (object.width < 0 || object.height < 0 || object.width > 100000 || object.height > 100000)
            std::abort();
    }
    // Every object, param and script came from a tag of its own: at least three bytes each.
    if ((page.objects.size() + params + page.scripts.size()) * 3 > size || page.title.size() > size)
        std::abort();
    for (const auto& script : page.scripts)
        if (script.text.size() > size)
            std::abort();
    return 0;
}
