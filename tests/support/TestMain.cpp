#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include "util/LogLines.h"

// What the sanitizers should not report in any test program: the desktop
// libraries under the platform layer are not built with the sanitizers. They
// synchronise their own helper threads (GLib's workers, the bus connection,
// font loading) with locks ThreadSanitizer does not see, and keep font and
// type caches for the life of the process, which LeakSanitizer reports.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libglib-2.0.so\n"
           "race:libgio-2.0.so\n"
           "race:libgobject-2.0.so\n"
           "race:libfontconfig.so\n"
           "race:libpango\n"
           "race:libgtk-3.so\n"
           "race:libgdk-3.so\n"
           "race:libatk-bridge-2.0.so\n"
           "deadlock:libglib-2.0.so\n"
           "deadlock:libgobject-2.0.so\n"
           "deadlock:libgtk-3.so\n";
}

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libgtk-3.so\n"
           "leak:libgdk-3.so\n"
           "leak:libpango-1.0.so\n"
           "leak:libpangoft2-1.0.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libatk-bridge-2.0.so\n";
}

int main(int argc, char** argv) {
    // As in the programs: lines logged by different threads stay whole.
    LogLines::install();
    // Tests must not depend on the locale or time zone of whoever runs them.
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("LC_ALL", "C", 1);
    std::setlocale(LC_ALL, "C");
    // A peer that closes a socket must not kill the test program.
    std::signal(SIGPIPE, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
