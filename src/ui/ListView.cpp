#include "ui/ListView.h"

#include "Biz/AppState.h"
#include "Biz/ConfigMgr.h"
#include "ui/DragFormatRegistry.h"
#include "io/FileFunctions.h"
#include "platform/controls/Controls.h"
#include "platform/kernel/GlobalMemory.h"
#include "platform/kernel/Strings.h"
#include "platform/kernel/WFormat.h"
#include "ui/CPaintEventArgs.h"
#include "ui/Drawing.h"
#include "ui/ListViewPostItem.h"

#include <algorithm>
#include <sys/stat.h>

namespace {

constexpr const char16_t* kClass = u"QuendalListView";
constexpr const char16_t* kItemFormat = u"ListViewItem";

bool acceptedExtension(const std::u16string& path)
{
    const size_t slash = path.find_last_of(u"/\\");
    const size_t dot = path.find_last_of(u'.');
    if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash))
        return false;
    const std::u16string ext = pictavo::platform::toLower(path.substr(dot));
    return ext == u".gif" || ext == u".png" || ext == u".bmp" || ext == u".jpg" || ext == u".tif";
}

} // namespace

ListView::ListView()
{
    loaderDone.Set();
}

ListView::~ListView()
{
    StopLoader();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    DestroyAll();
    ReleaseDrag();
    if (bufferBitmap)
        DeleteObject(bufferBitmap);
}

HWND ListView::Create(HWND parentWindow, int x, int y, int width, int height)
{
    RegisterClass(kClass, nullptr, CS_DBLCLKS);
    DragFormatRegistry::Instance().RegisterFormat(kItemFormat);
    HWND created = CreateImpl(kClass, parentWindow, RECT{x, y, x + width, y + height}, u"",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN);
    if (!created)
        return nullptr;
    element.hwnd = created;
    RegisterDragDrop(created, this);
    nameEditor.Create(created, RECT{0, 0, 0, 0}, u"", WS_CHILD | ES_AUTOHSCROLL);
    Layout();
    return created;
}

HWND ListView::CreateFor(HWND parentWindow)
{
    HWND created = Create(parentWindow, 0, 0, 0, 0);
    if (created)
        ShowWindow(created, SW_HIDE);
    return created;
}

void ListView::Place(const RECT& rect)
{
    MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    Layout();
}

void ListView::SetItemSize(int w, int h)
{
    itemWidth = w;
    itemHeight = h;
}

void ListView::AddItem(ListViewItem* item)
{
    item->owner = this;
    item->id = nextId++;
    itemsLock.Lock();
    items.emplace_back(item);
    itemsLock.Unlock();
}

// ---- layout and scrolling

int ListView::Columns() const
{
    const int width = client.right - client.left;
    // A list narrower than one tile still shows one column.
    return std::max(1, (width + hGap - marginRight - marginLeft - 17) / (hGap + itemWidth));
}

int ListView::Rows() const
{
    const int count = static_cast<int>(items.size());
    const int columns = Columns();
    return (count + columns - 1) / columns;
}

void ListView::LayoutItems()
{
    if (m_hWnd)
        GetClientRect(m_hWnd, &client);
    const int columns = Columns();
    itemsLock.Lock();
    int x = marginLeft, y = marginTop, column = 0;
    for (auto& item : items) {
        item->SetRect(RECT{x, y, x + itemWidth, y + itemHeight});
        if (++column == columns) {
            column = 0;
            x = marginLeft;
            y += itemHeight + vGap;
        } else {
            x += itemWidth + hGap;
        }
    }
    itemsLock.Unlock();
}

int ListView::ScrollMax() const
{
    const int rows = Rows();
    const int page = ClientHeight();
    if (page / (itemHeight + vGap) >= rows)
        return 0;
    const int range = rows * (itemHeight + vGap) + marginBottom + marginTop;
    return std::max(0, range - page + 1);
}

