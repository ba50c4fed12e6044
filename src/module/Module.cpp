#include "module/Module.h"

#include "platform/com/Resource.h"

#include "platform/kernel/Strings.h"

#include <atomic>
#include <climits>
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/auxv.h>
#include <unistd.h>

namespace {

std::atomic<LONG> g_locks{0};

Dl_info selfInfo()
{
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&selfInfo), &info);
    return info;
}

} // namespace

void Module::Lock()
{
    g_locks.fetch_add(1);
}

void Module::Unlock()
{
    // An unmatched unlock (a client's LockServer(FALSE) too many) must not drive the count
    // below zero and make the module look unloadable while objects are alive.
    LONG current = g_locks.load();
    while (current > 0 && !g_locks.compare_exchange_weak(current, current - 1)) {
    }
}

LONG Module::LockCount()
{
    return g_locks.load();
}

HMODULE Module::Handle()
{
    return pictavo::platform::moduleContaining(reinterpret_cast<const void*>(&Module::Handle));
}

std::u16string Module::Path()
{
    const Dl_info info = selfInfo();
    char resolved[PATH_MAX];
    // The main program's entry carries no usable name; its file is /proc/self/exe.
    Dl_info program{};
    dladdr(reinterpret_cast<void*>(getauxval(AT_PHDR)), &program);
    const bool mainProgram = !info.dli_fname || !*info.dli_fname || program.dli_fbase == info.dli_fbase;
    if (mainProgram) {
        ssize_t n = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
        if (n <= 0)
            return {};
        resolved[n] = 0;
        return pictavo::platform::fromUtf8(resolved);
    }
    if (!realpath(info.dli_fname, resolved))
        return pictavo::platform::fromUtf8(info.dli_fname);
    return pictavo::platform::fromUtf8(resolved);
}
