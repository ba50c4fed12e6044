#include "forms/CMessageDialog.h"

#include "forms/DialogObject.h"
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
    m_owner = owner;
    const INT_PTR result =
        DialogBoxIndirectParamW(nullptr, &tmpl, owner, &CMessageDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_dialog = nullptr;
    // A dialog that could not be made, or was torn down by someone else, was not confirmed.
    return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CMessageDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = DialogObject<CMessageDialog>(dialog, message, lParam);
    if (!self)
        return FALSE;
    if (message == WM_INITDIALOG) {
        self->OnInitDialog(dialog);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    // The dialog manager keeps its own bookkeeping of these.
    if (message == WM_NCDESTROY || message == WM_ACTIVATE)
        return FALSE;
    LRESULT result = 0;
    if (!self->m_form.ProcessWindowMessage(dialog, message, wParam, lParam, result))
        return FALSE;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

void CMessageDialog::OnInitDialog(HWND dialog)
{
    m_dialog = dialog;
    if (m_form.caption.empty())
        m_form.SetCaption(u"提示消息");
    // Scenarios find skinned windows by their caption.
    SetWindowTextW(dialog, m_form.caption.c_str());
    m_form.AttachWindow(dialog, 0, 0, kWidth, kHeight);

    m_ok.Create(m_form, u"");
    m_ok.SetImages("BtnOk", "BtnOk", "BtnOk", "BtnOk");
    m_ok.SetSize(51, 24);
    m_ok.SetMargins(257, 141, 0, 0);
    m_ok.clicked.connect(this, &CMessageDialog::OnOk);

    m_cancel.Create(m_form, u"");
    m_cancel.SetImages("BtnCancel", "BtnCancel", "BtnCancel", "BtnCancel");
    m_cancel.SetSize(51, 24);
    m_cancel.SetMargins(318, 141, 0, 0);
    m_cancel.clicked.connect(this, &CMessageDialog::OnCancel);

    m_close.Create(m_form, u"");
    m_close.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "");
    m_close.SetSize(15, 15);
    m_close.SetAnchor(ControlBase::Top | ControlBase::Right);
    m_close.SetMargins(0, 12, 14, 0);
    m_close.clicked.connect(this, &CMessageDialog::OnCancel);

    m_label.Create(m_form, m_text);
    m_label.SetMargins(100, 72, 0, 0);

    SetWindowPos(dialog, nullptr, 0, 0, kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The size it was created with came before the form knew the window: give the form its
    // back buffer and layout now, as a resize would.
    RECT client{};
    GetClientRect(dialog, &client);
    LRESULT ignored = 0;
    m_form.ProcessWindowMessage(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom), ignored);

    // Centred on the owner, or on the work area when there is none.
    RECT around{};
    if (!m_owner || !GetWindowRect(m_owner, &around))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    const int x = around.left + ((around.right - around.left) - kWidth) / 2;
    const int y = around.top + ((around.bottom - around.top) - kHeight) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMessageDialog::OnOk()
{
    if (m_dialog)
        EndDialog(m_dialog, IDOK);
}

void CMessageDialog::OnCancel()
{
    if (m_dialog)
        EndDialog(m_dialog, IDCANCEL);
}
