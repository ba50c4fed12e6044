#include "forms/FolderTree.h"

#include "platform/shell/ShlwApi.h"

namespace {

constexpr const char16_t* kPlaceholder = u"加载中...";

bool isComputer(const std::u16string& name)
{
    return name == u"我的电脑" || name == u"计算机";
}

} // namespace

HWND FolderTree::Create(HWND parent, int id, const RECT& rect, HIMAGELIST icons)
{
    // WS_TABSTOP so the keyboard reaches it; TVS_SHOWSELALWAYS keeps the listed folder marked
    // while the tiles have the focus.
    m_tree = CreateWindowExW(0, WC_TREEVIEWW, u"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_SHOWSELALWAYS,
                            rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                            reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
    if (m_tree)
        SendMessageW(m_tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(icons));
    return m_tree;
}

HTREEITEM FolderTree::Insert(HTREEITEM parent, Node* node, const std::u16string& text, int icon)
{
    std::u16string label = text;
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = label.data();
    insert.item.iImage = icon;
    insert.item.iSelectedImage = icon;
    insert.item.lParam = reinterpret_cast<LPARAM>(node);
    return TreeView_InsertItem(m_tree, &insert);
}

HTREEITEM FolderTree::InsertFolder(HTREEITEM parent, Quendal::Shell::Item* item)
{
    m_nodes.push_back(std::make_unique<Node>(Node{false, item}));
    HTREEITEM inserted = Insert(parent, m_nodes.back().get(), item->displayName, item->iconIndex);
    // Every folder offers a button until it is opened and found empty.
    if (inserted)
        Insert(inserted, nullptr, kPlaceholder, item->iconIndex);
    return inserted;
}

FolderTree::Node* FolderTree::NodeOf(HTREEITEM item) const
{
    if (!item)
        return nullptr;
    TVITEMW query{};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    if (!SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query)))
        return nullptr;
    return reinterpret_cast<Node*>(query.lParam);
}

void FolderTree::Build(const std::u16string& remembered)
{
    if (!m_tree)
        return;
    Quendal::Shell::Item* root = m_desktop.rootItem();
    m_nodes.push_back(std::make_unique<Node>(Node{true, root}));
    Node* rootNode = m_nodes.back().get();
    HTREEITEM rootItem = Insert(TVI_ROOT, rootNode, root->displayName, root->iconIndex);
    for (Quendal::Shell::Item* child : m_desktop.EnumChildren(*root)) {
        HTREEITEM inserted = InsertFolder(rootItem, child);
        if (!m_computer && isComputer(child->displayName))
            m_computer = inserted;
    }
    TreeView_Expand(m_tree, rootItem, TVE_EXPAND);
    if (!remembered.empty() && m_computer)
        Reopen(remembered);
}

int FolderTree::CompareNodes(LPARAM a, LPARAM b, LPARAM)
{
    const auto* left = reinterpret_cast<const Node*>(a);
    const auto* right = reinterpret_cast<const Node*>(b);
    const std::u16string none;
    const std::u16string& l = left && left->item ? left->item->fileSystemPath : none;
    const std::u16string& r = right && right->item ? right->item->fileSystemPath : none;
    if (l.empty() || r.empty())
        return l.empty() == r.empty() ? 0 : (l.empty() ? -1 : 1);
    return StrCmpW(l.c_str(), r.c_str());
}

void FolderTree::Populate(HTREEITEM item)
{
    Node* node = NodeOf(item);
    if (!node || node->populated || !node->item)
        return;
    node->populated = true;
    while (HTREEITEM child = TreeView_GetChild(m_tree, item))
        if (!TreeView_DeleteItem(m_tree, child))
            break;
    for (Quendal::Shell::Item* child : m_desktop.EnumChildren(*node->item))
        InsertFolder(item, child);
    // The drives keep the order the computer gives them.
    if (node->item->displayName != u"我的电脑") {
        TVSORTCB sort{item, &FolderTree::CompareNodes, 0};
        SendMessageW(m_tree, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
    }
}

void FolderTree::Select(HTREEITEM item)
{
    TreeView_SelectItem(m_tree, item);
}

void FolderTree::Reopen(const std::u16string& remembered)
{
    std::u16string folder = remembered;
    while (folder.size() > 1 && folder.back() == u'/')
        folder.pop_back();
    if (folder.size() >= MAX_PATH)
        return;
    WCHAR root[MAX_PATH]{};
    folder.copy(root, folder.size());
    if (!PathStripToRootW(root))
        return;
    Populate(m_computer);
    TreeView_Expand(m_tree, m_computer, TVE_EXPAND);
    for (HTREEITEM drive = TreeView_GetChild(m_tree, m_computer); drive; drive = TreeView_GetNextSibling(m_tree, drive)) {
        const Node* node = NodeOf(drive);
        if (node && node->item && node->item->fileSystemPath == root) {
            Descend(drive, folder);
            return;
        }
    }
}

void FolderTree::Descend(HTREEITEM item, const std::u16string& folder)
{
    // Whole path components only, so "/data/ph" never leads into "/data/photos".
    for (;;) {
        const Node* node = NodeOf(item);
        if (!node || !node->item || node->item->fileSystemPath == folder)
            break;
        Populate(item);
        TreeView_Expand(m_tree, item, TVE_EXPAND);
        HTREEITEM next = nullptr;
        for (HTREEITEM child = TreeView_GetChild(m_tree, item); child && !next;
             child = TreeView_GetNextSibling(m_tree, child)) {
            const Node* c = NodeOf(child);
            if (c && c->item && !c->item->fileSystemPath.empty() &&
                PathIsPrefixW(c->item->fileSystemPath.c_str(), folder.c_str()))
                next = child;
        }
        // A folder that is gone opens its nearest parent that is still there.
        if (!next)
            break;
        item = next;
    }
    Select(item);
}

bool FolderTree::OnNotify(const NMHDR& header, LRESULT& result)
{
    if (header.hwndFrom != m_tree)
        return false;
    const auto& info = reinterpret_cast<const NMTREEVIEWW&>(header);
    if (header.code == TVN_ITEMEXPANDINGW) {
        if ((info.action & TVE_EXPAND) && !(info.action & TVE_COLLAPSE))
            Populate(info.itemNew.hItem);
        result = FALSE;
        return true;
    }
    if (header.code == TVN_SELCHANGEDW) {
        const Node* node = reinterpret_cast<const Node*>(info.itemNew.lParam);
        if (folderSelected)
            folderSelected(node && node->item ? node->item->fileSystemPath : std::u16string());
        result = 0;
        return true;
    }
    return false;
}
