// The sanitizer build's leak report for this test program leaves out fontconfig's process-wide
// caches (the real font finds its face through fontconfig, which keeps them until exit). Only that
// library is named; the desktop run under Xvfb reads the same list from lsan-suppressions.txt.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
