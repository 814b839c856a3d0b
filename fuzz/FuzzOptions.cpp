// The sanitizer settings every fuzz target starts with (ASAN_OPTIONS still overrides them).
//
// A freed block waits in a quarantine before its memory is reused, so that a use after free
// is caught. At the default 256 MiB, inputs that allocate a few hundred KiB each keep touching
// fresh pages: a third of a bank input's time went to page faults and to filling new blocks.
// 16 MiB still holds the blocks of the last several dozen inputs.
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
