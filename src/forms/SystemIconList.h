#pragma once

#include "platform/shell/ShlObj.h"

namespace Quendal::Shell {

// The system's small-icon image list, shared with the shell: never destroyed here.
class SystemIconList
{
public:
    SystemIconList();
    virtual ~SystemIconList() = default;

    HIMAGELIST GetHandle() const { return m_handle; }

private:
    HIMAGELIST m_handle = nullptr;
};

} // namespace Quendal::Shell
