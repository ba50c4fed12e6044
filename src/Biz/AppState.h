#pragma once

#include <atomic>

#include "threading/CriticalSection.h"

// Whether an upload run is going on; shared by every control in the process.
class AppState
{
public:
    enum State
    {
        Idle = 0,
        Uploading = 1,
        Stopped = 2,
    };

    static AppState* Instance();

    AppState() = default;
    virtual ~AppState() = default;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    bool IsUploading() const { return m_state.load(std::memory_order_acquire) == Uploading; }
    bool IsStopped() const { return m_state.load(std::memory_order_acquire) == Stopped; }
    void SetUploading();
    void SetStopped();
    // One control's run begins or ends: the state is Uploading while any run is going, so a
    // control whose run ends never unlocks the tiles of another control's run.
    void BeginRun();
    void EndRun();

private:
    // Readers take no lock; the atomic keeps those reads well defined.
    std::atomic<int> m_state{Idle};
    Quendal::Threading::CriticalSection m_lock;
    int m_runs = 0; // under m_lock
};