void ListView::UpdateScrollBar()
{
    const int rows = Rows();
    const int page = ClientHeight();
    scrollPos = std::clamp(scrollPos, 0, ScrollMax());
    if (!m_hWnd)
        return;
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    if (page / (itemHeight + vGap) < rows) {
        info.nMin = 0;
        info.nMax = rows * (itemHeight + vGap) + marginBottom + marginTop;
        info.nPage = static_cast<UINT>(page);
        info.nPos = scrollPos;
        SetScrollInfo(m_hWnd, SB_VERT, &info, TRUE);
        EnableScrollBar(m_hWnd, SB_VERT, ESB_ENABLE_BOTH);
    } else {
        SetScrollInfo(m_hWnd, SB_VERT, &info, TRUE);
        EnableScrollBar(m_hWnd, SB_VERT, ESB_DISABLE_BOTH);
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }
}

void ListView::Layout()
{
    LayoutItems();
    UpdateScrollBar();
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
}

void ListView::ScrollTo(int position)
{
    ApplyScroll(position);
}

void ListView::ApplyScroll(int position)
{
    position = std::clamp(position, 0, ScrollMax());
    if (position == scrollPos)
        return;
    scrollPos = position;
    if (m_hWnd) {
        SetScrollPos(m_hWnd, SB_VERT, position, TRUE);
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }
}

void ListView::OnWheel(int delta)
{
    if (delta < 0)
        ApplyScroll(std::min(scrollPos + itemHeight, ScrollMax()));
    else if (delta > 0)
        ApplyScroll(std::max(scrollPos - itemHeight, 0));
}

void ListView::OnVScroll(int code, int track)
{
    const int page = ClientHeight();
    const int max = ScrollMax();
    switch (code) {
    case SB_LINEUP:
        ApplyScroll(scrollPos - 1);
        break;
    case SB_LINEDOWN:
        ApplyScroll(scrollPos + 1);
        break;
    case SB_PAGEUP:
        ApplyScroll(scrollPos <= page ? 0 : scrollPos - page);
        break;
    case SB_PAGEDOWN:
        ApplyScroll(scrollPos + page < max ? scrollPos + page : max);
        break;
    case SB_TOP:
        ApplyScroll(0);
        break;
    case SB_BOTTOM:
        ApplyScroll(max);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        ApplyScroll(track);
        break;
    default:
        break;
    }
}

// ---- painting

void ListView::RedrawItem(ListViewItem& item)
{
    if (!m_hWnd)
        return;
    const RECT r = item.rect;
    if (r.top > scrollPos + ClientHeight() || r.bottom < scrollPos)
        return;
    RECT moved{r.left, r.top - scrollPos, r.right, r.bottom - scrollPos};
    InvalidateRect(m_hWnd, &moved, FALSE);
}

void ListView::RefreshItem(int id)
{
    if (m_hWnd)
        PostMessageW(m_hWnd, WM_REFRESH_ITEM, static_cast<WPARAM>(id), 0);
}

void ListView::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    GetClientRect(m_hWnd, &client);
    const int w = client.right - client.left, h = client.bottom - client.top;
    if (w > 0 && h > 0) {
        if (!bufferBitmap || bufferSize.cx != w || bufferSize.cy != h) {
            if (bufferBitmap)
                DeleteObject(bufferBitmap);
            bufferBitmap = CreateCompatibleBitmap(dc, w, h);
            bufferSize = SIZE{w, h};
        }
        RECT update = ps.rcPaint;
        if (update.right <= update.left || update.bottom <= update.top)
            update = client;
        HDC buffer = CreateCompatibleDC(dc);
        HDC scratch = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(buffer, bufferBitmap);
        IntersectClipRect(buffer, update.left, update.top, update.right, update.bottom);
        Quendal::UI::FillSolid(buffer, update, backColour);
        GpGraphics* graphics = nullptr;
        GdipCreateFromHDC(buffer, &graphics);
        Quendal::UI::CPaintEventArgs e;
        e.hdc = buffer;
        e.scratchDc = scratch;
        e.graphics = graphics;
        const int p = scrollPos;
        itemsLock.Lock();
        // Tiles are in rows, so the visible band is one run of the list.
        auto first = std::partition_point(items.begin(), items.end(),
                                          [&](const std::shared_ptr<ListViewItem>& t) { return t->rect.bottom <= p; });
        for (auto it = first; it != items.end() && (*it)->rect.top <= p + h; ++it) {
            const RECT& r = (*it)->rect;
            if (r.bottom - p <= update.top || r.top - p >= update.bottom)
                continue;
            (*it)->PaintScrolled(e, p);
        }
        itemsLock.Unlock();
        if (graphics)
            GdipDeleteGraphics(graphics);
        BitBlt(dc, update.left, update.top, update.right - update.left, update.bottom - update.top, buffer,
               update.left, update.top, SRCCOPY);
        SelectObject(buffer, old);
        DeleteDC(scratch);
        DeleteDC(buffer);
    }
    EndPaint(m_hWnd, &ps);
}

