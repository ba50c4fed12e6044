#pragma once

// Services of the window layer beyond the Win32 functions, for the platform's own frameworks.

#include "platform/win/WinUser.h"

#include <functional>
#include <string>
#include <vector>

namespace pictavo::platform {

// Runs once, after the window's final message and after the outermost call of its window
// procedure has returned: where an object that owns the window may delete itself.
bool setFinalCallback(HWND hwnd, std::function<void()> callback);

// Files dropped on a window of the calling thread (point in that window's client coordinates).
using FileDropHandler = std::function<void(HWND, POINT, const std::vector<std::u16string>&)>;
void setFileDropHandler(FileDropHandler handler);

} // namespace pictavo::platform
