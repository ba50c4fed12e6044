#include "platform/controls/TreeViewControl.h"

#include "platform/win/AutomationNode.h"
#include "platform/win/Dialog.h"
#include "platform/win/WindowHooks.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <unordered_set>

#ifndef VK_MULTIPLY
#define VK_MULTIPLY 0x6A
#endif
#ifndef VK_ADD
#define VK_ADD 0x6B
#endif
#ifndef VK_SUBTRACT
#define VK_SUBTRACT 0x6D
#endif

namespace pictavo::platform {

namespace {

// Handles are unique across every tree of the process, so one tree refuses another's items.
std::atomic<UINT_PTR> g_nextItem{1};

constexpr COLORREF kHighlight = RGB(51, 153, 255);
constexpr COLORREF kHighlightText = RGB(255, 255, 255);
constexpr COLORREF kInactiveHighlight = RGB(240, 240, 240);
constexpr COLORREF kLines = RGB(128, 128, 128);
constexpr int kDispTextMax = 260;
constexpr size_t kForeignTextMax = 4096;
constexpr size_t kExpandAllLimit = 100000;
// Posted to itself so the scroll bars follow a burst of changes once, before anyone looks.
constexpr UINT kUpdateBars = TV_FIRST + 0xF0;

[[maybe_unused]] const bool g_registered = TreeViewControl::registerClass();

std::u16string foreignText(LPCWSTR text)
{
    if (!text || text == LPSTR_TEXTCALLBACKW)
        return {};
    size_t n = 0;
    while (n < kForeignTextMax && text[n])
        ++n;
    return std::u16string(text, n);
}

int compareNoCase(const std::u16string& a, const std::u16string& b)
{
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = fold(a[i]), y = fold(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

bool TreeViewControl::registerClass()
{
    static const bool ok = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &TreeViewControl::proc;
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.lpszClassName = WC_TREEVIEWW;
        return RegisterClassExW(&wc) != 0;
    }();
    return ok;
}

TreeViewControl::TreeViewControl(HWND hwnd) : m_hwnd(hwnd)
{
    m_root.expanded = true;
    m_root.depth = -1;
    m_ownFont = CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 0, 0, 0, 0, 32, u"新宋体");
    m_font = m_ownFont;
    m_measureDc = CreateCompatibleDC(nullptr);
    measureFont();
}

LRESULT TreeViewControl::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TreeViewControl*>(GetWindowLongPtrW(hwnd, 0));
    if (message == WM_NCCREATE && !self) {
        self = new TreeViewControl(hwnd);
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(self));
        // The object outlives any call still running when the window goes.
        setFinalCallback(hwnd, [self] {
            DeleteDC(self->m_measureDc);
            if (self->m_ownFont)
                DeleteObject(self->m_ownFont);
            delete self;
        });
    }
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        self->m_dead = true;
        SetWindowLongPtrW(hwnd, 0, 0);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

TreeViewControl::Node* TreeViewControl::find(UINT_PTR id) const
{
    if (!id)
        return nullptr;
    auto it = m_nodes.find(id);
    return it == m_nodes.end() ? nullptr : it->second.get();
}

TreeViewControl::Node* TreeViewControl::find(HTREEITEM item) const
{
    return find(reinterpret_cast<UINT_PTR>(item));
}

HTREEITEM TreeViewControl::handleOf(const Node* node)
{
    return node ? reinterpret_cast<HTREEITEM>(node->id) : nullptr;
}

LRESULT TreeViewControl::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case TVM_INSERTITEMW:
        return reinterpret_cast<LRESULT>(insert(reinterpret_cast<const TVINSERTSTRUCTW*>(lParam)));
    case TVM_DELETEITEM: {
        auto item = reinterpret_cast<HTREEITEM>(lParam);
        if (!item || item == TVI_ROOT)
            return deleteItem(&m_root);
        Node* n = find(item);
        return n ? deleteItem(n) : FALSE;
    }
    case TVM_EXPAND: {
        Node* n = find(reinterpret_cast<HTREEITEM>(lParam));
        return n ? expand(n, static_cast<UINT>(wParam), false) : FALSE;
    }
    case TVM_SELECTITEM: {
        auto item = reinterpret_cast<HTREEITEM>(lParam);
        Node* n = find(item);
        if (item && !n)
            return FALSE;
        switch (wParam) {
        case TVGN_CARET:
            return select(n, TVC_UNKNOWN);
        case TVGN_FIRSTVISIBLE:
            if (!n || !ensureVisible(n, true))
                return FALSE;
            ensureRows();
            scrollTo(rowOf(n), m_xOffset);
            return TRUE;
        case TVGN_DROPHILITE: {
            if (Node* old = find(m_dropHilite))
                invalidateRow(old);
            m_dropHilite = n ? n->id : 0;
            if (n)
                invalidateRow(n);
            return TRUE;
        }
        }
        return FALSE;
    }
    case TVM_GETNEXTITEM:
        return reinterpret_cast<LRESULT>(nextItem(static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam)));
    case TVM_GETITEMW:
        return getItem(reinterpret_cast<TVITEMW*>(lParam));
    case TVM_SETITEMW:
        return setItem(reinterpret_cast<const TVITEMW*>(lParam));
    case TVM_GETCOUNT:
        return static_cast<LRESULT>(m_nodes.size());
    case TVM_GETVISIBLECOUNT:
        return fullRows();
    case TVM_GETINDENT:
        return m_indent;
    case TVM_GETITEMHEIGHT:
        return m_itemHeight;
    case TVM_ENSUREVISIBLE: {
        Node* n = find(reinterpret_cast<HTREEITEM>(lParam));
        return n ? ensureVisible(n, true) : FALSE;
    }
    case TVM_SORTCHILDRENCB:
        return sortChildren(reinterpret_cast<const TVSORTCB*>(lParam));
    case TVM_SETIMAGELIST: {
        HIMAGELIST& slot = wParam == TVSIL_STATE ? m_stateImages : m_images;
        HIMAGELIST old = slot;
        slot = reinterpret_cast<HIMAGELIST>(lParam);
        measureFont();
        changed();
        return reinterpret_cast<LRESULT>(old);
    }
    case TVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE ? m_stateImages : m_images);
    case TVM_HITTEST: {
        auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
        return info ? reinterpret_cast<LRESULT>(hitTest(*info)) : 0;
    }
    case TVM_GETITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (!rect)
            return FALSE;
        HTREEITEM item;
        static_assert(sizeof item <= sizeof *rect);
        std::memcpy(&item, rect, sizeof item);
        Node* n = find(item);
        return n && itemRect(n, wParam != 0, *rect);
    }
    case WM_SETFONT:
        m_font = wParam ? reinterpret_cast<HFONT>(wParam) : m_ownFont;
        measureFont();
        changed();
        if (LOWORD(lParam))
            UpdateWindow(m_hwnd);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_font);
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SIZE:
        updateScrollBars();
        invalidateAll();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        if (m_barsDirty)
            updateScrollBars();
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hwnd, &ps);
        if (dc)
            paint(dc, ps.rcPaint);
        EndPaint(m_hwnd, &ps);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        if (Node* c = find(m_caret))
            invalidateRow(c);
        NMHDR h{};
        notify(message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS, h);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        onButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, message == WM_LBUTTONDBLCLK);
        return 0;
    case WM_RBUTTONDOWN: {
        NMHDR h{};
        notify(NM_RCLICK, h);
        return 0;
    }
    case WM_KEYDOWN:
        onKey(static_cast<UINT>(wParam));
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        onScroll(message == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        m_wheelRemainder += GET_WHEEL_DELTA_WPARAM(wParam);
        const int notches = m_wheelRemainder / WHEEL_DELTA;
        m_wheelRemainder -= notches * WHEEL_DELTA;
        if (notches) {
            ensureRows();
            scrollTo(m_top - notches * 3, m_xOffset);
        }
        return 0;
    }
    case kUpdateBars:
        m_barsPosted = false;
        if (m_barsDirty)
            updateScrollBars();
        return 0;
    case WM_PICTAVO_DESCRIBE:
        if (m_barsDirty)
            updateScrollBars();
        if (auto* node = reinterpret_cast<AutomationNode*>(lParam))
            describe(*node);
        return TRUE;
    case WM_DESTROY:
        // The parent frees what it keeps in the items' lParam on TVN_DELETEITEMW.
        deleteItem(&m_root);
        return 0;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

