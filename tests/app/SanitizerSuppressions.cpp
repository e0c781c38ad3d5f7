// LeakSanitizer (sanitizer builds only; unused otherwise): fontconfig keeps allocations of the
// font database that Qt loads for the windows.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
