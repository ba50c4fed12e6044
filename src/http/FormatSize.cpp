#include "http/FormatSize.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

namespace {

constexpr double KB = 1024.0;
constexpr double MB = 1048576.0;
constexpr double GB = MB * 1024.0;
constexpr double TB = GB * 1024.0;

std::u16string widen(const char* text, const char16_t* unit)
{
    std::u16string out;
    for (const char* p = text; *p; ++p)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    return out + unit;
}

std::u16string scaled(double value, double unit, const char16_t* name)
{
    // The quotient is a float; printing it straight from double would round differently.
    const float quotient = static_cast<float>(static_cast<double>(static_cast<float>(value)) / unit);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(quotient));
    return widen(buf, name);
}

} // namespace

std::u16string FormatSize(double value)
{
    // Negative or NaN input has no meaning as a size; show it as nothing rather than wrap.
    if (!(value > 0))
        value = 0;
    // The quotient is computed in float; a larger value would not convert.
    if (value > FLT_MAX)
        value = FLT_MAX;
    if (value >= TB)
        return scaled(value, TB, u"TB");
    if (value >= GB)
        return scaled(value, GB, u"GB");
    if (value >= MB)
        return scaled(value, MB, u"MB");
    char buf[64];
    if (value >= KB) {
        const double kb = static_cast<double>(static_cast<float>(value)) * (1.0f / 1024.0f);
        std::snprintf(buf, sizeof buf, "%.2f", kb);
        return widen(buf, u"KB");
    }
    std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(std::trunc(value)));
    return widen(buf, u"Bytes");
}
