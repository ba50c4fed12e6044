#pragma once

#include "module/IRunPanel.h"
#include "platform/win/AutomationNode.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ControlBase.h"
#include "ui/IconLabel.h"
#include "ui/Label.h"
#include "ui/ListView.h"
#include "ui/has_slots.h"

#include <functional>
#include <string>
#include <vector>

class ListViewItem;
class ListViewPostItem;

// What the control's window shows: the tool band, the upload list, and the large add button
// with its hint while the list is empty. Lives as long as the control; Build attaches it to
// each window the control is given.
class MainPanel : public has_slots, public IRunPanel
{
public:
    MainPanel();
    ~MainPanel() override;
    MainPanel(const MainPanel&) = delete;
    MainPanel& operator=(const MainPanel&) = delete;

    // Attaches every element to the window in the empty-list look. A window made again gets
    // the panel afresh, never a second copy of it.
    void Build(HWND window);
    // The window is going: the list lets go of its tiles and its loader.
    void Release();
    bool IsBuilt() const { return m_built; }

    void Layout();
    void Paint(Quendal::UI::CPaintEventArgs& e);
    // WM_MOUSEMOVE, WM_LBUTTONDOWN or WM_LBUTTONUP of the control's window.
    void OnMouse(UINT message, LPARAM lParam);
    void OnMouseLeave();
    // The elements the window draws itself, as children of its automation node.
    void Describe(pictavo::platform::AutomationNode& node);

    void SetProgressText(const std::u16string& text);
    void SetRemainingTimeText(const std::u16string& text);
    void SetSpeedText(const std::u16string& text);
    bool PostEnabled() const { return !postButton.disabled; }
    bool IsUploading() const;

    // Files dropped on the control's window itself (not on the list): pictures only, each
    // path once, no limits.
    void AddDroppedFiles(const std::vector<std::u16string>& paths);

    // IRunPanel
    ListView* List() override { return &list; }
    void SetPostSkins(bool cancel) override;
    void EnablePost(bool enabled) override;
    void EnableAdd(bool enabled) override;
    void EnableSelectAll(bool enabled) override;
    void ShowRunLabels(bool shown) override;
    void UpdateTools() override;
    void UpdateLook() override;
    void InvalidateList() override;

    // Signal handlers.
    void OnSelectionChanged(int);
    void OnItemRemoved(int id);
    void OnItemDoubleClicked(ListViewItem* item);
    void OnFilesDropped();
    void OnThumbnailsLoaded();
    void OnAddClicked();
    void OnPostClicked();
    void OnSelectAllChanged();
    void OnEditClicked(ControlBase*);
    void OnRotateLeftClicked(ControlBase*);
    void OnRotateRightClicked(ControlBase*);
    void OnDeleteClicked(ControlBase*);

    // Connected by the control's owner: the modal add dialog filling list, the modal edit
    // window for one tile (each owned by owner), and the start or cancel of a run.
    std::function<void(HWND owner, ListView& list)> openAddDialog;
    std::function<void(HWND owner, ListViewPostItem& tile)> openEditor;
    std::function<void()> onPost;
    // Whether this control is uploading; the process-wide state unless connected otherwise.
    std::function<bool()> isUploading;

    HWND window = nullptr;
    // The root: a plain container the window's paint and mouse messages go to.
    ControlBase root;
    ListView list;
    Quendal::UI::Controls::Button addButton;
    Quendal::UI::Controls::Button postButton;
    Quendal::UI::Controls::CheckBox selectAll;
    Quendal::UI::Controls::Button bigAddButton;
    Label hint;
    Quendal::UI::Controls::IconLabel editTool;
    Quendal::UI::Controls::IconLabel rotateLeftTool;
    Quendal::UI::Controls::IconLabel rotateRightTool;
    Quendal::UI::Controls::IconLabel deleteTool;
    Label statusLabel;
    Label remainingTimeLabel;
    Label speedLabel;

private:
    HWND DialogOwner() const;
    void EnableTools(bool enabled);
    void ShowEmptyLook(bool empty);
    void Turn(bool left);
    void OpenEditor(ListViewPostItem& tile);
    void OpenPreview(ListViewItem& tile);

    bool m_built = false;
};
