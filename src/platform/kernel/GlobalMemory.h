#pragma once

// Movable global memory as the clipboard and data transfer use it. Handles are checked
// against a table: a stale or foreign handle is refused, never followed.

#include "platform/kernel/WinTypes.h"

using HGLOBAL = HANDLE;

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

// At most 1 GiB a block; larger requests fail.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL GlobalFree(HGLOBAL memory);
LPVOID GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);

// The profile (win.ini) is empty here: every value answers its default.
UINT GetProfileIntW(LPCWSTR section, LPCWSTR key, int defaultValue);
