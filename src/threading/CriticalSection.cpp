#include "threading/CriticalSection.h"

namespace Quendal::Threading {

void CriticalSection::Lock()
{
    m_mutex.lock();
}

void CriticalSection::Unlock()
{
    m_mutex.unlock();
}

} // namespace Quendal::Threading