// ---- items

HTREEITEM TreeViewControl::insert(const TVINSERTSTRUCTW* is)
{
    if (!is)
        return nullptr;
    Node* parent = (!is->hParent || is->hParent == TVI_ROOT) ? &m_root : find(is->hParent);
    if (!parent)
        return nullptr;
    const TVITEMW& it = is->item;
    auto node = std::make_unique<Node>();
    node->id = g_nextItem++;
    node->parent = parent;
    node->depth = parent->depth + 1;
    if (it.mask & TVIF_TEXT) {
        node->textCallback = it.pszText == LPSTR_TEXTCALLBACKW;
        node->text = foreignText(it.pszText);
    }
    if (it.mask & TVIF_IMAGE)
        node->image = it.iImage;
    if (it.mask & TVIF_SELECTEDIMAGE)
        node->selectedImage = it.iSelectedImage;
    if (it.mask & TVIF_PARAM)
        node->param = it.lParam;
    if (it.mask & TVIF_CHILDREN)
        node->children = it.cChildren == I_CHILDRENCALLBACK ? I_CHILDRENCALLBACK : (it.cChildren ? 1 : 0);
    if (it.mask & TVIF_STATE) {
        const UINT kept = it.stateMask & ~(TVIS_SELECTED | TVIS_EXPANDED);
        node->state = (node->state & ~kept) | (it.state & kept);
        if (it.stateMask & TVIS_EXPANDED)
            node->expanded = it.state & TVIS_EXPANDED;
    }

    Node* after; // null: first
    const HTREEITEM where = is->hInsertAfter;
    if (where == TVI_FIRST)
        after = nullptr;
    else if (!where || where == TVI_LAST)
        after = parent->last;
    else if (where == TVI_SORT) {
        after = nullptr;
        for (Node* c = parent->first; c && compareNoCase(c->text, node->text) <= 0; c = c->next)
            after = c;
    } else {
        after = find(where);
        if (!after || after->parent != parent)
            return nullptr;
    }
    Node* n = node.get();
    n->prev = after;
    n->next = after ? after->next : parent->first;
    (n->next ? n->next->prev : parent->last) = n;
    (after ? after->next : parent->first) = n;
    if (parent->children == 0)
        parent->children = kChildrenAuto;
    m_nodes.emplace(n->id, std::move(node));
    changed();
    return handleOf(n);
}

bool TreeViewControl::deleteItem(Node* node)
{
    // Unlink the whole subtree and drop its handles first: handlers of the notifications below
    // see a consistent tree and cannot reach the items being deleted.
    std::vector<Node*> order; // children before their parent
    std::vector<Node*> stack;
    if (node == &m_root) {
        for (Node* c = m_root.first; c; c = c->next)
            stack.push_back(c);
    } else {
        stack.push_back(node);
    }
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        order.push_back(n);
        for (Node* c = n->first; c; c = c->next)
            stack.push_back(c);
    }
    std::reverse(order.begin(), order.end());

    Node* caret = find(m_caret);
    UINT_PTR nextCaret = 0;
    const bool caretGone = caret && (node == &m_root || caret == node || isDescendant(caret, node));
    if (caretGone && node != &m_root)
        nextCaret = node->next ? node->next->id
                    : node->prev ? node->prev->id
                    : node->parent != &m_root ? node->parent->id
                                             : 0;
    if (node == &m_root) {
        m_root.first = m_root.last = nullptr;
    } else {
        Node* p = node->parent;
        (node->prev ? node->prev->next : p->first) = node->next;
        (node->next ? node->next->prev : p->last) = node->prev;
    }
    std::vector<std::unique_ptr<Node>> gone;
    gone.reserve(order.size());
    for (Node* n : order) {
        auto it = m_nodes.find(n->id);
        gone.push_back(std::move(it->second));
        m_nodes.erase(it);
    }
    if (caretGone)
        m_caret = 0;
    if (!find(m_dropHilite))
        m_dropHilite = 0;
    changed();

    for (const auto& n : gone) {
        NMTREEVIEWW nm{};
        nm.itemOld.mask = TVIF_HANDLE | TVIF_PARAM;
        nm.itemOld.hItem = handleOf(n.get());
        nm.itemOld.lParam = n->param;
        notify(TVN_DELETEITEMW, nm.hdr);
    }
    if (nextCaret && alive())
        if (Node* c = find(nextCaret))
            select(c, TVC_UNKNOWN);
    return true;
}

