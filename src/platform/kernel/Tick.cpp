#include "platform/kernel/Tick.h"

#include <chrono>
#include <thread>

#include <time.h>

ULONGLONG GetTickCount64()
{
    // Read once per 512-byte write by the uploader: the coarse clock costs a fifth of the
    // precise one, and its few milliseconds of resolution are finer than the 10-16 ms that
    // callers of a tick count expect.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000u + static_cast<ULONGLONG>(now.tv_nsec) / 1000000u;
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(GetTickCount64());
}

void Sleep(DWORD milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
