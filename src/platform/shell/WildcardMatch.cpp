#include "platform/shell/WildcardMatch.h"

#include "platform/kernel/Strings.h"

namespace pictavo::platform {

bool wildcardMatch(std::u16string_view pattern, std::u16string_view name)
{
    // Greedy with one backtrack point: linear for patterns like "*.ext".
    size_t p = 0, n = 0;
    size_t starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || toLower(pattern[p]) == toLower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace pictavo::platform
