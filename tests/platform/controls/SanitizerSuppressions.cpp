// Fontconfig keeps parts of a parsed configuration with no pointer left to them for the life of
// the process; the leak checker would blame every program that draws text.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

// Pango sets fontconfig up on a thread of its own and hands the result over with fontconfig's
// atomics, which the race detector cannot see inside the uninstrumented library.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libfontconfig.so\n";
}
