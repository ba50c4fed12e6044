#include "ui/has_slots.h"

has_slots::has_slots() : m_core(std::make_shared<receiver_core>()) {}

has_slots::~has_slots()
{
    disconnect_all();
}

void has_slots::disconnect_all()
{
    // Holding our lock waits out a slot of ours running on another thread and keeps any
    // sender that is being destroyed alive until we have let go of it.
    std::lock_guard lock(m_core->lock);
    m_core->alive = false;
    for (signal_base* sender : m_core->senders)
        sender->forget_receiver(m_core.get());
    m_core->senders.clear();
}
