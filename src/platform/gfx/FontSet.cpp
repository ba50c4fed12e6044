#include "platform/gfx/FontSet.h"

#include "platform/kernel/Strings.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#ifndef PICTAVO_FONTS_CONF
#define PICTAVO_FONTS_CONF ""
#endif

namespace pictavo::platform {

FontSet& FontSet::instance()
{
    static FontSet* set = new FontSet;
    return *set;
}

namespace {

// The variable, then the source tree's file, then one shipped beside this library.
std::string findConfig()
{
    const char* env = std::getenv("PICTAVO_FONTS_CONF");
    if (env && *env)
        return env;
    std::error_code ec;
    if (std::filesystem::exists(PICTAVO_FONTS_CONF, ec))
        return PICTAVO_FONTS_CONF;
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&findConfig), &self) && self.dli_fname) {
        auto dir = std::filesystem::absolute(self.dli_fname, ec).parent_path();
        for (auto candidate : {dir / "pictavo-fonts.conf", dir / "../share/pictavo/pictavo-fonts.conf"})
            if (std::filesystem::exists(candidate, ec))
                return candidate.lexically_normal().string();
    }
    return {};
}

} // namespace

FontSet::FontSet()
{
    std::string path = findConfig();
    PangoFontMap* map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    if (!path.empty() && path.front() == '/') {
        FcConfig* config = FcConfigCreate();
        if (FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(path.c_str()), FcTrue) &&
            FcConfigBuildFonts(config)) {
            pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), config);
            m_configPath = path;
        }
        FcConfigDestroy(config);
    }
    m_context = pango_font_map_create_context(map);
    g_object_unref(map);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(m_context, options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(m_context, 96);
}

PangoFontDescription* FontSet::describe(const FontSpec& font) const
{
    PangoFontDescription* d = pango_font_description_new();
    std::string family = toUtf8(font.face);
    pango_font_description_set_family(d, family.empty() ? "新宋体" : family.c_str());
    int px = font.height < 0 ? -font.height : font.height;
    pango_font_description_set_absolute_size(d, (px ? px : 12) * PANGO_SCALE);
    pango_font_description_set_weight(d, font.weight >= 600 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return d;
}

} // namespace pictavo::platform
