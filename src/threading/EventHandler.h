#pragma once

#include "platform/kernel/Synch.h"

namespace Quendal::Threading {

// Manual-reset event, created signalled.
class EventHandler
{
public:
    EventHandler();
    virtual ~EventHandler();
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;

    void Set();
    void Reset();
    // WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
    DWORD Wait(unsigned int milliseconds);

private:
    HANDLE m_event;
};

} // namespace Quendal::Threading
