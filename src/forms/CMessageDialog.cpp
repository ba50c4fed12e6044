#include "forms/CMessageDialog.h"

#include "platform/win/Dialog.h"

namespace {

constexpr int kWidth = 384;
constexpr int kHeight = 174;

} // namespace

void CMessageDialog::Form::OnPaint(Quendal::UI::CPaintEventArgs& e)
{
    ExtForm::OnPaint(e);
    ControlBase::OnPaint(e);
}

CMessageDialog::CMessageDialog() = default;

CMessageDialog::~CMessageDialog()
{
    disconnect_all();
}

INT_PTR CMessageDialog::DoModal(HWND owner)
{
    pictavo::platform::DialogTemplate tmpl;
    tmpl.style = WS_POPUP | WS_VISIBLE;
    tmpl.width = kWidth;
    tmpl.height = kHeight;
    owner_ = owner;
    const INT_PTR result =
        DialogBoxIndirectParamW(nullptr, &tmpl, owner, &CMessageDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    dialog_ = nullptr;
    // A dialog that could not be made, or was torn down by someone else, was not confirmed.
    return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CMessageDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CMessageDialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->OnInitDialog(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<CMessageDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self)
        return FALSE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    // The dialog manager keeps its own bookkeeping of these.
    if (message == WM_NCDESTROY || message == WM_ACTIVATE)
        return FALSE;
    LRESULT result = 0;
    if (!self->form_.ProcessWindowMessage(dialog, message, wParam, lParam, result))
        return FALSE;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

void CMessageDialog::OnInitDialog(HWND dialog)
{
    dialog_ = dialog;
    if (form_.caption.empty())
        form_.SetCaption(u"提示消息");
    // Scenarios find skinned windows by their caption.
    SetWindowTextW(dialog, form_.caption.c_str());
    form_.AttachWindow(dialog, 0, 0, kWidth, kHeight);

    ok_.Create(form_, u"");
    ok_.SetImages("BtnOk", "BtnOk", "BtnOk", "BtnOk");
    ok_.SetSize(51, 24);
    ok_.SetMargins(257, 141, 0, 0);
    ok_.clicked.connect(this, &CMessageDialog::OnOk);

    cancel_.Create(form_, u"");
    cancel_.SetImages("BtnCancel", "BtnCancel", "BtnCancel", "BtnCancel");
    cancel_.SetSize(51, 24);
    cancel_.SetMargins(318, 141, 0, 0);
    cancel_.clicked.connect(this, &CMessageDialog::OnCancel);

    close_.Create(form_, u"");
    close_.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "");
    close_.SetSize(15, 15);
    close_.SetAnchor(ControlBase::Top | ControlBase::Right);
    close_.SetMargins(0, 12, 14, 0);
    close_.clicked.connect(this, &CMessageDialog::OnCancel);

    label_.Create(form_, text_);
    label_.SetMargins(100, 72, 0, 0);

    SetWindowPos(dialog, nullptr, 0, 0, kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The size it was created with came before the form knew the window: give the form its
    // back buffer and layout now, as a resize would.
    RECT client{};
    GetClientRect(dialog, &client);
    LRESULT ignored = 0;
    form_.ProcessWindowMessage(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom), ignored);

    // Centred on the owner, or on the work area when there is none.
    RECT around{};
    if (!owner_ || !GetWindowRect(owner_, &around))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    const int x = around.left + ((around.right - around.left) - kWidth) / 2;
    const int y = around.top + ((around.bottom - around.top) - kHeight) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMessageDialog::OnOk()
{
    if (dialog_)
        EndDialog(dialog_, IDOK);
}

void CMessageDialog::OnCancel()
{
    if (dialog_)
        EndDialog(dialog_, IDCANCEL);
}
