#pragma once

#include "forms/DesktopFolder.h"
#include "platform/controls/CommCtrl.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The shell folder tree of the add dialog: the desktop, its children and, populated as they
// are expanded, every folder below; reopens a remembered folder.
class FolderTree
{
public:
    // One per tree item, held in the item's lParam; owned here.
    struct Node
    {
        bool populated = false;
        Quendal::Shell::Item* item = nullptr;
    };

    explicit FolderTree(Quendal::Shell::DesktopFolder& desktop) : m_desktop(desktop) {}
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    HWND Create(HWND parent, int id, const RECT& rect, HIMAGELIST icons);
    HWND Handle() const { return m_tree; }
    // The desktop and its children; then, when remembered names a folder, that folder (or
    // its nearest existing parent) selected with the folders above it expanded.
    void Build(const std::u16string& remembered);
    // A WM_NOTIFY from the tree; true when answered, with the answer in result.
    bool OnNotify(const NMHDR& header, LRESULT& result);

    // A folder was selected: its file-system path, empty for virtual folders.
    std::function<void(const std::u16string&)> folderSelected;

private:
    HTREEITEM Insert(HTREEITEM parent, Node* node, const std::u16string& text, int icon);
    HTREEITEM InsertFolder(HTREEITEM parent, Quendal::Shell::Item* item);
    Node* NodeOf(HTREEITEM item) const;
    void Populate(HTREEITEM item);
    void Reopen(const std::u16string& folder);
    // Selects folder below item, or the deepest folder on its way that exists.
    void Descend(HTREEITEM item, const std::u16string& folder);
    void Select(HTREEITEM item);
    static int CompareNodes(LPARAM a, LPARAM b, LPARAM);

    Quendal::Shell::DesktopFolder& m_desktop;
    HWND m_tree = nullptr;
    HTREEITEM m_computer = nullptr;
    std::vector<std::unique_ptr<Node>> m_nodes;
};
