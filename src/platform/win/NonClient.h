#pragma once

// Internal: the frame's size, its scroll bars and the modal loops the frame starts.

#include "platform/win/WinUser.h"

namespace pictavo::platform {

class Canvas;

// WM_NCCALCSIZE: the client area for a window rectangle, in window coordinates.
RECT clientAreaOf(HWND hwnd, const RECT& windowRect);
void paintScrollBars(HWND hwnd, Canvas& frame);
void forgetScrollBars(HWND hwnd);
// WM_NCLBUTTONDOWN: scroll bar tracking, or WM_SYSCOMMAND for sizing, moving and closing.
void nonClientButtonDown(HWND hwnd, WPARAM hit, LPARAM screenPoint);
// SC_SIZE (with a WMSZ edge in the low bits) and SC_MOVE.
void sizeMoveLoop(HWND hwnd, WPARAM command, LPARAM screenPoint);

} // namespace pictavo::platform
