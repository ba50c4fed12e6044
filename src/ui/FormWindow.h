#pragma once

#include "ui/WindowImpl.h"

#include <functional>

class FormBase;

// A top-level popup window whose messages go to a form (after an optional handler of the
// owner's own), for forms that are not dialogs.
class FormWindow : public WindowImpl
{
public:
    using Handler = std::function<BOOL(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;

    explicit FormWindow(FormBase& form, Handler ownMap = {});
    ~FormWindow() override;

    HWND Create(HWND owner, const RECT& rect, LPCWSTR caption, DWORD style = WS_POPUP | WS_VISIBLE,
                DWORD exStyle = 0);
    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;

private:
    FormBase& m_form;
    Handler m_ownMap;
};