// ---- selection

void ListView::AddToSelection(ListViewItem* item)
{
    if (std::find(selection.begin(), selection.end(), item) == selection.end())
        selection.push_back(item);
}

void ListView::DeselectAll()
{
    for (ListViewItem* item : selection)
        item->SetItemState(item->itemState & ~static_cast<DWORD>(ListViewItem::Selected));
    selection.clear();
}

void ListView::ToggleItem(ListViewItem* item)
{
    auto it = std::find(selection.begin(), selection.end(), item);
    if (it == selection.end()) {
        item->Select(POINT{});
        selection.push_back(item);
    } else {
        item->SetItemState(item->itemState & ~static_cast<DWORD>(ListViewItem::Selected));
        selection.erase(it);
    }
    lastToggled = item;
    selectionChanged(0);
}

void ListView::SelectRange(ListViewItem* item)
{
    ListViewItem* anchor = anchorId < 0 ? nullptr : FindById(anchorId);
    if (!anchor) {
        // Without an anchor the click starts one, and what is shown selected is in selection.
        item->Select(POINT{});
        AddToSelection(item);
        anchorId = item->id;
        return;
    }
    DeselectAll();
    bool inside = false;
    for (auto& t : items) {
        const bool edge = t.get() == anchor || t.get() == item;
        if (edge && !inside) {
            inside = true;
        } else if (edge) {
            t->Select(POINT{});
            selection.push_back(t.get());
            break;
        }
        if (inside) {
            t->Select(POINT{});
            selection.push_back(t.get());
            if (anchor == item)
                break;
        }
    }
    selectionChanged(0);
}

void ListView::SelectAll(bool select)
{
    if (!select)
        DeselectAll();
    selection.clear();
    for (auto& t : items) {
        if (select) {
            t->Select(POINT{});
            selection.push_back(t.get());
        } else {
            t->SetItemState(t->itemState & ~static_cast<DWORD>(ListViewItem::Selected));
        }
    }
}

void ListView::SetAllStatus(int value)
{
    for (auto& t : items)
        t->SetStatus(value);
}

int ListView::CountNonZeroStatus()
{
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](auto& t) { return t->status != 0; }));
}

LONG ListView::Count()
{
    return static_cast<LONG>(items.size());
}

int64_t ListView::TotalSize()
{
    int64_t total = 0;
    for (auto& t : items) {
        int64_t size = 0;
        t->SizeForTotal(size);
        total += size;
    }
    return total;
}

bool ListView::ContainsPath(const ListViewItem& item)
{
    return std::any_of(items.begin(), items.end(), [&](auto& t) { return t->IsPath(item); });
}

ListViewItem* ListView::FindById(int id)
{
    for (auto& t : items)
        if (t->id == id)
            return t.get();
    return nullptr;
}

ListViewItem* ListView::FindAt(POINT p)
{
    for (auto& t : items)
        if (PtInRect(&t->rect, p))
            return t.get();
    return nullptr;
}

std::vector<ListViewItem*> ListView::CopyChecked(int n)
{
    std::vector<ListViewItem*> out;
    for (auto& t : items)
        if (t->status && static_cast<int>(out.size()) < n)
            out.push_back(t.get());
    return out;
}

std::vector<ListViewItem*> ListView::Items()
{
    std::vector<ListViewItem*> out;
    for (auto& t : items)
        out.push_back(t.get());
    return out;
}

// ---- rename

