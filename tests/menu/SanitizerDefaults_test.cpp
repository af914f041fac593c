// What the sanitizers should not report in the menu tests: the font
// libraries under the text drawing of the menu lines are not built with the
// sanitizers. Pango loads fonts on a thread of its own, synchronised with
// GLib's futex-based locks that ThreadSanitizer does not see; fontconfig
// keeps its font cache for the life of the process.

extern "C" {

const char* __tsan_default_suppressions() {
    return "race:libglib-2.0.so\n"
           "race:libfontconfig.so\n"
           "race:libpango\n";
}

const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

}  // extern "C"
