#pragma once

#include "ui/signal_impl.h"

// A signal with one argument; slots run synchronously on the emitting thread.
template <typename T>
class signal1 : public signal_impl<T>
{};
