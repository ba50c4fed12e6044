#include "http/UrlComponents.h"

#include "platform/kernel/Strings.h"

namespace {

bool isSchemeChar(char16_t c, bool first)
{
    const bool alpha = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (first)
        return alpha;
    return alpha || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

} // namespace

bool UrlComponents::Split(const std::u16string& url)
{
    host.clear();
    path.clear();
    port = 0;
    secure = false;

    const size_t sep = url.find(u"://");
    if (sep == std::u16string::npos || sep == 0)
        return false;
    for (size_t i = 0; i < sep; ++i) {
        if (!isSchemeChar(url[i], i == 0))
            return false;
    }
    const std::u16string_view scheme(url.data(), sep);
    secure = pictavo::platform::equalsNoCase(scheme, u"https");
    // Any other scheme would be posted to as plain HTTP.
    if (!secure && !pictavo::platform::equalsNoCase(scheme, u"http"))
        return false;
    uint32_t defaultPort = secure ? 443 : 80;

    const size_t authorityStart = sep + 3;
    size_t authorityEnd = url.find_first_of(u"/?#", authorityStart);
    if (authorityEnd == std::u16string::npos)
        authorityEnd = url.size();
    std::u16string_view authority(url.data() + authorityStart, authorityEnd - authorityStart);
    if (const size_t at = authority.rfind(u'@'); at != std::u16string_view::npos)
        authority.remove_prefix(at + 1);

    std::u16string_view hostPart = authority;
    std::u16string_view portPart;
    if (!authority.empty() && authority[0] == u'[') {
        const size_t close = authority.find(u']');
        if (close == std::u16string_view::npos)
            return false;
        hostPart = authority.substr(1, close - 1);
        const std::u16string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != u':')
                return false;
            portPart = rest.substr(1);
        }
    } else if (const size_t colon = authority.rfind(u':'); colon != std::u16string_view::npos) {
        hostPart = authority.substr(0, colon);
        portPart = authority.substr(colon + 1);
    }

    uint32_t number = defaultPort;
    if (!portPart.empty()) {
        number = 0;
        for (const char16_t c : portPart) {
            if (c < u'0' || c > u'9')
                return false;
            number = number * 10 + (c - u'0');
            if (number > 65535)
                return false;
        }
        if (number == 0)
            return false;
    }

    std::u16string_view pathPart;
    if (authorityEnd < url.size() && url[authorityEnd] == u'/') {
        size_t end = url.find_first_of(u"?#", authorityEnd);
        if (end == std::u16string::npos)
            end = url.size();
        pathPart = std::u16string_view(url.data() + authorityEnd, end - authorityEnd);
    }
    if (hostPart.empty() || hostPart.size() >= kHostBuffer || pathPart.size() >= kPathBuffer)
        return false;

    host = hostPart;
    path = pathPart.empty() ? u"/" : std::u16string(pathPart);
    port = static_cast<uint16_t>(number);
    return true;
}
