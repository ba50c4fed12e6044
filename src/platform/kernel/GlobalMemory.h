#pragma once

// Global memory blocks, the currency of clipboard and drag-and-drop data. A block's handle is
// its data address (fixed or not), so a lock returns it; unknown or freed handles are refused.

#include "platform/kernel/WinTypes.h"

using HGLOBAL = HANDLE;

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Null on success, the handle itself when it is not a live block (as on Windows).
HGLOBAL GlobalFree(HGLOBAL block);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
SIZE_T GlobalSize(HGLOBAL block);

// The profile (win.ini) is empty here: every value answers its default.
UINT GetProfileIntW(LPCWSTR section, LPCWSTR key, int defaultValue);
