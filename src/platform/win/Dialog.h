#pragma once

// Dialogs from templates written in code, their modal loop and keyboard handling.

#include "platform/kernel/MessageBox.h"
#include "platform/win/WinUser.h"

#include <string>
#include <vector>

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

#define DWLP_DLGPROC 8
#define DWLP_USER 16
#define DLGWINDOWEXTRA 24
#define WM_GETDLGCODE 0x0087
#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_WANTCHARS 0x0080
#define DLGC_BUTTON 0x2000
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B
#define BN_CLICKED 0
#define DS_MODALFRAME 0x80L
#define DS_SETFOREGROUND 0x200L
#define DS_CENTER 0x0800L

namespace pictavo::platform {

struct DialogItem
{
    std::u16string className;
    std::u16string text;
    int id = 0;
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    RECT rect{}; // client pixels of the dialog
};

// Sizes are pixels (the component draws every dialog itself, so dialog units buy nothing).
struct DialogTemplate
{
    DWORD style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
    DWORD exStyle = 0;
    std::u16string caption;
    int x = 0;
    int y = 0;
    int width = 0; // client size
    int height = 0;
    std::vector<DialogItem> items;
};

} // namespace pictavo::platform

// The modal loop: the owner (its top-level window) is disabled while the dialog is open, the
// loop ends when EndDialog is called, a WM_QUIT arrives (passed on) or the dialog is gone.
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const pictavo::platform::DialogTemplate* tmpl, HWND owner,
                                DLGPROC proc, LPARAM param);
HWND CreateDialogIndirectParamW(HINSTANCE instance, const pictavo::platform::DialogTemplate* tmpl, HWND owner,
                                DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL IsDialogMessageW(HWND dialog, MSG* msg);
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