bool TreeViewControl::isDescendant(const Node* node, const Node* ancestor) const
{
    for (const Node* p = node ? node->parent : nullptr; p; p = p->parent)
        if (p == ancestor)
            return true;
    return false;
}

bool TreeViewControl::hasChildren(Node* node)
{
    if (node->children == I_CHILDRENCALLBACK) {
        int children = 0;
        dispInfo(node, TVIF_CHILDREN, nullptr, nullptr, nullptr, &children);
        return children != 0;
    }
    if (node->children == kChildrenAuto)
        return node->first != nullptr;
    return node->children != 0;
}

bool TreeViewControl::getItem(TVITEMW* item)
{
    if (!item)
        return false;
    Node* n = find(item->hItem);
    if (!n)
        return false;
    const UINT_PTR id = n->id;
    UINT callbacks = 0;
    if ((item->mask & TVIF_TEXT) && n->textCallback)
        callbacks |= TVIF_TEXT;
    if ((item->mask & TVIF_IMAGE) && n->image == I_IMAGECALLBACK)
        callbacks |= TVIF_IMAGE;
    if ((item->mask & TVIF_SELECTEDIMAGE) && n->selectedImage == I_IMAGECALLBACK)
        callbacks |= TVIF_SELECTEDIMAGE;
    if ((item->mask & TVIF_CHILDREN) && n->children == I_CHILDRENCALLBACK)
        callbacks |= TVIF_CHILDREN;
    std::u16string text = n->text;
    int image = n->image, selectedImage = n->selectedImage, children = 0;
    if (callbacks && (!dispInfo(n, callbacks, &text, &image, &selectedImage, &children) || !(n = find(id))))
        return false;
    if (item->mask & TVIF_TEXT) {
        if (item->pszText && item->cchTextMax > 0) {
            const size_t n16 = std::min(text.size(), static_cast<size_t>(item->cchTextMax - 1));
            std::copy_n(text.data(), n16, item->pszText);
            item->pszText[n16] = 0;
        }
    }
    if (item->mask & TVIF_IMAGE)
        item->iImage = image;
    if (item->mask & TVIF_SELECTEDIMAGE)
        item->iSelectedImage = selectedImage;
    if (item->mask & TVIF_PARAM)
        item->lParam = n->param;
    if (item->mask & TVIF_CHILDREN)
        item->cChildren = (callbacks & TVIF_CHILDREN) ? (children != 0)
                          : n->children == kChildrenAuto ? (n->first != nullptr)
                                                         : n->children;
    if (item->mask & TVIF_STATE) {
        const UINT full = n->state | (n->expanded ? TVIS_EXPANDED : 0) | (m_caret == id ? TVIS_SELECTED : 0) |
                          (m_dropHilite == id ? TVIS_DROPHILITED : 0);
        item->state = full & (item->stateMask ? item->stateMask : 0xFFFFu);
    }
    return true;
}

bool TreeViewControl::setItem(const TVITEMW* item)
{
    if (!item)
        return false;
    Node* n = find(item->hItem);
    if (!n)
        return false;
    if (item->mask & TVIF_TEXT) {
        n->textCallback = item->pszText == LPSTR_TEXTCALLBACKW;
        n->text = foreignText(item->pszText);
        n->textWidth = -1;
    }
    if (item->mask & TVIF_IMAGE)
        n->image = item->iImage;
    if (item->mask & TVIF_SELECTEDIMAGE)
        n->selectedImage = item->iSelectedImage;
    if (item->mask & TVIF_PARAM)
        n->param = item->lParam;
    if (item->mask & TVIF_CHILDREN)
        n->children = item->cChildren == I_CHILDRENCALLBACK ? I_CHILDRENCALLBACK : (item->cChildren ? 1 : 0);
    if (item->mask & TVIF_STATE) {
        const UINT kept = item->stateMask & ~(TVIS_SELECTED | TVIS_EXPANDED);
        n->state = (n->state & ~kept) | (item->state & kept);
        // As on Windows, the expanded bit set this way sends no notification.
        if (item->stateMask & TVIS_EXPANDED)
            n->expanded = item->state & TVIS_EXPANDED;
    }
    changed();
    return true;
}

HTREEITEM TreeViewControl::nextItem(UINT code, HTREEITEM item)
{
    Node* n = (!item || item == TVI_ROOT) ? nullptr : find(item);
    if (item && item != TVI_ROOT && !n)
        return nullptr;
    switch (code) {
    case TVGN_ROOT:
        return handleOf(m_root.first);
    case TVGN_CHILD:
        return handleOf(n ? n->first : m_root.first);
    case TVGN_NEXT:
        return n ? handleOf(n->next) : nullptr;
    case TVGN_PREVIOUS:
        return n ? handleOf(n->prev) : nullptr;
    case TVGN_PARENT:
        return n && n->parent != &m_root ? handleOf(n->parent) : nullptr;
    case TVGN_CARET:
        return handleOf(find(m_caret));
    case TVGN_DROPHILITE:
        return handleOf(find(m_dropHilite));
    case TVGN_FIRSTVISIBLE:
        ensureRows();
        return handleOf(rowNode(m_top));
    case TVGN_LASTVISIBLE:
        ensureRows();
        return handleOf(rowNode(rowCount() - 1));
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
        if (!n)
            return nullptr;
        const int row = rowOf(n);
        return row < 0 ? nullptr : handleOf(rowNode(code == TVGN_NEXTVISIBLE ? row + 1 : row - 1));
    }
    }
    return nullptr;
}