void ListView::BeginRename(ListViewPostItem* item)
{
    if (!nameEditor.m_hWnd)
        return;
    EndRenameNow();
    const RECT r = item->rect;
    SetWindowTextW(nameEditor.m_hWnd, item->name.c_str());
    MoveWindow(nameEditor.m_hWnd, r.left, r.bottom - 30 - scrollPos, r.right - r.left, 30, TRUE);
    ShowWindow(nameEditor.m_hWnd, SW_SHOW);
    SetFocus(nameEditor.m_hWnd);
    SendMessageW(nameEditor.m_hWnd, EM_SETSEL, 0, -1);
    SendMessageW(nameEditor.m_hWnd, EM_SCROLLCARET, 0, 0);
    renaming = item;
}

std::u16string ListView::TakeEditorText()
{
    const int length = GetWindowTextLengthW(nameEditor.m_hWnd);
    std::u16string text(static_cast<size_t>(std::max(0, length)) + 1, u'\0');
    GetWindowTextW(nameEditor.m_hWnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(0, length)));
    ShowWindow(nameEditor.m_hWnd, SW_HIDE);
    return text;
}

void ListView::EndRenameNow()
{
    if (!renaming)
        return;
    ListViewPostItem* item = renaming;
    renaming = nullptr;
    item->EndRename();
}

// ---- removal

void ListView::PostRemove(int id)
{
    if (m_hWnd)
        PostMessageW(m_hWnd, WM_REMOVE_ITEM, static_cast<WPARAM>(id), 0);
}

void ListView::AfterRemoval(int restoreScroll)
{
    LayoutItems();
    UpdateScrollBar();
    ApplyScroll(restoreScroll);
    if (!m_hWnd)
        return;
    InvalidateRect(m_hWnd, nullptr, FALSE);
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(m_hWnd, &cursor);
    if (PtInRect(&client, cursor))
        SendMessageW(m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(cursor.x, cursor.y));
}

void ListView::RemoveItem(int id)
{
    ListViewItem* item = FindById(id);
    if (!item)
        return;
    EndRenameNow();
    ReleaseDrag();
    const bool wasLoading = m_loading;
    StopLoader();
    const int before = scrollPos;
    selection.erase(std::remove(selection.begin(), selection.end(), item), selection.end());
    if (hoverId == id)
        hoverId = -1;
    anchorId = -1;
    if (lastToggled == item)
        lastToggled = nullptr;
    itemsLock.Lock();
    items.erase(std::remove_if(items.begin(), items.end(), [&](auto& t) { return t.get() == item; }), items.end());
    itemsLock.Unlock();
    itemRemoved(id);
    AfterRemoval(before);
    if (wasLoading)
        StartLoader();
}

void ListView::RemoveSelected()
{
    EndRenameNow();
    ReleaseDrag();
    const bool wasLoading = m_loading;
    StopLoader();
    itemsLock.Lock();
    items.erase(std::remove_if(items.begin(), items.end(),
                               [&](auto& t) {
                                   return std::find(selection.begin(), selection.end(), t.get()) != selection.end();
                               }),
                items.end());
    itemsLock.Unlock();
    selection.clear();
    lastToggled = nullptr;
    itemRemoved(0);
    hoverId = -1;
    anchorId = -1;
    scrollPos = 0;
    AfterRemoval(0);
    if (m_hWnd)
        SetScrollPos(m_hWnd, SB_VERT, 0, TRUE);
    if (wasLoading)
        StartLoader();
}

void ListView::DestroyAll()
{
    itemsLock.Lock();
    items.clear();
    itemsLock.Unlock();
    selection.clear();
    hoverId = anchorId = -1;
    lastToggled = nullptr;
    renaming = nullptr;
}

void ListView::Clear()
{
    if (renaming && nameEditor.m_hWnd)
        ShowWindow(nameEditor.m_hWnd, SW_HIDE);
    StopLoader();
    ReleaseDrag();
    scrollPos = 0;
    DestroyAll();
    if (m_hWnd) {
        UpdateScrollBar();
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }
}

// ---- the loader

