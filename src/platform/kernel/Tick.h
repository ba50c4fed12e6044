#pragma once

#include "platform/kernel/WinTypes.h"

// Milliseconds since an arbitrary start; the 32-bit count wraps after about 49.7 days.
// Cheap and coarse (a few milliseconds): measure short waits with a precise clock.
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void Sleep(DWORD milliseconds);
