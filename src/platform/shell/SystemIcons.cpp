#include "platform/shell/SystemIcons.h"

#include "platform/gfx/Bitmap.h"
#include "platform/controls/ImageList.h"

#include <array>
#include <cstdio>
#include <mutex>

namespace pictavo::platform {

namespace {

const char artSource[] =
#include "../../../res/icons/system-icons.inc"
    ;

constexpr int iconSize = 16;

const char* const iconNames[SystemIcons::Count] = {"folder",  "folder-open", "drive", "computer",
                                                   "desktop", "home",        "file",  "picture"};

std::mutex g_listLock;
HIMAGELIST g_list = nullptr;

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.back() == '\r' || s.back() == ' '))
        s.remove_suffix(1);
    return s;
}

HIMAGELIST build()
{
    std::string error;
    const std::vector<SystemIcons::Art> art = SystemIcons::parse(SystemIcons::source(), &error);
    HIMAGELIST list = ImageList_Create(iconSize, iconSize, ILC_COLOR32 | ILC_MASK, SystemIcons::Count, 0);
    if (!list)
        return nullptr;
    for (const char* name : iconNames) {
        std::shared_ptr<Bitmap> bitmap = Bitmap::create(iconSize, iconSize, 0);
        for (const SystemIcons::Art& a : art) {
            if (a.name != name || !bitmap)
                continue;
            uint8_t* px = bitmap->pixels();
            for (int i = 0; i < iconSize * iconSize; ++i) {
                px[i * 4 + 0] = static_cast<uint8_t>(a.argb[i]);
                px[i * 4 + 1] = static_cast<uint8_t>(a.argb[i] >> 8);
                px[i * 4 + 2] = static_cast<uint8_t>(a.argb[i] >> 16);
                px[i * 4 + 3] = static_cast<uint8_t>(a.argb[i] >> 24);
            }
            bitmap->changed();
        }
        // A missing picture still takes its place, so every index keeps its meaning.
        if (!bitmap || imageListAddBitmap(list, bitmap) < 0) {
            ImageList_Destroy(list);
            return nullptr;
        }
    }
    return list;
}

} // namespace

std::string_view SystemIcons::source()
{
    return artSource;
}

std::vector<SystemIcons::Art> SystemIcons::parse(std::string_view text, std::string* error)
{
    std::array<uint32_t, 128> palette{};
    std::array<bool, 128> known{};
    std::vector<Art> icons;
    enum
    {
        None,
        Palette,
        Icon
    } section = None;
    int line = 0;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "line " + std::to_string(line) + ": " + why;
        return std::vector<Art>{};
    };
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view row = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++line;
        if (row.empty() || row.substr(0, 2) == "//")
            continue;
        if (row == "palette") {
            section = Palette;
        } else if (row.substr(0, 5) == "icon ") {
            if (!icons.empty() && icons.back().argb.size() != iconSize * iconSize)
                return fail("icon " + icons.back().name + " is not 16 rows high");
            icons.push_back(Art{std::string(row.substr(5)), {}});
            section = Icon;
        } else if (section == Palette) {
            unsigned value = 0;
            const unsigned char c = static_cast<unsigned char>(row[0]);
            if (row.size() != 10 || row[1] != ' ' || c >= 128 ||
                std::sscanf(std::string(row.substr(2)).c_str(), "%8x", &value) != 1)
                return fail("palette entries are a character and AARRGGBB");
            palette[c] = value;
            known[c] = true;
        } else if (section == Icon) {
            Art& icon = icons.back();
            if (row.size() != iconSize || icon.argb.size() >= iconSize * iconSize)
                return fail("icon " + icon.name + " needs 16 rows of 16 pixels");
            for (char ch : row) {
                const unsigned char c = static_cast<unsigned char>(ch);
                if (c >= 128 || !known[c])
                    return fail(std::string("no palette entry for '") + ch + "'");
                icon.argb.push_back(palette[c]);
            }
        } else {
            return fail("text outside a palette or icon");
        }
        if (end == text.size())
            break;
    }
    if (!icons.empty() && icons.back().argb.size() != iconSize * iconSize)
        return fail("icon " + icons.back().name + " is not 16 rows high");
    return icons;
}

HIMAGELIST SystemIcons::smallList()
{
    std::lock_guard<std::mutex> guard(g_listLock);
    if (!g_list || !ImageList::find(g_list))
        g_list = build();
    return g_list;
}

} // namespace pictavo::platform
