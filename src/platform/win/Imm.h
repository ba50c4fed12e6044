#pragma once

// The input-method calls a window makes while text is being composed. The composition comes
// from the automation's input method (or, later, the display's).

#include "platform/win/WinUser.h"

DECLARE_PICTAVO_HANDLE(HIMC);

#define GCS_COMPSTR 0x0008
#define GCS_CURSORPOS 0x0080
#define GCS_RESULTSTR 0x0800

HIMC ImmGetContext(HWND hwnd);
BOOL ImmReleaseContext(HWND hwnd, HIMC context);
// Bytes of the string (without terminator); with a null buffer only the size; negative on error.
LONG ImmGetCompositionStringW(HIMC context, DWORD index, LPVOID buffer, DWORD bytes);

namespace pictavo::platform {
// What DefWindowProc does with the input-method messages: a committed string arrives as
// WM_IME_CHAR and then as WM_CHAR, one per UTF-16 unit. False for other messages.
bool imeDefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
} // namespace pictavo::platform
