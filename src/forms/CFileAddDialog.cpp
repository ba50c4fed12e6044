#include "forms/CFileAddDialog.h"

#include "forms/DialogObject.h"
#include "Biz/ConfigMgr.h"
#include "io/FileFunctions.h"
#include "platform/kernel/Strings.h"
#include "platform/kernel/WFormat.h"
#include "platform/shell/ShlwApi.h"
#include "ui/ListViewPostItem.h"
#include "ui/ListViewSelectItem.h"

#include <algorithm>
#include <thread>

namespace {

constexpr int kTreeId = 3;
constexpr int kConfirmId = 1001;
constexpr int kCancelId = 1002;
constexpr int kBandTop = 496;
constexpr int kSizeLabelLeft = 371;
// Between the count text and the size text when the count text runs long.
constexpr int kLabelGap = 10;
constexpr const char16_t* kNoCount = u"当前选择0/0张照片";
constexpr const char16_t* kNoSize = u"共0.00KB";

bool isPictureName(LPCWSTR name)
{
    const std::u16string ext = pictavo::platform::toLower(std::u16string(PathFindExtensionW(name)));
    return ext == u".gif" || ext == u".png" || ext == u".jpg" || ext == u".bmp" || ext == u".tif";
}

void drawFocusMark(HDC dc, const RECT& r)
{
    HPEN pen = CreatePen(PS_DOT, 1, 0x333333);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

} // namespace

void CFileAddDialog::Form::OnPaint(Quendal::UI::CPaintEventArgs& e)
{
    ExtForm::OnPaint(e);
    ControlBase::OnPaint(e);
    for (const FocusProxy* proxy : {&m_owner.selectAllFocus, &m_owner.okFocus, &m_owner.cancelFocus})
        if (proxy->HasFocus()) {
            RECT r = proxy->Element().bounds;
            // Inside the button pictures' own border; around the check box and its text.
            if (proxy != &m_owner.selectAllFocus)
                r = RECT{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
            drawFocusMark(e.hdc, r);
        }
}

CFileAddDialog::CFileAddDialog()
{
    pictureList.SetFileDropsAccepted(false);
    // A folder of photos is decoded on every core there is (two at most): huge JPEGs are
    // read whole even for a small thumbnail, and one thread leaves the user waiting.
    pictureList.SetLoaderThreads(std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 2));
}

CFileAddDialog::~CFileAddDialog()
{
    disconnect_all();
}

std::u16string CFileAddDialog::SizeText(int64_t total)
{
    if (total >= 1048576) {
        const float mb = static_cast<float>(static_cast<double>(total) / 1048576.0);
        return pictavo::platform::wformat(u"%.2fMB", static_cast<double>(mb));
    }
    if (total >= 1024) {
        const float kb = static_cast<float>(static_cast<double>(total) / 1024.0);
        return pictavo::platform::wformat(u"共%.2fKB", static_cast<double>(kb));
    }
    return kNoSize;
}

INT_PTR CFileAddDialog::DoModal(HWND owner)
{
    pictavo::platform::DialogTemplate tmpl;
    tmpl.style = WS_POPUP | WS_VISIBLE;
    tmpl.width = kWidth;
    tmpl.height = kHeight;
    m_owner = owner;
    const INT_PTR result =
        DialogBoxIndirectParamW(nullptr, &tmpl, owner, &CFileAddDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_dialog = nullptr;
    return result < 0 ? 0 : result;
}

INT_PTR CFileAddDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = DialogObject<CFileAddDialog>(dialog, message, lParam);
    if (!self)
        return FALSE;
    if (message == WM_INITDIALOG) {
        self->OnInitDialog(dialog);
        return TRUE;
    }
    LRESULT result = 0;
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            self->End(LOWORD(wParam));
            return TRUE;
        case kConfirmId:
            self->OnConfirm();
            return TRUE;
        case kCancelId:
            self->OnCancel();
            return TRUE;
        case kSelectAllId:
            self->OnSelectAll();
            return TRUE;
        default:
            break;
        }
        break;
    case WM_NOTIFY:
        if (lParam && self->folderTree.OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) {
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
            return TRUE;
        }
        break;
    case WM_LBUTTONDBLCLK:
        // The dialog's class asks for double-clicks; a quick second click on the check box or
        // a button is still a click.
        message = WM_LBUTTONDOWN;
        break;
    // The dialog manager keeps its own bookkeeping of these.
    case WM_NCDESTROY:
    case WM_ACTIVATE:
        return FALSE;
    default:
        break;
    }
    if (!self->m_form.ProcessWindowMessage(dialog, message, wParam, lParam, result))
        return FALSE;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

