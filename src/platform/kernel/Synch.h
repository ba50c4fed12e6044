#pragma once

#include "platform/kernel/WinTypes.h"

// Events, waits and threads. Every wait of a thread that has a message queue also runs the
// calls other threads send to it, so cross-thread sends cannot deadlock on these waits.

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_ABANDONED_0 0x80u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64
#define STILL_ACTIVE 259u
#define ERROR_INVALID_HANDLE 6

HANDLE CreateEventW(void* attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL CloseHandle(HANDLE handle);

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
// WAIT_OBJECT_0 + count when the calling thread's queue has a message, a pending paint or timer
// (idle source) or a wake for it. wakeMask is taken as QS_ALLINPUT.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask);

DWORD GetCurrentThreadId();
// A thread with a message queue from its start; the handle is signalled when it ends.
// Flags are ignored (no suspended start). Returns 0 on failure.
uintptr_t _beginthreadex(void* security, unsigned stackSize, unsigned (*start)(void*), void* arg,
                         unsigned flags, unsigned* threadId);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