bool TreeViewControl::sortChildren(const TVSORTCB* sort)
{
    if (!sort || !sort->lpfnCompare)
        return false;
    Node* parent = (!sort->hParent || sort->hParent == TVI_ROOT) ? &m_root : find(sort->hParent);
    if (!parent)
        return false;
    const UINT_PTR parentId = parent->id;
    std::vector<std::pair<UINT_PTR, LPARAM>> items;
    for (Node* c = parent->first; c; c = c->next)
        items.emplace_back(c->id, c->param);

    // A merge sort stays within bounds whatever the callback answers; std::sort would not.
    std::vector<std::pair<UINT_PTR, LPARAM>> scratch(items.size());
    for (size_t width = 1; width < items.size(); width *= 2) {
        for (size_t lo = 0; lo < items.size(); lo += 2 * width) {
            const size_t mid = std::min(lo + width, items.size()), hi = std::min(lo + 2 * width, items.size());
            size_t a = lo, b = mid, out = lo;
            while (a < mid && b < hi)
                scratch[out++] =
                    sort->lpfnCompare(items[a].second, items[b].second, sort->lParam) <= 0 ? items[a++] : items[b++];
            while (a < mid)
                scratch[out++] = items[a++];
            while (b < hi)
                scratch[out++] = items[b++];
        }
        items.swap(scratch);
    }
    if (!alive())
        return false;
    // The callback may have changed the children; keep what is still there, newcomers last.
    parent = parentId ? find(parentId) : &m_root;
    if (!parent)
        return false;
    std::vector<Node*> order;
    std::unordered_set<Node*> placed;
    for (const auto& [id, param] : items)
        if (Node* n = find(id); n && n->parent == parent && placed.insert(n).second)
            order.push_back(n);
    for (Node* c = parent->first; c; c = c->next)
        if (!placed.count(c))
            order.push_back(c);
    parent->first = order.empty() ? nullptr : order.front();
    parent->last = order.empty() ? nullptr : order.back();
    for (size_t i = 0; i < order.size(); ++i) {
        order[i]->prev = i ? order[i - 1] : nullptr;
        order[i]->next = i + 1 < order.size() ? order[i + 1] : nullptr;
    }
    changed();
    return true;
}

void TreeViewControl::changed()
{
    ++m_gen;
    m_rowsDirty = true;
    markBars();
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

void TreeViewControl::markBars()
{
    m_barsDirty = true;
    if (!m_barsPosted)
        m_barsPosted = PostMessageW(m_hwnd, kUpdateBars, 0, 0);
}

// ---- expansion and selection

bool TreeViewControl::expand(Node* node, UINT code, bool byUser)
{
    const UINT_PTR id = node->id;
    const UINT action = code & TVE_TOGGLE;
    if (code & TVE_COLLAPSERESET) {
        if (!node->expanded && action == TVE_COLLAPSE) {
            node->state &= ~TVIS_EXPANDEDONCE;
            while (node->first && alive()) {
                deleteItem(node->first);
                if (!(node = find(id)))
                    return false;
            }
            return true;
        }
    }
    const bool want = action == TVE_TOGGLE ? !node->expanded : action == TVE_EXPAND;
    if (action == 0)
        return false;
    if (want == node->expanded)
        return want;
    if (want && !hasChildren(node))
        return false;
    if (!(node = find(id)))
        return false;
    // As on Windows, a program's TVM_EXPAND asks the parent only until the item has been
    // expanded once; a person's expansion or collapse always asks.
    const bool ask = byUser || !(node->state & TVIS_EXPANDEDONCE);
    if (ask) {
        NMTREEVIEWW nm{};
        nm.action = want ? TVE_EXPAND : TVE_COLLAPSE;
        fillItem(nm.itemNew, node);
        if (notify(TVN_ITEMEXPANDINGW, nm.hdr) || !alive())
            return false;
        if (!(node = find(id)))
            return false;
        if (node->expanded == want)
            return true;
    }
    node->expanded = want;
    if (want)
        node->state |= TVIS_EXPANDEDONCE;
    if (code & TVE_COLLAPSERESET) {
        node->state &= ~TVIS_EXPANDEDONCE;
        while (node->first && alive()) {
            deleteItem(node->first);
            if (!(node = find(id)))
                return false;
        }
    }
    changed();
    if (!want) {
        if (isDescendant(find(m_caret), node))
            select(node, TVC_UNKNOWN);
    } else {
        // Bring as many of the new children into view as fit, keeping the item itself.
        ensureRows();
        const int row = rowOf(node);
        if (row >= 0 && node->last) {
            int lastRow = row;
            for (Node* c = node->last; c; c = (c->expanded && c->last) ? c->last : nullptr)
                lastRow = std::max(lastRow, rowOf(c));
            const int full = fullRows();
            if (lastRow >= m_top + full)
                scrollTo(std::min(row, lastRow - full + 1), m_xOffset);
        }
    }
    if (ask && alive() && (node = find(id))) {
        NMTREEVIEWW nm{};
        nm.action = want ? TVE_EXPAND : TVE_COLLAPSE;
        fillItem(nm.itemNew, node);
        notify(TVN_ITEMEXPANDEDW, nm.hdr);
    }
    return true;
}

void TreeViewControl::expandAll(Node* node)
{
    std::vector<UINT_PTR> todo{node->id};
    for (size_t i = 0; i < todo.size() && i < kExpandAllLimit && alive(); ++i) {
        Node* n = find(todo[i]);
        if (!n)
            continue;
        if (!n->expanded)
            expand(n, TVE_EXPAND, true);
        if (!(n = find(todo[i])))
            continue;
        for (Node* c = n->first; c; c = c->next)
            todo.push_back(c->id);
    }
}

bool TreeViewControl::select(Node* node, UINT action)
{
    const UINT_PTR newId = node ? node->id : 0;
    if (newId == m_caret) {
        if (node)
            ensureVisible(node, true);
        return true;
    }
    const UINT_PTR oldId = m_caret;
    NMTREEVIEWW nm{};
    nm.action = action;
    fillItem(nm.itemOld, find(oldId));
    fillItem(nm.itemNew, node);
    if (notify(TVN_SELCHANGINGW, nm.hdr) || !alive())
        return false;
    node = find(newId);
    if (newId && !node)
        return false;
    Node* old = find(m_caret);
    m_caret = newId;
    if (old)
        invalidateRow(old);
    if (node) {
        ensureVisible(node, true);
        if (!(node = find(newId)) || m_caret != newId)
            return m_caret == newId;
        invalidateRow(node);
    }
    NMTREEVIEWW done{};
    done.action = action;
    fillItem(done.itemOld, find(oldId));
    if (!done.itemOld.hItem && oldId)
        done.itemOld.hItem = reinterpret_cast<HTREEITEM>(oldId);
    fillItem(done.itemNew, node);
    notify(TVN_SELCHANGEDW, done.hdr);
    return true;
}

bool TreeViewControl::ensureVisible(Node* node, bool expandParents)
{
    const UINT_PTR id = node->id;
    bool expanded = false;
    if (expandParents) {
        std::vector<UINT_PTR> chain;
        for (Node* p = node->parent; p != &m_root; p = p->parent)
            chain.push_back(p->id);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            Node* p = find(*it);
            if (p && !p->expanded) {
                expand(p, TVE_EXPAND, false);
                expanded = true;
            }
            if (!alive())
                return false;
        }
    }
    if (!(node = find(id)))
        return false;
    ensureRows();
    const int row = rowOf(node);
    if (row < 0)
        return false;
    const int full = fullRows();
    if (row < m_top)
        scrollTo(row, m_xOffset);
    else if (row >= m_top + full)
        scrollTo(row - full + 1, m_xOffset);
    else
        return !expanded;
    return !expanded;
}

