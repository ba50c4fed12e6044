#include "module/MainPanel.h"

#include "Biz/AppState.h"
#include "forms/ImageViewForm.h"
#include "platform/kernel/Strings.h"
#include "platform/shell/ShlwApi.h"
#include "ui/DragFormatRegistry.h"
#include "ui/ListViewPostItem.h"

#include <algorithm>

using Quendal::UI::CMouseEventArgs;
using Quendal::UI::CPaintEventArgs;

namespace {

constexpr UINT EnablePostMessage = WM_USER + 104;
constexpr int HintCentringWidth = 227;

bool takenExtension(const std::u16string& path)
{
    const std::u16string ext = pictavo::platform::toLower(std::u16string(PathFindExtensionW(path.c_str())));
    return ext == u".gif" || ext == u".png" || ext == u".bmp" || ext == u".jpg";
}

} // namespace

MainPanel::MainPanel()
{
    isUploading = [] { return AppState::Instance()->IsUploading(); };
    // Connected once for the life of the panel, so a window made again never doubles them.
    list.selectionChanged.connect(this, &MainPanel::OnSelectionChanged);
    list.itemRemoved.connect(this, &MainPanel::OnItemRemoved);
    list.itemDoubleClicked.connect(this, &MainPanel::OnItemDoubleClicked);
    list.filesDropped.connect(this, &MainPanel::OnFilesDropped);
    list.thumbnailsLoaded.connect(this, &MainPanel::OnThumbnailsLoaded);
    addButton.clicked.connect(this, &MainPanel::OnAddClicked);
    bigAddButton.clicked.connect(this, &MainPanel::OnAddClicked);
    postButton.clicked.connect(this, &MainPanel::OnPostClicked);
    selectAll.changed.connect(this, &MainPanel::OnSelectAllChanged);
    editTool.clicked.connect(this, &MainPanel::OnEditClicked);
    rotateLeftTool.clicked.connect(this, &MainPanel::OnRotateLeftClicked);
    rotateRightTool.clicked.connect(this, &MainPanel::OnRotateRightClicked);
    deleteTool.clicked.connect(this, &MainPanel::OnDeleteClicked);
    // The tiles' own edit and preview spots open the same windows as the tools.
    list.openEditor = [this](ListViewPostItem& tile) { OpenEditor(tile); };
    list.openPreview = [this](ListViewPostItem& tile) { OpenPreview(tile); };
}

MainPanel::~MainPanel()
{
    // The list's loader may still be finishing a pass; no slot may run into a half-gone panel.
    disconnect_all();
    list.StopLoader();
}

void MainPanel::Build(HWND hwnd)
{
    window = hwnd;
    // A second window: the elements are attached again, the dead list window forgotten.
    root.children.clear();
    list.element.hwnd = nullptr;

    root.hwnd = hwnd;
    root.visible = TRUE;

    list.element.SetAnchor(ControlBase::Top | ControlBase::Bottom | ControlBase::Left | ControlBase::Right);
    list.element.SetMargins(1, 57, 1, 1);
    list.SetItemSize(150, 151);
    list.element.Attach(root);
    list.element.SetVisible(FALSE);

    using A = ControlBase::Anchor;
    auto place = [](ControlBase& e, DWORD anchor, int l, int t, int r, int b) {
        e.SetAnchor(anchor);
        e.SetMargins(l, t, r, b);
    };

    addButton.Create(root, u"");
    addButton.SetImages("BtnAdd-Normal", "BtnAdd-Hover", "BtnAdd-Hover", "BtnAdd-Disable");
    addButton.SetSize(84, 24);
    place(addButton, A::Top | A::Left, 6, 4, 0, 0);

    postButton.Create(root, u"");
    SetPostSkins(false);
    postButton.SetSize(84, 24);
    place(postButton, A::Top | A::Left, 94, 4, 0, 0);

    selectAll.Create(root, u"全选");
    place(selectAll, A::Top | A::Right, 0, 7, 229, 0);
    selectAll.checked = FALSE;

    bigAddButton.Create(root, u"");
    bigAddButton.SetImages("BtnAdd2-Normal", "BtnAdd2-Hover", "BtnAdd2-Hover", "");
    bigAddButton.SetSize(203, 51);
    place(bigAddButton, A::Top | A::CentreHorizontal, 268, 228, 0, 0);

    hint.format = 0x20;
    hint.Create(root, u"单击\"添加照片\"按钮或拖动照片到上传框中");
    place(hint, A::Top | A::CentreHorizontal, 0, 298, 0, 0);

    editTool.Create(root, u"编辑", "IcoEdit");
    place(editTool, A::Top | A::Right, 0, 7, 169, 0);
    rotateLeftTool.Create(root, u"左旋", "RotatioLeft");
    place(rotateLeftTool, A::Top | A::Right, 0, 7, 114, 0);
    rotateRightTool.Create(root, u"右旋", "RotatioRight");
    place(rotateRightTool, A::Top | A::Right, 0, 7, 60, 0);
    deleteTool.Create(root, u"删除", "Btn_Delete");
    place(deleteTool, A::Top | A::Right, 0, 7, 6, 0);

    statusLabel.Create(root, u"请点击\"添加按钮\"，选择要上传的照片");
    place(statusLabel, A::Top | A::Left, 8, 39, 0, 0);
    remainingTimeLabel.Create(root, u"");
    place(remainingTimeLabel, A::Top | A::Left, 427, 37, 0, 0);
    speedLabel.Create(root, u"");
    place(speedLabel, A::Top | A::Left, 585, 37, 0, 0);

    // The empty-list look, whatever an earlier window left behind.
    for (ControlBase* e : root.children)
        if (e != &list.element)
            e->visible = TRUE;
    addButton.disabled = FALSE;
    bigAddButton.disabled = FALSE;
    selectAll.disabled = FALSE;
    postButton.disabled = TRUE;
    EnableTools(false);

    DragFormatRegistry::Instance().RegisterFormat(u"ListViewItem");
    m_built = true;
    Layout();
}

