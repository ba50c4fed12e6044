#pragma once

#include "platform/win/WinUser.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace wintest {

struct Logged
{
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Windows of the class "Recorder" log every message and then ask their handler (or the
// default procedure). A handler returns true when it produced the result itself.
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;

void registerClasses();
HWND create(DWORD style, int x, int y, int w, int h, HWND parent = nullptr, Handler handler = {},
            LPCWSTR className = u"Recorder", DWORD exStyle = 0);
void setHandler(HWND hwnd, Handler handler);
std::vector<Logged> log();
// Messages of the log in order, only those listed (for readable sequence checks).
std::vector<UINT> sequence(std::initializer_list<UINT> wanted, HWND only = nullptr);
void clearLog();
// Dispatches whatever is waiting (paint and timers included) until nothing is left.
void pump();
// Destroys every window still alive that this file created, so tests do not leak state.
void destroyAll();
// A box a person types into: a click focuses it, printable characters append to its text, and
// it paints green with a red bar of pixelsPerChar for each character typed.
Handler typingBox(int pixelsPerChar);

// A fixture whose windows all go when the test ends.
class WindowTest : public ::testing::Test
{
protected:
    void TearDown() override { destroyAll(); }
};

} // namespace wintest
