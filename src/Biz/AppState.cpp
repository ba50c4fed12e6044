#include "Biz/AppState.h"

AppState* AppState::Instance()
{
    static AppState* const instance = new AppState;
    return instance;
}

void AppState::SetUploading()
{
    m_lock.Lock();
    m_state.store(Uploading, std::memory_order_release);
    m_lock.Unlock();
}

void AppState::SetStopped()
{
    m_lock.Lock();
    m_state.store(Stopped, std::memory_order_release);
    m_lock.Unlock();
}

void AppState::BeginRun()
{
    m_lock.Lock();
    ++m_runs;
    m_state.store(Uploading, std::memory_order_release);
    m_lock.Unlock();
}

void AppState::EndRun()
{
    m_lock.Lock();
    if (m_runs > 0 && --m_runs == 0)
        m_state.store(Stopped, std::memory_order_release);
    m_lock.Unlock();
}
