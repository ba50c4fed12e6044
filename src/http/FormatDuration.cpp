#include "http/FormatDuration.h"

#include <cstdint>
#include <cstdio>

namespace {

void appendTwoDigits(std::u16string& out, int64_t value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%d", value <= 9 ? "0" : "", static_cast<int>(value));
    for (const char* p = buf; *p; ++p)
        out.push_back(static_cast<char16_t>(*p));
}

} // namespace

std::u16string FormatDuration(double seconds)
{
    if (!(seconds > 0))
        return u"00:00:00";
    // A remaining-time estimate can be infinite (speed 0); converting that to an integer is undefined.
    constexpr double limit = 9.0e18;
    const int64_t t = seconds >= limit ? static_cast<int64_t>(limit) : static_cast<int64_t>(seconds);
    const int64_t hours = t / 3600 - (t / 86400) * 24;
    const int64_t minutes = t / 60 - (t / 3600) * 60;
    const int64_t secs = t - (t / 60) * 60;
    std::u16string out;
    appendTwoDigits(out, hours);
    out.push_back(u':');
    appendTwoDigits(out, minutes);
    out.push_back(u':');
    appendTwoDigits(out, secs);
    return out;
}
