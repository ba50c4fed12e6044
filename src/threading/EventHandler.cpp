#include "threading/EventHandler.h"

namespace Quendal::Threading {

EventHandler::EventHandler() : m_event(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

EventHandler::~EventHandler()
{
    CloseHandle(m_event);
}

void EventHandler::Set()
{
    SetEvent(m_event);
}

void EventHandler::Reset()
{
    ResetEvent(m_event);
}

DWORD EventHandler::Wait(unsigned int milliseconds)
{
    return WaitForSingleObject(m_event, milliseconds);
}

} // namespace Quendal::Threading