// ---- layout

void TreeViewControl::ensureRows()
{
    if (!m_rowsDirty)
        return;
    m_rowsDirty = false;
    m_rows.clear();
    ++m_rowsGen;
    m_contentWidth = 0;
    const int labelBase = labelLeft(0) + m_xOffset;
    Node* n = m_root.first;
    while (n) {
        n->row = static_cast<int>(m_rows.size());
        n->rowGen = m_rowsGen;
        m_rows.push_back(n);
        if (n->textWidth < 0 && !n->textCallback)
            n->textWidth = textWidth(n->text);
        m_contentWidth = std::max(m_contentWidth, labelBase + n->depth * m_indent + std::max(n->textWidth, 0) + 4);
        if (n->expanded && n->first) {
            n = n->first;
            continue;
        }
        while (n != &m_root && !n->next)
            n = n->parent;
        n = n == &m_root ? nullptr : n->next;
    }
    if (Node* t = find(m_topId); t && t->rowGen == m_rowsGen)
        m_top = t->row;
    m_top = std::clamp(m_top, 0, std::max(0, rowCount() - fullRows()));
    m_topId = m_rows.empty() ? 0 : m_rows[m_top]->id;
}

int TreeViewControl::rowOf(Node* node)
{
    ensureRows();
    return node && node->rowGen == m_rowsGen ? node->row : -1;
}

TreeViewControl::Node* TreeViewControl::rowNode(int row)
{
    return row >= 0 && row < rowCount() ? m_rows[row] : nullptr;
}

int TreeViewControl::rowCount()
{
    return static_cast<int>(m_rows.size());
}

int TreeViewControl::fullRows() const
{
    RECT c{};
    GetClientRect(m_hwnd, &c);
    return std::max(1, static_cast<int>(c.bottom) / m_itemHeight);
}

int TreeViewControl::levelX(int depth) const
{
    const DWORD style = static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE));
    const int atRoot = (style & TVS_LINESATROOT) && (style & (TVS_HASLINES | TVS_HASBUTTONS)) ? 1 : 0;
    return (depth + atRoot) * m_indent - m_xOffset;
}

// The column of an item's button and sibling line: under its parent's icon centre.
int TreeViewControl::columnX(int depth) const
{
    return levelX(depth) - (m_iconCx ? m_indent - m_iconCx / 2 : m_indent / 2);
}

int TreeViewControl::labelLeft(int depth) const
{
    return levelX(depth) + (m_iconCx ? m_iconCx + 3 : 2);
}

void TreeViewControl::measureFont()
{
    SelectObject(m_measureDc, m_font);
    m_glyphWidths.clear();
    SIZE size{};
    GetTextExtentPoint32W(m_measureDc, u"国Ag", 3, &size);
    m_textHeight = std::max(1, static_cast<int>(size.cy));
    // An image list keeps its icon size for life; a destroyed one just stops drawing.
    if (!(m_images && ImageList_GetIconSize(m_images, &m_iconCx, &m_iconCy)))
        m_iconCx = m_iconCy = 0;
    m_indent = std::max(19, m_iconCx + 3);
    m_itemHeight = std::max(m_textHeight + 3, m_iconCy + 2);
    if ((m_itemHeight & 1) && !(GetWindowLongW(m_hwnd, GWL_STYLE) & TVS_NONEVENHEIGHT))
        ++m_itemHeight;
    for (auto& [id, n] : m_nodes)
        n->textWidth = -1;
}

// Widths add up per character: the dialog font is a bitmap font without kerning, and this
// keeps thousands of new items from each costing a text layout.
int TreeViewControl::textWidth(const std::u16string& text)
{
    int width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        size_t len = 1;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            len = 2;
        }
        auto it = m_glyphWidths.find(cp);
        if (it == m_glyphWidths.end()) {
            SIZE size{};
            GetTextExtentPoint32W(m_measureDc, text.data() + i, static_cast<int>(len), &size);
            it = m_glyphWidths.emplace(cp, static_cast<int>(size.cx)).first;
        }
        width += it->second;
        i += len - 1;
    }
    return width;
}

bool TreeViewControl::itemRect(Node* node, bool textOnly, RECT& out)
{
    const int row = rowOf(node);
    if (row < 0)
        return false;
    RECT c{};
    GetClientRect(m_hwnd, &c);
    const int y = (row - m_top) * m_itemHeight;
    if (!textOnly) {
        out = RECT{0, y, c.right, y + m_itemHeight};
        return true;
    }
    const int left = labelLeft(node->depth);
    const int width = node->textWidth >= 0 ? node->textWidth : textWidth(node->text);
    out = RECT{left, y, left + width + 4, y + m_itemHeight};
    return true;
}

