// Windows draw text, so fontconfig's life-long configuration shows up here as in the drawing
// tests; SDL's D-Bus connection keeps its buffers after SDL_Quit.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

// Pango sets fontconfig up on a thread of its own and hands the result over with fontconfig's
// atomics, which the race detector cannot see inside the uninstrumented library.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libfontconfig.so\n";
}
