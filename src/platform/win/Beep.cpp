#include "platform/win/Automation.h"

#include <atomic>

namespace {
std::atomic<int> g_beeps{0};
} // namespace

// There is no sound here; the count is what a person at the screen would have heard.
BOOL MessageBeep(UINT)
{
    ++g_beeps;
    return TRUE;
}

int pictavo::platform::Automation::beeps()
{
    return g_beeps.load();
}