HTREEITEM TreeViewControl::hitTest(TVHITTESTINFO& info)
{
    ensureRows();
    RECT c{};
    GetClientRect(m_hwnd, &c);
    const POINT pt = info.pt;
    UINT flags = 0;
    if (pt.x < 0)
        flags |= TVHT_TOLEFT;
    else if (pt.x >= c.right)
        flags |= TVHT_TORIGHT;
    if (pt.y < 0)
        flags |= TVHT_ABOVE;
    else if (pt.y >= c.bottom)
        flags |= TVHT_BELOW;
    info.hItem = nullptr;
    info.flags = flags;
    if (flags)
        return nullptr;
    Node* n = rowNode(m_top + pt.y / m_itemHeight);
    if (!n) {
        info.flags = TVHT_NOWHERE;
        return nullptr;
    }
    const UINT_PTR id = n->id;
    RECT label{};
    itemRect(n, true, label);
    const int level = levelX(n->depth);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE));
    if (pt.x >= label.right)
        flags = TVHT_ONITEMRIGHT;
    else if (pt.x >= label.left)
        flags = TVHT_ONITEMLABEL;
    else if (pt.x >= level && m_images)
        flags = TVHT_ONITEMICON;
    else if ((style & TVS_HASBUTTONS) && pt.x >= level - m_indent && pt.x < level && level - m_indent >= -m_xOffset &&
             hasChildren(n))
        flags = TVHT_ONITEMBUTTON;
    else
        flags = TVHT_ONITEMINDENT;
    if (!find(id))
        return nullptr;
    info.flags = flags;
    info.hItem = reinterpret_cast<HTREEITEM>(id);
    return info.hItem;
}

void TreeViewControl::scrollTo(int top, int x)
{
    ensureRows();
    RECT c{};
    GetClientRect(m_hwnd, &c);
    top = std::clamp(top, 0, std::max(0, rowCount() - fullRows()));
    x = std::clamp(x, 0, std::max(0, m_contentWidth - static_cast<int>(c.right)));
    if (top == m_top && x == m_xOffset)
        return;
    m_top = top;
    m_topId = m_rows.empty() ? 0 : m_rows[m_top]->id;
    m_xOffset = x;
    markBars();
    invalidateAll();
}

void TreeViewControl::updateScrollBars()
{
    if (m_updatingBars)
        return;
    m_updatingBars = true;
    m_barsDirty = false;
    ensureRows();
    const DWORD style = static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE));
    // Showing one bar narrows the other's room; a few passes settle it.
    for (int pass = 0; pass < 3; ++pass) {
        RECT before{};
        GetClientRect(m_hwnd, &before);
        const int full = fullRows();
        m_top = std::clamp(m_top, 0, std::max(0, rowCount() - full));
        m_topId = m_rows.empty() ? 0 : m_rows[m_top]->id;
        m_xOffset = std::clamp(m_xOffset, 0, std::max(0, m_contentWidth - static_cast<int>(before.right)));
        if (!(style & TVS_NOSCROLL)) {
            SCROLLINFO v{sizeof v, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, rowCount() - 1),
                         static_cast<UINT>(full), m_top, 0};
            SetScrollInfo(m_hwnd, SB_VERT, &v, TRUE);
            if (!(style & TVS_NOHSCROLL)) {
                SCROLLINFO h{sizeof h, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, m_contentWidth - 1),
                             static_cast<UINT>(std::max(0, static_cast<int>(before.right))), m_xOffset, 0};
                SetScrollInfo(m_hwnd, SB_HORZ, &h, TRUE);
            }
        }
        RECT after{};
        GetClientRect(m_hwnd, &after);
        if (after.right == before.right && after.bottom == before.bottom)
            break;
        InvalidateRect(m_hwnd, nullptr, FALSE);
    }
    m_updatingBars = false;
}

void TreeViewControl::invalidateRow(Node* node)
{
    RECT r{};
    if (itemRect(node, false, r))
        InvalidateRect(m_hwnd, &r, FALSE);
}

