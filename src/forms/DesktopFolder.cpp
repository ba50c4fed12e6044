#include "forms/DesktopFolder.h"

#include <cstring>

namespace Quendal::Shell {

DesktopFolder::DesktopFolder()
{
    SHGetDesktopFolder(&m_folder);
    SHGetMalloc(&m_allocator);
    if (m_allocator) {
        m_emptyList = static_cast<LPITEMIDLIST>(m_allocator->Alloc(sizeof(USHORT)));
        if (m_emptyList)
            std::memset(m_emptyList, 0, sizeof(USHORT));
    }
    m_rootItem = new Item(m_emptyList);
}

DesktopFolder::~DesktopFolder()
{
    for (Item* item : m_items) {
        if (m_allocator)
            m_allocator->Free(item->idList);
        delete item;
    }
    delete m_rootItem;
    if (m_folder)
        m_folder->Release();
    if (m_allocator) {
        m_allocator->Free(m_emptyList);
        m_allocator->Release();
    }
}

Item* DesktopFolder::CreateItem(const Item& parent, PCUITEMID_CHILD child)
{
    if (!m_allocator || !parent.idList || !child)
        return nullptr;
    const UINT head = ILGetSize(parent.idList) - sizeof(USHORT);
    const UINT tail = ILGetSize(child);
    auto* bytes = static_cast<BYTE*>(m_allocator->Alloc(head + tail));
    if (!bytes)
        return nullptr;
    std::memcpy(bytes, parent.idList, head);
    std::memcpy(bytes + head, child, tail);
    Item* item = new Item(reinterpret_cast<LPITEMIDLIST>(bytes));
    m_items.push_back(item);
    return item;
}

std::vector<Item*> DesktopFolder::EnumChildren(const Item& parent)
{
    std::vector<Item*> children;
    if (!m_folder)
        return children;
    ComPtr<IShellFolder> bound;
    if (ILIsEmpty(parent.idList))
        bound = m_folder;
    else if (m_folder->BindToObject(parent.idList, nullptr, IID_IShellFolder,
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
        m_allocator->Free(child);
    }
    return children;
}

} // namespace Quendal::Shell