bool ListView::LoaderStopRequested()
{
    stopLock.Lock();
    const bool stopped = loaderStopped != 0;
    stopLock.Unlock();
    return stopped;
}

void ListView::StartLoader()
{
    StopLoader();
    const int pass = ++m_pass;
    // Cleared before the thread exists, so a stop that comes first is never lost.
    stopLock.Lock();
    loaderStopped = 0;
    stopLock.Unlock();
    loaderDone.Reset();
    m_loading = true;
    m_workersLeft = m_loaderThreads;
    for (int i = 0; i < m_loaderThreads; ++i)
        loaderThreads.emplace_back([this, pass] { LoaderPass(pass); });
}

void ListView::StopLoader()
{
    passLock.Lock();
    stopLock.Lock();
    loaderStopped = 1;
    stopLock.Unlock();
    passLock.Unlock();
    // The loader only posts to this thread and never waits on it, so joining cannot deadlock;
    // a decode in progress finishes first.
    JoinLoader();
    m_loading = false;
}

void ListView::JoinLoader()
{
    for (std::thread& worker : loaderThreads)
        if (worker.joinable())
            worker.join();
    loaderThreads.clear();
}

void ListView::LoaderPass(int pass)
{
    HWND window = m_hWnd;
    for (;;) {
        std::shared_ptr<ListViewItem> tile;
        passLock.Lock();
        const bool stop = LoaderStopRequested();
        if (!stop) {
            itemsLock.Lock();
            for (auto& t : items)
                if (t->triedPass != pass && !t->IsLoaded()) {
                    t->triedPass = pass;
                    tile = t;
                    break;
                }
            itemsLock.Unlock();
        }
        passLock.Unlock();
        if (!tile)
            break;
        ListViewItem::Decoded decoded = ListViewItem::Decode(tile->path, 135, 104);
        // Published even after a stop: the work is done and the tile may still be shown.
        if (tile->Publish(decoded) && window)
            PostMessageW(window, WM_ITEM_LOADED, static_cast<WPARAM>(tile->id), 0);
    }
    if (--m_workersLeft > 0)
        return;
    const bool stopped = LoaderStopRequested();
    stopLock.Lock();
    loaderStopped = 1;
    stopLock.Unlock();
    if (!stopped && window)
        PostMessageW(window, WM_PASS_DONE, static_cast<WPARAM>(pass), 0);
    loaderDone.Set();
}

// ---- drag and drop

void ListView::ReleaseDrag()
{
    Disarm();
    if (dataObject) {
        dataObject->Release();
        dataObject = nullptr;
    }
}

