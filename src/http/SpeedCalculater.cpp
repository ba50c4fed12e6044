#include "http/SpeedCalculater.h"

#include "platform/kernel/Tick.h"

void SpeedCalculater::Init(ULONGLONG start)
{
    m_lastBytes = start;
    m_speed = 0;
    m_count = 0;
    m_samples[0] = m_samples[1] = m_samples[2] = 0;
    m_lastTick = Now();
}

ULONGLONG SpeedCalculater::Sample(ULONGLONG counter)
{
    const DWORD now = Now();
    // Unsigned difference, so the tick's wrap after 49.7 days does no harm.
    if (static_cast<DWORD>(now - m_lastTick) < 1000)
        return m_speed;
    m_lastTick = now;
    m_samples[m_count % 3] = static_cast<LONGLONG>(counter - m_lastBytes);
    m_lastBytes = counter;
    // Only the slot index needs the count; keep it from ever overflowing.
    m_count = m_count % 3 + 1;

    const LONGLONG sum = m_samples[0] + m_samples[1] + m_samples[2];
    m_speed = sum > 0 ? static_cast<ULONGLONG>(static_cast<double>(sum) / 3.0) : 0;
    return m_speed;
}

DWORD SpeedCalculater::Now()
{
    return GetTickCount();
}
