#pragma once

#include "platform/controls/CommCtrl.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace pictavo::platform {

struct AutomationNode;

// The "SysTreeView32" window. Items are addressed by serial handles that are never reused, so
// a handle kept past its item's deletion is refused. Every notification may change the tree
// (or destroy the window); callers look their items up again afterwards.
class TreeViewControl
{
public:
    static bool registerClass();

private:
    struct Node
    {
        UINT_PTR id = 0;
        Node* parent = nullptr;
        Node* first = nullptr;
        Node* last = nullptr;
        Node* prev = nullptr;
        Node* next = nullptr;
        std::u16string text;
        bool textCallback = false;
        int image = 0;
        int selectedImage = 0;
        int children = kChildrenAuto;
        LPARAM param = 0;
        UINT state = 0; // stored bits; expanded and selected are kept apart
        bool expanded = false;
        int depth = 0;
        int row = -1;
        unsigned rowGen = 0;
        int textWidth = -1;
    };
    static constexpr int kChildrenAuto = -2;

    // One row as painted, copied so drawing never touches items a callback may delete.
    struct RowPaint
    {
        int depth;
        std::u16string text;
        int image;
        bool button;
        bool expanded;
        bool selected;
        bool hasPrev;
        bool hasNext;
        int textWidth;
        std::vector<bool> ancestorNext; // per level above: a later sibling continues the line
    };

    explicit TreeViewControl(HWND hwnd);
    static LRESULT proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    Node* find(HTREEITEM item) const;
    Node* find(UINT_PTR id) const;
    static HTREEITEM handleOf(const Node* node);
    bool alive() const { return !m_dead; }

    // Items.
    HTREEITEM insert(const TVINSERTSTRUCTW* is);
    bool deleteItem(Node* node);
    bool getItem(TVITEMW* item);
    bool setItem(const TVITEMW* item);
    bool hasChildren(Node* node);
    HTREEITEM nextItem(UINT code, HTREEITEM item);
    bool sortChildren(const TVSORTCB* sort);
    void changed();
    void markBars();

    // Expansion and selection, notifying the parent.
    bool expand(Node* node, UINT code, bool byUser);
    void expandAll(Node* node);
    bool select(Node* node, UINT action);
    bool ensureVisible(Node* node, bool expandParents);
    bool isDescendant(const Node* node, const Node* ancestor) const;

    // Layout.
    void ensureRows();
    int rowOf(Node* node);
    Node* rowNode(int row);
    int rowCount();
    int itemHeight() const { return m_itemHeight; }
    int fullRows() const;
    int levelX(int depth) const;
    int columnX(int depth) const;
    int textWidth(const std::u16string& text);
    int labelLeft(int depth) const;
    void measureFont();
    bool itemRect(Node* node, bool textOnly, RECT& out);
    HTREEITEM hitTest(TVHITTESTINFO& info);
    void scrollTo(int top, int x);
    void updateScrollBars();
    void invalidateRow(Node* node);
    void invalidateAll();

    // Painting and the automation's description.
    void paint(HDC dc, const RECT& clip);
    bool collectRows(int first, int last, std::vector<RowPaint>& out, bool callbacks);
    void drawRow(HDC dc, const RowPaint& row, int y, int clientWidth);
    void describe(AutomationNode& node);

    // Input.
    void onButtonDown(POINT pt, bool doubleClick);
    void onKey(UINT vk);
    void onScroll(int bar, WORD code);

    // Notifications.
    LRESULT notify(UINT code, NMHDR& header);
    void fillItem(TVITEMW& item, Node* node);
    bool dispInfo(Node* node, UINT mask, std::u16string* text, int* image, int* selectedImage, int* children);

    HWND m_hwnd;
    bool m_dead = false;
    Node m_root;
    std::unordered_map<UINT_PTR, std::unique_ptr<Node>> m_nodes;
    UINT_PTR m_caret = 0;
    UINT_PTR m_dropHilite = 0;
    unsigned m_gen = 0;

    std::vector<Node*> m_rows;
    bool m_rowsDirty = true;
    unsigned m_rowsGen = 0;
    int m_contentWidth = 0;
    int m_top = 0;
    UINT_PTR m_topId = 0;
    int m_xOffset = 0;
    int m_wheelRemainder = 0;
    bool m_updatingBars = false;
    bool m_barsDirty = true;
    bool m_barsPosted = false;

    HIMAGELIST m_images = nullptr;
    HIMAGELIST m_stateImages = nullptr;
    HFONT m_font = nullptr;
    HFONT m_ownFont = nullptr;
    HDC m_measureDc = nullptr;
    std::unordered_map<char32_t, int> m_glyphWidths;
    int m_textHeight = 13;
    int m_itemHeight = 16;
    int m_indent = 19;
    int m_iconCx = 0;
    int m_iconCy = 0;
};

} // namespace pictavo::platform
