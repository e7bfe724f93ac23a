// Fontconfig keeps its configuration and caches for the life of the
// process; the leak checker of the sanitizer builds is told so here, in
// every test program.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
