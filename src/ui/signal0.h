#pragma once

#include "ui/signal_impl.h"

// A signal without arguments; slots run synchronously on the emitting thread.
class signal0 : public signal_impl<>
{};
