// Fontconfig keeps parts of a parsed configuration with no pointer left to them for the life of
// the process; the leak checker would blame every program that draws text.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
