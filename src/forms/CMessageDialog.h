#pragma once

#include "ui/Button.h"
#include "ui/ExtForm.h"
#include "ui/Label.h"
#include "ui/has_slots.h"

#include <string>

// The skinned modal message box: caption, one line of text, OK and Cancel picture buttons
// and a close button. A stack object of its caller.
class CMessageDialog : public has_slots
{
public:
    CMessageDialog();
    ~CMessageDialog() override;

    void SetCaption(const std::u16string& text) { m_form.SetCaption(text); }
    void SetText(const std::u16string& text) { m_text = text; }
    // IDOK (1) for the OK button; IDCANCEL (2) for Cancel, the close button or Escape.
    INT_PTR DoModal(HWND owner);

private:
    // Paints the frame, then the buttons and the text on top of it.
    class Form : public ExtForm
    {
    public:
        void OnPaint(Quendal::UI::CPaintEventArgs& e) override;
    };

    static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND dialog);
    void OnOk();
    void OnCancel();

    Form m_form;
    std::u16string m_text;
    Quendal::UI::Controls::Button m_ok;
    Quendal::UI::Controls::Button m_cancel;
    Quendal::UI::Controls::Button m_close;
    Label m_label;
    HWND m_dialog = nullptr;
    HWND m_owner = nullptr;
};
