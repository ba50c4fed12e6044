#pragma once

#include "platform/ole/Ole2.h"

#include <map>
#include <mutex>
#include <string>

// The private clipboard formats of the process, by name.
class DragFormatRegistry
{
public:
    static DragFormatRegistry& Instance();

    void RegisterFormat(const std::u16string& name);
    FORMATETC GetFormat(const std::u16string& name) const;
    bool IsOffered(IDataObject* data) const;

private:
    DragFormatRegistry() = default;
    mutable std::mutex m_mutex;
    std::map<std::u16string, FORMATETC> m_formats;
};
