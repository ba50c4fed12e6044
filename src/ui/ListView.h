#pragma once

#include "Biz/IUploadList.h"
#include "ui/CIDropTargetImpl.h"
#include "ui/OleDrager.h"
#include "threading/CriticalSection.h"
#include "threading/EventHandler.h"
#include "ui/TextEditor.h"
#include "ui/WindowImpl.h"
#include "ui/WindowedElement.h"
#include "ui/signal0.h"
#include "ui/signal1.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class ListViewItem;
class ListViewPostItem;

// A grid of picture tiles in a child window with a vertical scroll bar, fed by a loader thread.
class ListView : public WindowImpl, public CIDropTargetImpl, public OleDrager, public WindowedElement::Owner,
                 public IUploadList
{
public:
    static constexpr UINT WM_REMOVE_ITEM = WM_USER + 1;
    static constexpr UINT WM_REFRESH_ITEM = WM_USER + 2;
    static constexpr UINT WM_ITEM_LOADED = WM_USER + 3;
    static constexpr UINT WM_PASS_DONE = WM_USER + 4;

    ListView();
    ~ListView() override;

    HWND Create(HWND parentWindow, int x, int y, int width, int height);
    HWND CreateFor(HWND parentWindow) override;
    void Place(const RECT& rect) override;

    void SetItemSize(int w, int h);
    void SetEditable(BYTE value) { editable = value; }
    BYTE IsEditable() const { return editable; }
    // The add dialog's list takes no file drops.
    void SetFileDropsAccepted(bool value) { m_fileDropsAccepted = value; }

    // Takes ownership; the caller lays out afterwards.
    void AddItem(ListViewItem* item);
    void RemoveItem(int id);
    void PostRemove(int id);
    void RemoveSelected();
    void Clear() override;
    void SelectAll(bool select);
    void SetAllStatus(int value);
    int CountNonZeroStatus();
    LONG Count() override;
    int64_t TotalSize();
    bool ContainsPath(const ListViewItem& item);
    ListViewItem* FindById(int id);
    ListViewItem* FindAt(POINT listPoint);
    std::vector<ListViewItem*> GetSelection() const { return selection; }
    std::vector<ListViewItem*> CopyChecked(int n);
    std::vector<ListViewItem*> Items();
    void StartLoader();
    void StopLoader();
    // Workers of each pass, 1 by default; they take tiles in display order.
    void SetLoaderThreads(int count) { m_loaderThreads = std::clamp(count, 1, 8); }
    // A pass started and not yet finished or stopped.
    bool IsLoading() const { return m_loading; }
    void RefreshItem(int id);

    void LayoutItems();
    void UpdateScrollBar();
    // Client size refreshed, tiles laid out, scroll bar updated, position clamped.
    void Layout();
    int ScrollPos() const { return scrollPos; }
    int ScrollMax() const;
    void ScrollTo(int position);

    // For the tiles.
    void RedrawItem(ListViewItem& item);
    void AddToSelection(ListViewItem* item);
    void SetAnchor(int id) { anchorId = id; }
    void BeginRename(ListViewPostItem* item);
    std::u16string TakeEditorText();

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;
    void OnDropFiles(HDROP files) override;
    void OnDropCustom(IDataObject* data, DWORD keyState, int x, int y, DWORD* effect) override;

    signal0 filesDropped;
    signal1<int> selectionChanged;
    signal1<int> itemRemoved;
    signal1<ListViewItem*> itemDoubleClicked;
    signal0 thumbnailsLoaded;
    // The owning panel opens its edit and preview windows through these.
    std::function<void(ListViewPostItem&)> openEditor;
    std::function<void(ListViewPostItem&)> openPreview;

    WindowedElement element{*this};

    BYTE trackingLeave = 0;
    BYTE editable = 1;
    int anchorId = -1;
    int hoverId = -1;
    int scrollPos = 0;
    int itemHeight = 141;
    int itemWidth = 140;
    int frameWidth = 148;
    int frameHeight = 120;
    int hGap = 14;
    int vGap = 32;
    int nextId = 0;
    COLORREF accentColour = 0xE9B454;
    COLORREF neutralColour = 0xC5C5C5;
    COLORREF backColour = 0xFFFFFF;
    COLORREF lightColour = 0xFCF9F1;
    ListViewItem* lastToggled = nullptr;
    ListViewPostItem* renaming = nullptr;
    RECT client{};
    int marginLeft = 4, marginTop = 4, marginRight = 4, marginBottom = 4;

private:
    // Lock order: passLock, then itemsLock, then a tile's lock. The loader holds each only
    // for bookkeeping, never while decoding, and never while waiting on the window thread.
    Quendal::Threading::CriticalSection passLock;
    // Guards the structure of items (add, remove, reorder, clear) against the loader.
    Quendal::Threading::CriticalSection itemsLock;
    Quendal::Threading::CriticalSection stopLock;
    int loaderStopped = 1;
    Quendal::Threading::EventHandler loaderDone;
    std::vector<std::thread> loaderThreads;
    int m_loaderThreads = 1;
    // Workers of the current pass still running; the last one ends the pass.
    std::atomic<int> m_workersLeft{0};
    std::atomic<int> m_pass{0};
    bool m_loading = false;

    // Shared so the loader can finish a tile that was removed meanwhile.
    std::vector<std::shared_ptr<ListViewItem>> items;
    std::vector<ListViewItem*> selection;
    HBITMAP bufferBitmap = nullptr;
    SIZE bufferSize{};
    CustomDataObject* dataObject = nullptr;
    bool m_dragRunning = false;
    bool m_fileDropsAccepted = true;
    TextEditor nameEditor;

    void LoaderPass(int pass);
    void JoinLoader();
    bool LoaderStopRequested();
    void Paint();
    void OnLButtonDown(POINT p, WPARAM keys);
    void OnMouseMove(POINT p);
    void OnMouseLeave();
    void OnKeyUp(WPARAM key);
    void OnKeyDown(WPARAM key);
    void OnVScroll(int code, int track);
    void OnWheel(int delta);
    void ApplyScroll(int position);
    void ToggleItem(ListViewItem* item);
    void SelectRange(ListViewItem* item);
    void DeselectAll();
    void EndRenameNow();
    void AfterRemoval(int restoreScroll);
    void ReleaseDrag();
    int Columns() const;
    int Rows() const;
    int ClientHeight() const { return std::max(0, static_cast<int>(client.bottom - client.top)); }
    void Describe(pictavo::platform::AutomationNode& node);
    void DestroyAll();
};
