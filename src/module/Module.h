#pragma once

#include "platform/kernel/WinTypes.h"

#include <string>

// The in-process server as a whole: its lock count (live objects, held class factories,
// LockServer calls) and its identity in the process.
class Module {
public:
    static void Lock();
    static void Unlock();
    static LONG LockCount();
    // The module's load address, the key of its resource table.
    static HMODULE Handle();
    // Absolute path of the shared object (or program) this code was linked into.
    static std::u16string Path();
};
