// fontconfig keeps part of its parsed configuration for the life of the
// process; LeakSanitizer would report it when the test program exits. The
// programs these tests run get the same rule from lsan.supp.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