void ListView::OnDropCustom(IDataObject* data, DWORD, int x, int y, DWORD*)
{
    // Only a drag this list started, with its data, reorders it.
    if (!m_dragRunning || !data || data != dataObject || !editable || !m_hWnd)
        return;
    FORMATETC format = DragFormatRegistry::Instance().GetFormat(kItemFormat);
    if (!format.cfFormat)
        return;
    POINT p{x, y};
    ScreenToClient(m_hWnd, &p);
    p.y += scrollPos;
    ListViewItem* target = FindAt(p);
    if (!target)
        return;
    STGMEDIUM medium{};
    if (data->GetData(&format, &medium) != S_OK)
        return;
    int dragged = -1;
    if (medium.tymed == TYMED_HGLOBAL && GlobalSize(medium.hGlobal) >= sizeof(int32_t)) {
        if (const auto* block = static_cast<const int32_t*>(GlobalLock(medium.hGlobal))) {
            dragged = *block;
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    if (dragged == target->id || items.size() < 2)
        return;
    itemsLock.Lock();
    auto from = std::find_if(items.begin(), items.end(), [&](auto& t) { return t->id == dragged; });
    if (from != items.end()) {
        std::shared_ptr<ListViewItem> moving = *from;
        items.erase(from);
        auto to = std::find_if(items.begin(), items.end(), [&](auto& t) { return t.get() == target; });
        items.insert(to, moving);
    }
    itemsLock.Unlock();
    LayoutItems();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void ListView::OnDropFiles(HDROP files)
{
    if (!m_fileDropsAccepted || !editable || AppState::Instance()->IsUploading())
        return;
    ConfigMgr* config = ConfigMgr::Instance();
    const bool wasLoading = m_loading;
    StopLoader();
    const UINT count = DragQueryFileW(files, 0xFFFFFFFF, nullptr, 0);
    int added = 0;
    for (UINT i = 0; i < count; ++i) {
        // The limit caps the list: a full list takes nothing more.
        if (config->CountLimitReached(static_cast<int>(items.size())))
            break;
        const UINT length = DragQueryFileW(files, i, nullptr, 0);
        if (length == 0)
            continue;
        std::u16string path(length + 1, u'\0');
        if (DragQueryFileW(files, i, path.data(), length + 1) != length)
            continue;
        path.resize(length);
        struct stat info;
        const bool exists = ::stat(pictavo::platform::toUtf8(path).c_str(), &info) == 0;
        if (exists && S_ISDIR(info.st_mode))
            continue;
        if (!acceptedExtension(path))
            continue;
        int64_t size = exists && S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : -1;
        if (size < 0)
            size = QueryFileSize(path);
        if (config->ExceedsSizeLimit(size))
            continue;
        if (std::any_of(items.begin(), items.end(), [&](auto& t) { return t->IsPathText(path); }))
            continue;
        auto* tile = new ListViewPostItem(path);
        tile->fileSize = size;
        AddItem(tile);
        ++added;
    }
    LayoutItems();
    UpdateScrollBar();
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
    filesDropped();
    // New tiles are loaded in the background so a large drop never stalls the window.
    if (added || wasLoading)
        StartLoader();
}

// ---- messages

void ListView::OnLButtonDown(POINT p, WPARAM keys)
{
    SetFocus(m_hWnd);
    const POINT lp{p.x, p.y + scrollPos};
    ListViewItem* target = FindAt(lp);
    if (target && (keys & MK_SHIFT)) {
        SelectRange(target);
        return;
    }
    if (target && (keys & MK_CONTROL)) {
        ToggleItem(target);
        return;
    }
    DeselectAll();
    if (target) {
        anchorId = -1;
        target->OnLButtonDown(lp);
        if (!target->HitsTool(lp) && editable) {
            ReleaseDrag();
            dataObject = new CustomDataObject;
            dataObject->SetIdData(target->id, kItemFormat);
            Arm(dataObject);
        }
    }
    selectionChanged(0);
}

void ListView::OnMouseMove(POINT p)
{
    if (IsArmed()) {
        m_dragRunning = true;
        DoDrag();
        m_dragRunning = false;
        ReleaseDrag();
        return;
    }
    const POINT lp{p.x, p.y + scrollPos};
    ListViewItem* target = FindAt(lp);
    if (hoverId != -1 && (!target || target->id != hoverId)) {
        if (ListViewItem* old = FindById(hoverId))
            old->OnMouseLeave();
        hoverId = -1;
    }
    if (target) {
        target->OnMouseMove(lp);
        hoverId = target->id;
    }
    if (!trackingLeave) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = 100;
        _TrackMouseEvent(&track);
        trackingLeave = 1;
    }
}

void ListView::OnMouseLeave()
{
    if (ListViewItem* item = hoverId == -1 ? nullptr : FindById(hoverId))
        item->OnMouseLeave();
    hoverId = -1;
    trackingLeave = 0;
}

void ListView::OnKeyUp(WPARAM key)
{
    if (key == 'A' && GetKeyState(VK_CONTROL) < 0) {
        if (!editable)
            return;
        selection.clear();
        for (auto& t : items) {
            t->Select(POINT{});
            selection.push_back(t.get());
        }
        selectionChanged(0);
    } else if (key == VK_DELETE) {
        if (editable && !selection.empty())
            RemoveSelected();
    }
}

void ListView::OnKeyDown(WPARAM key)
{
    switch (key) {
    case VK_PRIOR:
        OnVScroll(SB_PAGEUP, 0);
        break;
    case VK_NEXT:
        OnVScroll(SB_PAGEDOWN, 0);
        break;
    case VK_HOME:
        OnVScroll(SB_TOP, 0);
        break;
    case VK_END:
        OnVScroll(SB_BOTTOM, 0);
        break;
    case VK_UP:
        OnWheel(WHEEL_DELTA);
        break;
    case VK_DOWN:
        OnWheel(-WHEEL_DELTA);
        break;
    default:
        break;
    }
}

void ListView::Describe(pictavo::platform::AutomationNode& node)
{
    node.className = u"ListView";
    node.state["count"] = pictavo::platform::wformat(u"%d", static_cast<int>(items.size()));
    node.state["scrollPos"] = pictavo::platform::wformat(u"%d", scrollPos);
    node.state["scrollMax"] = pictavo::platform::wformat(u"%d", ScrollMax());
    node.state["editable"] = editable ? u"1" : u"0";
    node.state["loading"] = m_loading ? u"1" : u"0";
    POINT origin{0, 0};
    ClientToScreen(m_hWnd, &origin);
    const int h = ClientHeight();
    for (auto& t : items) {
        pictavo::platform::AutomationNode child;
        t->Describe(child);
        const RECT& r = t->rect;
        child.bounds = RECT{r.left + origin.x, r.top - scrollPos + origin.y, r.right + origin.x,
                            r.bottom - scrollPos + origin.y};
        child.visible = r.bottom > scrollPos && r.top < scrollPos + h;
        node.children.push_back(std::move(child));
    }
}

BOOL ListView::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                    DWORD)
{
    const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    result = 0;
    switch (message) {
    case WM_PAINT:
        Paint();
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_SIZE:
    case WM_KEYDOWN:
        if (message == WM_KEYDOWN)
            OnKeyDown(wParam);
        return TRUE;
    case WM_KEYUP:
        OnKeyUp(wParam);
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(p, wParam);
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(p);
        return TRUE;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return TRUE;
    case WM_LBUTTONUP: {
        EndRenameNow();
        ReleaseDrag();
        const POINT lp{p.x, p.y + scrollPos};
        if (ListViewItem* target = FindAt(lp))
            target->OnLButtonUp(lp);
        return TRUE;
    }
    case WM_LBUTTONDBLCLK: {
        const POINT lp{p.x, p.y + scrollPos};
        ListViewItem* target = FindAt(lp);
        if (target && !target->HitsTool(lp))
            itemDoubleClicked(target);
        return TRUE;
    }
    case WM_MOUSEWHEEL:
        OnWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return TRUE;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam), static_cast<int>(HIWORD(wParam)));
        return TRUE;
    case WM_REMOVE_ITEM:
        RemoveItem(static_cast<int>(wParam));
        return TRUE;
    case WM_REFRESH_ITEM:
        if (ListViewItem* item = FindById(static_cast<int>(wParam))) {
            const RECT& r = item->rect;
            if (!(r.top > scrollPos + ClientHeight() || r.bottom < scrollPos)) {
                RECT strip{r.left + 1, r.top + 96 - scrollPos, r.right - 1, r.bottom - 30 - scrollPos};
                InvalidateRect(window, &strip, FALSE);
            }
        }
        return TRUE;
    case WM_ITEM_LOADED:
        if (ListViewItem* item = FindById(static_cast<int>(wParam)))
            item->Redraw();
        return TRUE;
    case WM_PASS_DONE:
        if (static_cast<int>(wParam) == m_pass && m_loading) {
            JoinLoader();
            m_loading = false;
            thumbnailsLoaded();
        }
        return TRUE;
    case WM_PICTAVO_DESCRIBE:
        DefWindowProc(message, wParam, lParam);
        Describe(*reinterpret_cast<pictavo::platform::AutomationNode*>(lParam));
        result = TRUE;
        return TRUE;
    case WM_DESTROY:
        StopLoader();
        if (renaming && nameEditor.m_hWnd)
            ShowWindow(nameEditor.m_hWnd, SW_HIDE);
        DestroyAll();
        if (bufferBitmap) {
            DeleteObject(bufferBitmap);
            bufferBitmap = nullptr;
        }
        RevokeDragDrop(window);
        return FALSE;
    default:
        return FALSE;
    }
}
