#include "ui/DragFormatRegistry.h"

#include <vector>

namespace {
FORMATETC describe(CLIPFORMAT format)
{
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}
} // namespace

DragFormatRegistry& DragFormatRegistry::Instance()
{
    static DragFormatRegistry registry;
    return registry;
}

void DragFormatRegistry::RegisterFormat(const std::u16string& name)
{
    std::lock_guard lock(m_mutex);
    if (m_formats.count(name))
        return;
    UINT format = RegisterClipboardFormatW(name.c_str());
    if (format)
        m_formats.emplace(name, describe(static_cast<CLIPFORMAT>(format)));
}

FORMATETC DragFormatRegistry::GetFormat(const std::u16string& name) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_formats.find(name);
    return it == m_formats.end() ? describe(0) : it->second;
}

bool DragFormatRegistry::IsOffered(IDataObject* data) const
{
    if (!data)
        return false;
    std::vector<FORMATETC> formats;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [name, format] : m_formats)
            formats.push_back(format);
    }
    // Asked outside the lock: the data object is foreign code.
    for (FORMATETC& format : formats)
        if (data->QueryGetData(&format) == S_OK)
            return true;
    return false;
}
