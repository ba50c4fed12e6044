#pragma once

#include <memory>
#include <mutex>
#include <vector>

class signal_base;

// The receiver's lock and liveness, shared with every connection to it so that an emission
// that took its snapshot before the receiver died can still look and find it gone.
struct receiver_core
{
    std::recursive_mutex lock;
    bool alive = true;
    std::vector<signal_base*> senders;
};

// Base of every object whose member functions are connected to signals. Destruction
// disconnects it from every signal; a slot running on another thread finishes first.
class has_slots
{
public:
    has_slots();
    virtual ~has_slots();
    has_slots(const has_slots&) = delete;
    has_slots& operator=(const has_slots&) = delete;

    // Receivers whose slots may run on other threads call this first in their own
    // destructor, before their members go.
    void disconnect_all();

    const std::shared_ptr<receiver_core>& slot_core() const { return m_core; }

private:
    std::shared_ptr<receiver_core> m_core;
};

// What signal0 and signal1<T> share: the connection list, published as an immutable
// snapshot so emission holds no signal lock while slots run.
class signal_base
{
public:
    virtual ~signal_base() = default;
    // Called by a dying receiver with its own lock held.
    virtual void forget_receiver(const receiver_core* receiver) = 0;
};
