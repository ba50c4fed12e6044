#pragma once

#include "platform/shell/ShlObj.h"

#include <string>

namespace Quendal::Shell {

// One node of the folder tree. idList is absolute and belongs to the DesktopFolder that made
// the item, which frees it with the shell allocator.
class Item
{
public:
    explicit Item(LPITEMIDLIST absoluteIdList);
    virtual ~Item() = default;
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    std::u16string displayName;
    std::u16string fileSystemPath; // empty for virtual folders
    std::u16string typeName;
    int iconIndex = 0;
    LPITEMIDLIST idList;
};

} // namespace Quendal::Shell
