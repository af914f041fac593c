// What the sanitizers should not report in this test program: faults of the
// system libraries under the platform layer, which are not built with the
// sanitizers.
//
// GLib and GIO synchronise their threads (the bus connection's worker, the
// main context, Pango's font loading thread) with their own futex-based
// locks, which ThreadSanitizer does not see; fontconfig keeps its font cache
// for the life of the process.

extern "C" {

const char* __tsan_default_suppressions() {
    return "race:libglib-2.0.so\n"
           "race:libgio-2.0.so\n"
           "race:libgobject-2.0.so\n"
           "race:libfontconfig.so\n"
           "race:libpango\n";
}

const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

}  // extern "C"