void MainPanel::Release()
{
    list.StopLoader();
    list.Clear();
    m_built = false;
}

void MainPanel::Layout()
{
    if (!m_built)
        return;
    root.LayoutChildren();
    // The hint is centred as if it were 227 pixels wide, whatever its text measures.
    const LONG w = hint.bounds.right - hint.bounds.left, h = hint.bounds.bottom - hint.bounds.top;
    const RECT centred = hint.AnchoredRect(hint.GetContainerRect(), HintCentringWidth, static_cast<int>(h));
    hint.bounds = RECT{centred.left, centred.top, centred.left + w, centred.top + h};
}

void MainPanel::Paint(CPaintEventArgs& e)
{
    if (m_built)
        root.OnPaint(e);
}

void MainPanel::OnMouse(UINT message, LPARAM lParam)
{
    if (!m_built)
        return;
    // The left-button bit for every message, as the elements expect of a press or a drag.
    CMouseEventArgs e(1, lParam);
    if (message == WM_MOUSEMOVE)
        root.OnMouseMove(e);
    else if (message == WM_LBUTTONDOWN)
        root.OnLButtonDown(e);
    else if (message == WM_LBUTTONUP)
        root.OnLButtonUp(e);
}

void MainPanel::OnMouseLeave()
{
    if (m_built)
        root.OnMouseLeave();
}

void MainPanel::Describe(pictavo::platform::AutomationNode& node)
{
    if (!m_built)
        return;
    for (ControlBase* child : root.children) {
        // The list has a window of its own and is described as one already.
        if (child->GetHwnd() != window)
            continue;
        pictavo::platform::AutomationNode childNode;
        child->Describe(childNode);
        node.children.push_back(std::move(childNode));
    }
}

void MainPanel::SetProgressText(const std::u16string& text)
{
    statusLabel.SetText(text);
}

void MainPanel::SetRemainingTimeText(const std::u16string& text)
{
    remainingTimeLabel.SetText(text);
}

void MainPanel::SetSpeedText(const std::u16string& text)
{
    speedLabel.SetText(text);
}

bool MainPanel::IsUploading() const
{
    return isUploading && isUploading();
}

void MainPanel::AddDroppedFiles(const std::vector<std::u16string>& paths)
{
    if (!m_built || IsUploading())
        return;
    const bool wasLoading = list.IsLoading();
    list.StopLoader();
    int added = 0;
    for (const std::u16string& path : paths) {
        if (path.empty() || PathIsRootW(path.c_str()) || PathIsDirectoryW(path.c_str()))
            continue;
        if (!takenExtension(path))
            continue;
        const auto items = list.Items();
        if (std::any_of(items.begin(), items.end(), [&](ListViewItem* t) { return t->IsPathText(path); }))
            continue;
        list.AddItem(new ListViewPostItem(path));
        ++added;
    }
    list.LayoutItems();
    list.UpdateScrollBar();
    InvalidateList();
    // New tiles load in the background, as with drops on the list itself.
    if (added || wasLoading)
        list.StartLoader();
    if (list.Count() == 0)
        return;
    ShowEmptyLook(false);
    postButton.SetDisabled(FALSE);
}

void MainPanel::SetPostSkins(bool cancel)
{
    if (cancel)
        postButton.SetImages("BtnPost-Cancel", "BtnPost-Cancel", "BtnPost-Cancel", "BtnPost-Cancel");
    else
        postButton.SetImages("BtnPost-Normal", "BtnPost-Hover", "BtnPost-Hover", "BtnPost-Disable");
    postButton.Invalidate();
}