void TreeViewControl::invalidateAll()
{
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

// ---- painting

bool TreeViewControl::collectRows(int first, int last, std::vector<RowPaint>& out, bool callbacks)
{
    out.clear();
    const unsigned gen = m_gen;
    ensureRows();
    for (int r = first; r <= last; ++r) {
        Node* n = rowNode(r);
        if (!n)
            break;
        const UINT_PTR id = n->id;
        const bool selected = m_caret == id || m_dropHilite == id;
        RowPaint p{};
        p.depth = n->depth;
        p.text = n->text;
        p.image = selected ? n->selectedImage : n->image;
        int children = n->children == kChildrenAuto ? (n->first != nullptr) : n->children;
        UINT ask = 0;
        if (n->textCallback)
            ask |= TVIF_TEXT;
        if (p.image == I_IMAGECALLBACK)
            ask |= selected ? TVIF_SELECTEDIMAGE : TVIF_IMAGE;
        if (children == I_CHILDRENCALLBACK)
            ask |= TVIF_CHILDREN;
        if (ask && callbacks) {
            int image = p.image, selectedImage = p.image;
            if (!dispInfo(n, ask, &p.text, &image, &selectedImage, &children))
                return false;
            if (gen != m_gen || !alive() || !(n = find(id)))
                return false;
            p.image = selected ? selectedImage : image;
        }
        p.button = children != 0;
        p.expanded = n->expanded;
        p.selected = selected;
        p.hasPrev = n->prev != nullptr;
        p.hasNext = n->next != nullptr;
        p.textWidth = textWidth(p.text);
        if (!n->textCallback)
            n->textWidth = p.textWidth;
        p.ancestorNext.assign(static_cast<size_t>(std::max(0, n->depth)), false);
        for (Node* a = n->parent; a != &m_root; a = a->parent)
            p.ancestorNext[static_cast<size_t>(a->depth)] = a->next != nullptr;
        out.push_back(std::move(p));
    }
    return true;
}

void TreeViewControl::paint(HDC dc, const RECT& clip)
{
    FillRect(dc, &clip, GetSysColorBrush(COLOR_WINDOW));
    ensureRows();
    const int h = m_itemHeight;
    std::vector<RowPaint> rows;
    int first = 0;
    bool ok = false;
    for (int attempt = 0; attempt < 3 && !ok && alive(); ++attempt) {
        first = m_top + std::max(0, static_cast<int>(clip.top)) / h;
        ok = collectRows(first, std::min(rowCount() - 1, m_top + (static_cast<int>(clip.bottom) - 1) / h), rows,
                         true);
    }
    if (!alive())
        return;
    if (!ok) {
        first = m_top + std::max(0, static_cast<int>(clip.top)) / h;
        collectRows(first, std::min(rowCount() - 1, m_top + (static_cast<int>(clip.bottom) - 1) / h), rows, false);
    }
    RECT c{};
    GetClientRect(m_hwnd, &c);
    HGDIOBJ oldFont = SelectObject(dc, m_font);
    SetBkMode(dc, TRANSPARENT);
    for (size_t i = 0; i < rows.size(); ++i)
        drawRow(dc, rows[i], (first + static_cast<int>(i) - m_top) * h, c.right);
    SelectObject(dc, oldFont);
}

void TreeViewControl::drawRow(HDC dc, const RowPaint& row, int y, int clientWidth)
{
    const DWORD style = static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE));
    const int h = m_itemHeight;
    const int mid = y + h / 2;
    const int level = levelX(row.depth);
    const int column = columnX(row.depth);
    const bool hasColumn = level - m_indent >= -m_xOffset;
    // Dots on a checkerboard of the content, so crossing lines share their dots.
    auto dot = [&](int x, int yy) {
        if (((x + m_xOffset + yy) & 1) == 0 && x >= 0 && x < clientWidth)
            SetPixel(dc, x, yy, kLines);
    };
    auto vline = [&](int x, int y0, int y1) {
        for (int yy = y0; yy < y1; ++yy)
            dot(x, yy);
    };
    if (style & TVS_HASLINES) {
        for (size_t k = 0; k < row.ancestorNext.size(); ++k)
            if (row.ancestorNext[k] && levelX(static_cast<int>(k)) - m_indent >= -m_xOffset)
                vline(columnX(static_cast<int>(k)), y, y + h);
        if (hasColumn) {
            vline(column, (row.hasPrev || row.depth > 0) ? y : mid, row.hasNext ? y + h : mid + 1);
            for (int x = column + 1; x < level; ++x)
                dot(x, mid);
        }
    }
    if ((style & TVS_HASBUTTONS) && row.button && hasColumn) {
        RECT box{column - 4, mid - 4, column + 5, mid + 5};
        FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
        HBRUSH frame = CreateSolidBrush(kLines);
        FrameRect(dc, &box, frame);
        DeleteObject(frame);
        for (int x = column - 2; x <= column + 2; ++x)
            SetPixel(dc, x, mid, RGB(0, 0, 0));
        if (!row.expanded)
            for (int yy = mid - 2; yy <= mid + 2; ++yy)
                SetPixel(dc, column, yy, RGB(0, 0, 0));
    }
    if (m_images && m_iconCx && row.image >= 0)
        ImageList_Draw(m_images, row.image, dc, level, y + (h - m_iconCy) / 2, ILD_TRANSPARENT);
    const int left = labelLeft(row.depth);
    RECT label{left, y, left + row.textWidth + 4, y + h};
    const bool focused = GetFocus() == m_hwnd;
    COLORREF text = RGB(0, 0, 0);
    if (row.selected && (focused || (style & TVS_SHOWSELALWAYS))) {
        HBRUSH fill = CreateSolidBrush(focused ? kHighlight : kInactiveHighlight);
        FillRect(dc, &label, fill);
        DeleteObject(fill);
        if (focused)
            text = kHighlightText;
    }
    SetTextColor(dc, text);
    ExtTextOutW(dc, left + 2, y + (h - m_textHeight) / 2, ETO_CLIPPED, &label, row.text.c_str(),
                static_cast<UINT>(row.text.size()), nullptr);
}

void TreeViewControl::describe(AutomationNode& node)
{
    ensureRows();
    RECT c{};
    GetClientRect(m_hwnd, &c);
    const int first = m_top;
    const int last = std::min(rowCount() - 1, m_top + (static_cast<int>(c.bottom) + m_itemHeight - 1) / m_itemHeight - 1);
    std::vector<RowPaint> rows;
    if (!collectRows(first, last, rows, true) || !alive())
        collectRows(first, last, rows, false);
    node.state["count"] = [&] {
        std::string n = std::to_string(m_nodes.size());
        return std::u16string(n.begin(), n.end());
    }();
    POINT origin{0, 0};
    ClientToScreen(m_hwnd, &origin);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE));
    auto num = [](int v) {
        std::string s = std::to_string(v);
        return std::u16string(s.begin(), s.end());
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        const RowPaint& r = rows[i];
        const int y = (first + static_cast<int>(i) - m_top) * m_itemHeight;
        const int left = labelLeft(r.depth);
        AutomationNode item;
        item.className = u"TreeItem";
        item.text = r.text;
        item.bounds = RECT{origin.x + left, origin.y + y, origin.x + left + r.textWidth + 4, origin.y + y + m_itemHeight};
        item.focused = node.focused && r.selected;
        item.state["depth"] = num(r.depth);
        item.state["expanded"] = r.expanded ? u"1" : u"0";
        item.state["selected"] = r.selected ? u"1" : u"0";
        item.state["hasChildren"] = r.button ? u"1" : u"0";
        const int column = columnX(r.depth);
        if ((style & TVS_HASBUTTONS) && r.button && levelX(r.depth) - m_indent >= -m_xOffset)
            item.state["button"] = num(origin.x + column) + u"," + num(origin.y + y + m_itemHeight / 2);
        node.children.push_back(std::move(item));
    }
}

// ---- input

void TreeViewControl::onButtonDown(POINT pt, bool doubleClick)
{
    if (GetFocus() != m_hwnd)
        SetFocus(m_hwnd);
    if (!alive())
        return;
    TVHITTESTINFO ht{pt, 0, nullptr};
    hitTest(ht);
    const UINT_PTR id = reinterpret_cast<UINT_PTR>(ht.hItem);
    if (ht.flags & TVHT_ONITEMBUTTON) {
        if (Node* n = find(id))
            expand(n, TVE_TOGGLE, true);
        return;
    }
    NMHDR h{};
    if (notify(doubleClick ? NM_DBLCLK : NM_CLICK, h) || !alive())
        return;
    if (!(ht.flags & TVHT_ONITEM))
        return;
    Node* n = find(id);
    if (!n)
        return;
    if (doubleClick)
        expand(n, TVE_TOGGLE, true);
    else
        select(n, TVC_BYMOUSE);
}

