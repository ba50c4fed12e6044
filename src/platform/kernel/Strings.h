#pragma once

#include "platform/kernel/WinTypes.h"

#include <string>
#include <string_view>

namespace pictavo::platform {

// UTF-8 <-> UTF-16. Bytes that do not decode become the lone surrogates U+DC80..U+DCFF and
// encode back to the same byte, so any file name survives the round trip byte for byte.
// Other lone surrogates encode as U+FFFD.
std::u16string fromUtf8(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// The system's "ANSI" code page (iconv). CP936 unless PICTAVO_ACP names another; the variable
// is read at each call. Unmappable characters become one '?' per code point; undecodable
// bytes become U+FFFD. Thread-safe.
std::string toLocalCodePage(std::u16string_view text);
// The same with another stand-in for unmappable characters; *substituted tells whether any was.
std::string toLocalCodePage(std::u16string_view text, char replacement, bool* substituted);
std::u16string fromLocalCodePage(std::string_view bytes);
std::string localCodePageName();
// Overrides PICTAVO_ACP for this process; an empty name goes back to the environment.
void setLocalCodePageForTesting(std::string name);

// Simple case folding (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic, full-width Latin).
char16_t toLower(char16_t c);
std::u16string toLower(std::u16string_view text);
bool equalsNoCase(std::u16string_view a, std::u16string_view b);

// 0..15 for an ASCII hex digit of either case, -1 for anything else.
constexpr int hexDigitValue(char32_t c)
{
    if (c >= U'0' && c <= U'9')
        return static_cast<int>(c - U'0');
    if (c >= U'a' && c <= U'f')
        return static_cast<int>(c - U'a') + 10;
    if (c >= U'A' && c <= U'F')
        return static_cast<int>(c - U'A') + 10;
    return -1;
}

} // namespace pictavo::platform

#define CP_ACP 0
#define CP_UTF8 65001
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_INVALID_PARAMETER 87

// Win32 shapes. With length -1 the input is zero-terminated and the result counts the
// terminator; with a zero output size the required size is returned. 0 means failure
// (see GetLastError).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR mb, int mbLength, LPWSTR wide, int wideSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR mb, int mbSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);
DWORD GetLastError();
void SetLastError(DWORD error);
