#pragma once

#include "ui/has_slots.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <utility>

// Connection list and emission for any argument list; signal0 and signal1<T> are its faces.
template <typename... Args>
class signal_impl : public signal_base
{
public:
    signal_impl() : m_connections(std::make_shared<const List>()) {}
    ~signal_impl() override { disconnect_all(); }
    signal_impl(const signal_impl&) = delete;
    signal_impl& operator=(const signal_impl&) = delete;

    template <typename Receiver>
    void connect(Receiver* receiver, void (Receiver::*slot)(Args...))
    {
        auto core = static_cast<has_slots*>(receiver)->slot_core();
        auto c = std::make_shared<Connection>();
        c->receiver = core;
        c->call = [receiver, slot](Args... args) { (receiver->*slot)(args...); };
        // Receiver lock before signal lock, the order a dying receiver takes them in.
        std::lock_guard receiverLock(core->lock);
        if (!core->alive)
            return;
        std::lock_guard lock(m_mutex);
        auto next = std::make_shared<List>(*m_connections);
        next->push_back(std::move(c));
        m_connections = std::move(next);
        if (std::find(core->senders.begin(), core->senders.end(), this) == core->senders.end())
            core->senders.push_back(this);
    }

    void disconnect(has_slots* receiver)
    {
        auto core = receiver->slot_core();
        std::lock_guard receiverLock(core->lock);
        forget_receiver(core.get());
        std::erase(core->senders, static_cast<signal_base*>(this));
    }

    void disconnect_all()
    {
        std::shared_ptr<const List> old;
        {
            std::lock_guard lock(m_mutex);
            old = std::exchange(m_connections, std::make_shared<const List>());
        }
        // Never wait for a receiver while holding our own lock (it may be emitting into us).
        for (const auto& c : *old) {
            std::lock_guard receiverLock(c->receiver->lock);
            c->connected = false;
            std::erase(c->receiver->senders, static_cast<signal_base*>(this));
        }
    }

    void emit(Args... args) const
    {
        std::shared_ptr<const List> snapshot;
        {
            std::lock_guard lock(m_mutex);
            snapshot = m_connections;
        }
        for (const auto& c : *snapshot) {
            if (!c->connected.load(std::memory_order_acquire))
                continue;
            std::lock_guard receiverLock(c->receiver->lock);
            // Checked again under the receiver's lock: a disconnect or a death that has
            // returned is never followed by a call.
            if (c->connected.load(std::memory_order_relaxed) && c->receiver->alive)
                c->call(args...);
        }
    }

    void operator()(Args... args) const { emit(args...); }

    size_t connection_count() const
    {
        std::lock_guard lock(m_mutex);
        return m_connections->size();
    }

    void forget_receiver(const receiver_core* receiver) override
    {
        std::lock_guard lock(m_mutex);
        auto next = std::make_shared<List>();
        for (const auto& c : *m_connections) {
            if (c->receiver.get() == receiver)
                c->connected = false;
            else
                next->push_back(c);
        }
        m_connections = std::move(next);
    }

private:
    struct Connection
    {
        std::shared_ptr<receiver_core> receiver;
        std::function<void(Args...)> call;
        std::atomic<bool> connected{true};
    };
    using List = std::vector<std::shared_ptr<Connection>>;

    mutable std::mutex m_mutex;
    std::shared_ptr<const List> m_connections;
};
