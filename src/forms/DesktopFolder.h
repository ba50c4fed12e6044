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

    Item* rootItem() const { return m_rootItem; }
    IShellFolder* folder() const { return m_folder; }
    IMalloc* allocator() const { return m_allocator; }

    // A new item for parent's list + child's, in the shell allocator's memory; null when the
    // list cannot be made.
    Item* CreateItem(const Item& parent, PCUITEMID_CHILD child);
    // The children of an item's folder (SHCONTF_FOLDERS), each a new item, in the shell's
    // order; none when the folder cannot be bound or enumerated.
    std::vector<Item*> EnumChildren(const Item& parent);

private:
    std::vector<Item*> m_items;
    IShellFolder* m_folder = nullptr;
    IMalloc* m_allocator = nullptr;
    LPITEMIDLIST m_emptyList = nullptr;
    Item* m_rootItem = nullptr;
};

} // namespace Quendal::Shell
