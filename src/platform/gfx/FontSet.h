#pragma once

#include <mutex>
#include <string>

typedef struct _PangoContext PangoContext;
typedef struct _PangoFontDescription PangoFontDescription;

namespace pictavo::platform {

// A font as GDI describes it: face, height in pixels (negative: character height), weight.
struct FontSpec
{
    std::u16string face = u"新宋体";
    int height = 12;
    int weight = 400;
    bool italic = false;
    bool underline = false;
};

// The process's fonts: the project's own fontconfig file (PICTAVO_FONTS_CONF or the one
// built in), handed to one Pango font map. Pango calls go through lock().
class FontSet
{
public:
    static FontSet& instance();
    // Where the fontconfig file was loaded from; empty when the system's fonts are used instead.
    const std::string& configPath() const { return m_configPath; }
    PangoContext* context() const { return m_context; }
    // Caller frees with pango_font_description_free.
    PangoFontDescription* describe(const FontSpec& font) const;
    std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock(m_mutex); }

private:
    FontSet();
    std::string m_configPath;
    PangoContext* m_context = nullptr;
    std::recursive_mutex m_mutex;
};

} // namespace pictavo::platform