void CFileAddDialog::OnInitDialog(HWND dialog)
{
    m_dialog = dialog;
    m_form.SetIconName("IcoAdd");
    m_form.SetCaption(u"添加图片");
    // Scenarios find skinned windows by their caption.
    SetWindowTextW(dialog, m_form.caption.c_str());
    m_form.AttachWindow(dialog, 0, 0, kWidth, kHeight);

    selectAllBox.Create(m_form, u"全选");
    selectAllBox.SetMargins(208, kBandTop, 0, 0);
    selectAllBox.SetAnchor(ControlBase::Top | ControlBase::Left);
    selectAllBox.changed.connect(this, &CFileAddDialog::OnSelectAll);

    countLabel.Create(m_form, kNoCount);
    countLabel.SetMargins(259, kBandTop, 0, 0);
    sizeLabel.Create(m_form, kNoSize);
    sizeLabel.SetMargins(kSizeLabelLeft, kBandTop, 0, 0);

    okButton.Create(m_form, u"");
    okButton.SetImages("BtnOk", "BtnOk", "BtnOk", "BtnOk");
    okButton.clicked.connect(this, &CFileAddDialog::OnConfirm);
    okButton.SetSize(51, 24);
    okButton.SetMargins(0, 0, 73, 6);
    okButton.SetAnchor(ControlBase::Right | ControlBase::Bottom);

    cancelButton.Create(m_form, u"");
    cancelButton.SetImages("BtnCancel", "BtnCancel", "BtnCancel", "BtnCancel");
    cancelButton.clicked.connect(this, &CFileAddDialog::OnCancel);
    cancelButton.SetSize(51, 24);
    cancelButton.SetMargins(0, 0, 16, 6);
    cancelButton.SetAnchor(ControlBase::Right | ControlBase::Bottom);

    closeButton.Create(m_form, u"");
    closeButton.clicked.connect(this, &CFileAddDialog::OnCancel);
    closeButton.SetSize(15, 15);
    closeButton.SetMargins(0, 5, 6, 0);
    closeButton.SetAnchor(ControlBase::Right | ControlBase::Top);
    closeButton.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "");

    // The tree is made first so it is first in the tab order and takes the focus.
    folderTree.Create(dialog, kTreeId, RECT{1, 33, 1 + 189, 33 + 450}, iconList.GetHandle());
    folderTree.folderSelected = [this](const std::u16string& folder) { ListFolder(folder); };
    if (HWND list = pictureList.Create(dialog, 191, 33, 628, 451))
        SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) | WS_TABSTOP);
    pictureList.selectionChanged.connect(this, &CFileAddDialog::OnSelectionChanged);
    pictureList.itemRemoved.connect(this, &CFileAddDialog::OnItemRemoved);

    SetWindowPos(dialog, nullptr, 0, 0, kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The size it was created with came before the form knew the window: give the form its
    // back buffer and layout now, as a resize would.
    RECT client{};
    GetClientRect(dialog, &client);
    LRESULT ignored = 0;
    m_form.ProcessWindowMessage(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom), ignored);

    selectAllFocus.Create(dialog, kSelectAllId);
    selectAllFocus.pressed = [this] {
        selectAllBox.SetChecked(!selectAllBox.IsChecked());
        OnSelectAll();
    };
    okFocus.Create(dialog, kConfirmId);
    okFocus.pressed = [this] { OnConfirm(); };
    cancelFocus.Create(dialog, kCancelId);
    cancelFocus.pressed = [this] { OnCancel(); };

    CentreOverOwner();
    folderTree.Build(ConfigMgr::Instance()->DefaultFolder());
}

