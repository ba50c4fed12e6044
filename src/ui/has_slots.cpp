#include "ui/has_slots.h"

has_slots::has_slots() : core_(std::make_shared<receiver_core>()) {}

has_slots::~has_slots()
{
    disconnect_all();
}

void has_slots::disconnect_all()
{
    // Holding our lock waits out a slot of ours running on another thread and keeps any
    // sender that is being destroyed alive until we have let go of it.
    std::lock_guard lock(core_->lock);
    core_->alive = false;
    for (signal_base* sender : core_->senders)
        sender->forget_receiver(core_.get());
    core_->senders.clear();
}
