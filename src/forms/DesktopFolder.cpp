#include "forms/DesktopFolder.h"

#include <cstring>

namespace Quendal::Shell {

DesktopFolder::DesktopFolder()
{
    SHGetDesktopFolder(&folder_);
    SHGetMalloc(&allocator_);
    if (allocator_) {
        emptyList_ = static_cast<LPITEMIDLIST>(allocator_->Alloc(sizeof(USHORT)));
        if (emptyList_)
            std::memset(emptyList_, 0, sizeof(USHORT));
    }
    rootItem_ = new Item(emptyList_);
}

DesktopFolder::~DesktopFolder()
{
    for (Item* item : items_) {
        if (allocator_)
            allocator_->Free(item->idList);
        delete item;
    }
    delete rootItem_;
    if (folder_)
        folder_->Release();
    if (allocator_) {
        allocator_->Free(emptyList_);
        allocator_->Release();
    }
}

Item* DesktopFolder::CreateItem(const Item& parent, PCUITEMID_CHILD child)
{
    if (!allocator_ || !parent.idList || !child)
        return nullptr;
    const UINT head = ILGetSize(parent.idList) - sizeof(USHORT);
    const UINT tail = ILGetSize(child);
    auto* bytes = static_cast<BYTE*>(allocator_->Alloc(head + tail));
    if (!bytes)
        return nullptr;
    std::memcpy(bytes, parent.idList, head);
    std::memcpy(bytes + head, child, tail);
    Item* item = new Item(reinterpret_cast<LPITEMIDLIST>(bytes));
    items_.push_back(item);
    return item;
}

std::vector<Item*> DesktopFolder::EnumChildren(const Item& parent)
{
    std::vector<Item*> children;
    if (!folder_)
        return children;
    ComPtr<IShellFolder> bound;
    if (ILIsEmpty(parent.idList))
        bound = folder_;
    else if (folder_->BindToObject(parent.idList, nullptr, IID_IShellFolder,
                                   reinterpret_cast<void**>(bound.GetAddressOf())) != S_OK)
        return children;
    ComPtr<IEnumIDList> list;
    if (bound->EnumObjects(nullptr, SHCONTF_FOLDERS, list.GetAddressOf()) != S_OK || !list)
        return children;
    LPITEMIDLIST child = nullptr;
    ULONG fetched = 0;
    while (list->Next(1, &child, &fetched) == S_OK && fetched == 1) {
        if (Item* item = CreateItem(parent, child))
            children.push_back(item);
        allocator_->Free(child);
    }
    return children;
}

} // namespace Quendal::Shell
