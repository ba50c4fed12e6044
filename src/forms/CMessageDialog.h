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

    void SetCaption(const std::u16string& text) { form_.SetCaption(text); }
    void SetText(const std::u16string& text) { text_ = text; }
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

    Form form_;
    std::u16string text_;
    Quendal::UI::Controls::Button ok_;
    Quendal::UI::Controls::Button cancel_;
    Quendal::UI::Controls::Button close_;
    Label label_;
    HWND dialog_ = nullptr;
    HWND owner_ = nullptr;
};
