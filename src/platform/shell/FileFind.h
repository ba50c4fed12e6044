#pragma once

// Directory enumeration with Win32's shape. Entries come in a fixed order (names compared
// without regard to case, then byte for byte), never in the file system's own order, and
// without "." and "..". Names that are not UTF-8 come back through the kernel's byte-exact
// mapping, so a name found can be opened again.

#include "platform/com/Registry.h" // the ERROR_ numbers
#include "platform/kernel/WinTypes.h"

#define MAX_PATH 260

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#ifndef ERROR_NO_MORE_FILES
#define ERROR_NO_MORE_FILES 18
#endif

struct WIN32_FIND_DATAW
{
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// pattern: folder + "/" + a last component that may hold "*" and "?" (matched without regard
// to case; "*.*" is "*"). INVALID_HANDLE_VALUE when nothing matches (ERROR_FILE_NOT_FOUND),
// the folder is missing (ERROR_PATH_NOT_FOUND) or unreadable (ERROR_ACCESS_DENIED).
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE find);
