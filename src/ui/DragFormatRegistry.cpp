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
    std::lock_guard lock(mutex_);
    if (formats_.count(name))
        return;
    UINT format = RegisterClipboardFormatW(name.c_str());
    if (format)
        formats_.emplace(name, describe(static_cast<CLIPFORMAT>(format)));
}

FORMATETC DragFormatRegistry::GetFormat(const std::u16string& name) const
{
    std::lock_guard lock(mutex_);
    auto it = formats_.find(name);
    return it == formats_.end() ? describe(0) : it->second;
}

bool DragFormatRegistry::IsOffered(IDataObject* data) const
{
    if (!data)
        return false;
    std::vector<FORMATETC> formats;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [name, format] : formats_)
            formats.push_back(format);
    }
    // Asked outside the lock: the data object is foreign code.
    for (FORMATETC& format : formats)
        if (data->QueryGetData(&format) == S_OK)
            return true;
    return false;
}