void CFileAddDialog::CentreOverOwner()
{
    // Over the page's top-level window, which is what the user sees of the control.
    HWND around = m_owner ? GetAncestor(m_owner, GA_ROOT) : nullptr;
    RECT area{};
    if (!around || !IsWindowVisible(around) || IsIconic(around) || !GetWindowRect(around, &area))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int x = area.left + ((area.right - area.left) - kWidth) / 2;
    const int y = area.top + ((area.bottom - area.top) - kHeight) / 2;
    SetWindowPos(m_dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFileAddDialog::SetCountTexts(const std::u16string& count, const std::u16string& size)
{
    countLabel.SetText(count);
    sizeLabel.Invalidate();
    // Measured, so a long count never runs into the size.
    const int left = std::max<int>(kSizeLabelLeft, countLabel.bounds.right + kLabelGap);
    sizeLabel.SetMargins(left, kBandTop, 0, 0);
    sizeLabel.SetText(size);
    sizeLabel.Layout();
    sizeLabel.Invalidate();
}

void CFileAddDialog::ListFolder(const std::u16string& folder)
{
    selectAllBox.SetChecked(FALSE);
    pictureList.Clear();
    SetCountTexts(kNoCount, kNoSize);
    ConfigMgr::Instance()->SetDefaultFolder(folder);
    if (folder.empty())
        return;
    const std::u16string pattern = folder + (folder.back() == u'/' ? u"*" : u"/*");
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !isPictureName(entry.cFileName))
            continue;
        WCHAR path[MAX_PATH];
        if (!PathCombineW(path, folder.c_str(), entry.cFileName))
            continue;
        // Opening it is the test: an empty or unreadable file is no picture.
        if (QueryFileSize(path) <= 0)
            continue;
        auto* tile = new ListViewSelectItem(path);
        tile->fileSize = static_cast<int64_t>((static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
        pictureList.AddItem(tile);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    pictureList.Layout();
    SetCountTexts(pictavo::platform::wformat(u"当前选择0/%d张照片", static_cast<int>(pictureList.Count())), kNoSize);
    if (pictureList.Count() > 0)
        pictureList.StartLoader();
}

void CFileAddDialog::UpdateCounts()
{
    const int64_t total = pictureList.TotalSize();
    SetCountTexts(pictavo::platform::wformat(u"当前选择%d/%d张照片", pictureList.CountNonZeroStatus(),
                                             static_cast<int>(pictureList.Count())),
                  SizeText(total));
}

void CFileAddDialog::OnSelectionChanged(int)
{
    UpdateCounts();
}

void CFileAddDialog::OnItemRemoved(int)
{
    UpdateCounts();
}

void CFileAddDialog::OnSelectAll()
{
    pictureList.SetAllStatus(selectAllBox.IsChecked() ? 1 : 0);
    UpdateCounts();
}

void CFileAddDialog::OnConfirm()
{
    pictureList.StopLoader();
    if (!targetList) {
        End(0);
        return;
    }
    ConfigMgr* config = ConfigMgr::Instance();
    bool added = false;
    // The limit caps the upload list, whatever it held before this confirm.
    for (ListViewItem* source : pictureList.CopyChecked(pictureList.Count())) {
        if (config->CountLimitReached(static_cast<int>(targetList->Count())))
            break;
        const int64_t size = source->fileSize > 0 ? source->fileSize : QueryFileSize(source->path);
        if (config->ExceedsSizeLimit(size) || targetList->ContainsPath(*source))
            continue;
        auto* tile = new ListViewPostItem(source->path);
        tile->name = source->name;
        tile->extension = source->extension;
        tile->fileSize = size;
        tile->status = source->status;
        // The thumbnail made here moves with the picture rather than being made again.
        source->lock.Lock();
        tile->thumbLoaded = source->thumbLoaded;
        tile->imageReady = source->imageReady;
        tile->image = source->image;
        tile->thumbnail = source->thumbnail;
        source->image = nullptr;
        source->thumbnail = nullptr;
        source->thumbLoaded = false;
        source->imageReady = false;
        source->lock.Unlock();
        targetList->AddItem(tile);
        added = true;
    }
    if (added)
        targetList->Layout();
    targetList->StartLoader();
    End(0);
}

void CFileAddDialog::OnCancel()
{
    pictureList.StopLoader();
    End(0);
}

void CFileAddDialog::End(INT_PTR result)
{
    if (m_dialog)
        EndDialog(m_dialog, result);
}