void TreeViewControl::onKey(UINT vk)
{
    NMTVKEYDOWN kd{};
    kd.wVKey = static_cast<WORD>(vk);
    notify(TVN_KEYDOWN, kd.hdr);
    if (!alive())
        return;
    ensureRows();
    if (m_rows.empty())
        return;
    Node* c = find(m_caret);
    const int row = c ? rowOf(c) : -1;
    auto go = [&](int target) {
        if (Node* n = rowNode(std::clamp(target, 0, rowCount() - 1)))
            select(n, TVC_BYKEYBOARD);
    };
    const int page = std::max(1, fullRows() - 1);
    switch (vk) {
    case VK_UP:
        go(row < 0 ? m_top : row - 1);
        return;
    case VK_DOWN:
        go(row < 0 ? m_top : row + 1);
        return;
    case VK_HOME:
        go(0);
        return;
    case VK_END:
        go(rowCount() - 1);
        return;
    case VK_PRIOR:
        go(row < 0 ? m_top : row - page);
        return;
    case VK_NEXT:
        go(row < 0 ? m_top : row + page);
        return;
    }
    if (!c)
        return;
    const UINT_PTR id = c->id;
    switch (vk) {
    case VK_LEFT:
    case VK_BACK:
        if (vk == VK_LEFT && c->expanded)
            expand(c, TVE_COLLAPSE, true);
        else if (c->parent != &m_root)
            select(c->parent, TVC_BYKEYBOARD);
        return;
    case VK_RIGHT:
        if (!c->expanded) {
            if (hasChildren(c) && (c = find(id)))
                expand(c, TVE_EXPAND, true);
        } else if (c->first) {
            select(c->first, TVC_BYKEYBOARD);
        }
        return;
    case VK_ADD:
        expand(c, TVE_EXPAND, true);
        return;
    case VK_SUBTRACT:
        expand(c, TVE_COLLAPSE, true);
        return;
    case VK_MULTIPLY:
        expandAll(c);
        return;
    }
}

void TreeViewControl::onScroll(int bar, WORD code)
{
    ensureRows();
    RECT c{};
    GetClientRect(m_hwnd, &c);
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(m_hwnd, bar, &si);
    const bool vertical = bar == SB_VERT;
    const int pos = vertical ? m_top : m_xOffset;
    const int line = vertical ? 1 : m_indent;
    const int page = vertical ? std::max(1, fullRows()) : std::max(1, static_cast<int>(c.right));
    int target = pos;
    switch (code) {
    case SB_LINEUP:
        target = pos - line;
        break;
    case SB_LINEDOWN:
        target = pos + line;
        break;
    case SB_PAGEUP:
        target = pos - page;
        break;
    case SB_PAGEDOWN:
        target = pos + page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        target = si.nTrackPos;
        break;
    case SB_TOP:
        target = 0;
        break;
    case SB_BOTTOM:
        target = vertical ? rowCount() : m_contentWidth;
        break;
    default:
        return;
    }
    if (vertical)
        scrollTo(target, m_xOffset);
    else
        scrollTo(m_top, target);
    if (m_barsDirty)
        updateScrollBars();
}

// ---- notifications

LRESULT TreeViewControl::notify(UINT code, NMHDR& header)
{
    HWND parent = GetParent(m_hwnd);
    if (!parent || m_dead)
        return 0;
    header.hwndFrom = m_hwnd;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(m_hwnd));
    header.code = code;
    return SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void TreeViewControl::fillItem(TVITEMW& item, Node* node)
{
    item = TVITEMW{};
    if (!node)
        return;
    item.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
    item.hItem = handleOf(node);
    item.state = node->state | (node->expanded ? TVIS_EXPANDED : 0) | (m_caret == node->id ? TVIS_SELECTED : 0);
    item.stateMask = 0xFFFF;
    item.lParam = node->param;
}

bool TreeViewControl::dispInfo(Node* node, UINT mask, std::u16string* text, int* image, int* selectedImage,
                               int* children)
{
    const UINT_PTR id = node->id;
    WCHAR buffer[kDispTextMax] = {};
    NMTVDISPINFOW di{};
    di.item.mask = mask;
    di.item.hItem = handleOf(node);
    di.item.state = node->state | (node->expanded ? TVIS_EXPANDED : 0) | (m_caret == id ? TVIS_SELECTED : 0);
    di.item.stateMask = 0xFFFF;
    di.item.lParam = node->param;
    di.item.pszText = buffer;
    di.item.cchTextMax = kDispTextMax;
    notify(TVN_GETDISPINFOW, di.hdr);
    buffer[kDispTextMax - 1] = 0;
    const std::u16string answered = foreignText(di.item.pszText);
    if ((mask & TVIF_TEXT) && text)
        *text = answered;
    if ((mask & TVIF_IMAGE) && image)
        *image = di.item.iImage;
    if ((mask & TVIF_SELECTEDIMAGE) && selectedImage)
        *selectedImage = di.item.iSelectedImage;
    if ((mask & TVIF_CHILDREN) && children)
        *children = di.item.cChildren != 0;
    Node* n = find(id);
    if (!n || !alive())
        return false;
    if (di.item.mask & TVIF_DI_SETITEM) {
        if (mask & TVIF_TEXT) {
            n->text = answered;
            n->textCallback = false;
            n->textWidth = -1;
        }
        if (mask & TVIF_IMAGE)
            n->image = di.item.iImage;
        if (mask & TVIF_SELECTEDIMAGE)
            n->selectedImage = di.item.iSelectedImage;
        if (mask & TVIF_CHILDREN)
            n->children = di.item.cChildren != 0;
    }
    return true;
}

} // namespace pictavo::platform

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init)
{
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return FALSE;
    return pictavo::platform::TreeViewControl::registerClass() ? TRUE : FALSE;
}

void InitCommonControls()
{
    pictavo::platform::TreeViewControl::registerClass();
}
