#pragma once

#include "platform/gfx/FontDescription.h"

#include <mutex>
#include <string>

typedef struct _PangoContext PangoContext;
typedef struct _PangoFontDescription PangoFontDescription;

namespace pictavo::platform {

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