void MainPanel::EnablePost(bool enabled)
{
    postButton.SetDisabled(!enabled);
}

void MainPanel::EnableAdd(bool enabled)
{
    addButton.SetDisabled(!enabled);
    bigAddButton.SetDisabled(!enabled);
}

void MainPanel::EnableSelectAll(bool enabled)
{
    selectAll.SetDisabled(!enabled);
}

void MainPanel::ShowRunLabels(bool shown)
{
    remainingTimeLabel.SetVisible(shown);
    speedLabel.SetVisible(shown);
}

void MainPanel::UpdateTools()
{
    // A tile being sent must not be turned or removed under the upload.
    EnableTools(!list.GetSelection().empty() && !IsUploading());
}

void MainPanel::UpdateLook()
{
    ShowEmptyLook(list.Count() == 0);
}

void MainPanel::InvalidateList()
{
    if (list.m_hWnd)
        InvalidateRect(list.m_hWnd, nullptr, FALSE);
}

void MainPanel::OnSelectionChanged(int)
{
    UpdateTools();
}

void MainPanel::OnItemRemoved(int)
{
    UpdateTools();
    if (list.Count() != 0)
        return;
    ShowEmptyLook(true);
    postButton.SetDisabled(TRUE);
    EnableTools(false);
}

void MainPanel::OnItemDoubleClicked(ListViewItem* item)
{
    if (item)
        OpenPreview(*item);
}

void MainPanel::OnFilesDropped()
{
    if (list.Count() == 0 || IsWindowVisible(list.m_hWnd))
        return;
    ShowEmptyLook(false);
    postButton.SetDisabled(FALSE);
}

void MainPanel::OnThumbnailsLoaded()
{
    // Sent, not called: the post button changes on the window's thread whoever emits.
    if (window)
        SendMessageW(window, EnablePostMessage, 0, 0);
}

void MainPanel::OnAddClicked()
{
    if (IsUploading())
        return;
    postButton.SetDisabled(TRUE);
    const LONG before = list.Count();
    if (openAddDialog)
        openAddDialog(DialogOwner(), list);
    list.LayoutItems();
    list.UpdateScrollBar();
    InvalidateList();
    if (list.Count() == 0)
        return;
    ShowEmptyLook(false);
    // A dialog closed without taking anything starts no thumbnail pass to enable posting; one
    // that did take pictures leaves that to the end of the pass.
    if (list.Count() == before && !list.IsLoading())
        postButton.SetDisabled(FALSE);
}

void MainPanel::OnPostClicked()
{
    if (onPost)
        onPost();
}

void MainPanel::OnSelectAllChanged()
{
    list.SelectAll(selectAll.IsChecked());
    InvalidateList();
    UpdateTools();
}

void MainPanel::OnEditClicked(ControlBase*)
{
    if (IsUploading())
        return;
    const std::vector<ListViewItem*> selection = list.GetSelection();
    if (selection.empty())
        return;
    if (auto* tile = dynamic_cast<ListViewPostItem*>(selection.front()); tile && tile->IsImageReady())
        OpenEditor(*tile);
}

void MainPanel::OnRotateLeftClicked(ControlBase*)
{
    Turn(true);
}

void MainPanel::OnRotateRightClicked(ControlBase*)
{
    Turn(false);
}

void MainPanel::OnDeleteClicked(ControlBase*)
{
    if (IsUploading())
        return;
    list.RemoveSelected();
}

HWND MainPanel::DialogOwner() const
{
    if (HWND active = GetActiveWindow())
        return active;
    return window ? GetAncestor(window, GA_ROOT) : nullptr;
}

void MainPanel::EnableTools(bool enabled)
{
    for (auto* tool : {&editTool, &rotateLeftTool, &rotateRightTool, &deleteTool})
        if (tool->disabled != !enabled)
            tool->SetDisabled(!enabled);
}

void MainPanel::ShowEmptyLook(bool empty)
{
    list.element.SetVisible(!empty);
    bigAddButton.SetVisible(empty);
    hint.SetVisible(empty);
}

void MainPanel::Turn(bool left)
{
    if (IsUploading())
        return;
    for (ListViewItem* tile : list.GetSelection())
        if (tile->IsImageReady())
            tile->Turn(left);
}

void MainPanel::OpenEditor(ListViewPostItem& tile)
{
    if (!openEditor || IsUploading())
        return;
    openEditor(DialogOwner(), tile);
    tile.Redraw();
}

void MainPanel::OpenPreview(ListViewItem& tile)
{
    if (!tile.IsImageReady())
        return;
    // The preview copies the picture while the tile's lock keeps the loader off it.
    tile.lock.Lock();
    auto* form = new ImageViewForm(tile.image);
    tile.lock.Unlock();
    form->Show();
}
