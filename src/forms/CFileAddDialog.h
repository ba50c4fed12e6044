#pragma once

#include "forms/DesktopFolder.h"
#include "forms/FocusProxy.h"
#include "forms/FolderTree.h"
#include "forms/SystemIconList.h"
#include "platform/win/Dialog.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ExtForm.h"
#include "ui/Label.h"
#include "ui/ListView.h"
#include "ui/has_slots.h"

#include <string>

// The modal picture chooser: a folder tree, the folder's pictures as check tiles, and confirm
// into the upload list the opener gives. Construct, SetTargetList, DoModal, destroy.
class CFileAddDialog : public has_slots
{
public:
    static constexpr int kWidth = 820;
    static constexpr int kHeight = 520;
    static constexpr int kSelectAllId = 201;

    CFileAddDialog();
    ~CFileAddDialog() override;

    // Not owned; confirmed pictures go there.
    void SetTargetList(ListView* list) { targetList = list; }
    // 0 when closed by its buttons, IDOK (1) or IDCANCEL (2) for Enter or Escape, which add
    // nothing. The opener reads the outcome from the target list.
    INT_PTR DoModal(HWND owner);

    // The size text of a total in bytes.
    static std::u16string SizeText(int64_t total);

private:
    // The skinned frame, the elements, then the keyboard focus mark.
    class Form : public ExtForm
    {
    public:
        explicit Form(CFileAddDialog& owner) : m_owner(owner) {}
        void OnPaint(Quendal::UI::CPaintEventArgs& e) override;

    private:
        CFileAddDialog& m_owner;
    };

    static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND dialog);
    void ListFolder(const std::u16string& folder);
    void UpdateCounts();
    void SetCountTexts(const std::u16string& count, const std::u16string& size);
    void OnSelectionChanged(int);
    void OnItemRemoved(int);
    void OnSelectAll();
    void OnConfirm();
    void OnCancel();
    void End(INT_PTR result);
    void CentreOverOwner();

    Form m_form{*this};
    Quendal::UI::Controls::Button cancelButton;
    Quendal::UI::Controls::Button okButton;
    Quendal::UI::Controls::Button closeButton;
    Quendal::UI::Controls::CheckBox selectAllBox;
    Label countLabel;
    Label sizeLabel;
    ListView pictureList;
    ListView* targetList = nullptr;
    Quendal::Shell::SystemIconList iconList;
    Quendal::Shell::DesktopFolder desktop;
    FolderTree folderTree{desktop};
    FocusProxy selectAllFocus{selectAllBox, DLGC_BUTTON};
    FocusProxy okFocus{okButton, DLGC_BUTTON | DLGC_DEFPUSHBUTTON};
    FocusProxy cancelFocus{cancelButton, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON};
    HWND m_dialog = nullptr;
    HWND m_owner = nullptr;
};
