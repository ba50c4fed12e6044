#pragma once

#include "forms/Item.h"
#include "platform/com/ComPtr.h"

#include <vector>

namespace Quendal::Shell {

// The shell root: owns every Item made through it, and the root item for the desktop itself.
class DesktopFolder
{
public:
    DesktopFolder();
    virtual ~DesktopFolder();
    DesktopFolder(const DesktopFolder&) = delete;
    DesktopFolder& operator=(const DesktopFolder&) = delete;

    Item* rootItem() const { return rootItem_; }
    IShellFolder* folder() const { return folder_; }
    IMalloc* allocator() const { return allocator_; }

    // A new item for parent's list + child's, in the shell allocator's memory; null when the
    // list cannot be made.
    Item* CreateItem(const Item& parent, PCUITEMID_CHILD child);
    // The children of an item's folder (SHCONTF_FOLDERS), each a new item, in the shell's
    // order; none when the folder cannot be bound or enumerated.
    std::vector<Item*> EnumChildren(const Item& parent);

private:
    std::vector<Item*> items_;
    IShellFolder* folder_ = nullptr;
    IMalloc* allocator_ = nullptr;
    LPITEMIDLIST emptyList_ = nullptr;
    Item* rootItem_ = nullptr;
};

} // namespace Quendal::Shell
