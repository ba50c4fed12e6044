#pragma once

#include <mutex>

namespace Quendal::Threading {

// Re-entrant process-local lock.
class CriticalSection
{
public:
    CriticalSection() = default;
    virtual ~CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Lock();
    void Unlock();

private:
    std::recursive_mutex m_mutex;
};

} // namespace Quendal::Threading
