#include "platform/com/NameCompare.h"

namespace pictavo::platform {

namespace {

char16_t fold(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 32);
    return c;
}

} // namespace

bool namesEqual(const char16_t* a, const char16_t* b)
{
    if (!a || !b)
        return false;
    for (; *a && *b; ++a, ++b)
        if (fold(*a) != fold(*b))
            return false;
    return *a == *b;
}

} // namespace pictavo::platform
