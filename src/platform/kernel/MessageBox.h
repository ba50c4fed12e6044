#pragma once

#include "platform/kernel/WinTypes.h"

#include <functional>
#include <string_view>

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_ICONERROR 0x00000010u
#define MB_ICONHAND MB_ICONERROR
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONEXCLAMATION MB_ICONWARNING
#define MB_ICONINFORMATION 0x00000040u
#define MB_ICONASTERISK MB_ICONINFORMATION
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

namespace pictavo::platform {

// Where MessageBoxW goes. The default writes caption and text (UTF-8) to standard error and
// answers IDOK; the window system installs the modal box, tests a recorder.
class MessageBoxService
{
public:
    using Handler =
        std::function<int(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type)>;

    // Returns the previous handler; an empty one restores the default. Thread-safe.
    static Handler setHandler(Handler handler);
    static int show(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type);
};

} // namespace pictavo::platform
