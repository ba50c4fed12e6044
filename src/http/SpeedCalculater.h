#pragma once

#include "platform/kernel/WinTypes.h"

// Bytes per second averaged over the last three sampling intervals of one transfer.
class SpeedCalculater
{
public:
    SpeedCalculater() = default;
    virtual ~SpeedCalculater() = default;

    void Init(ULONGLONG start);
    ULONGLONG Sample(ULONGLONG counter);

protected:
    // Millisecond tick; tests replace it to control time.
    virtual DWORD Now();

private:
    int m_count = 0;
    ULONGLONG m_lastBytes = 0;
    ULONGLONG m_speed = 0;
    LONGLONG m_samples[3] = {0, 0, 0};
    DWORD m_lastTick = 0;
};
