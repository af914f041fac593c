#pragma once
// A stand-in for a hostile page that keeps a scraper thread computing, which
// holds however the scrapers bound their own work: regexec(3) is interposed
// (linked into a test program, or preloaded into the real program from the
// shared library skyvane_busy_regex), and a match against a subject carrying
// kBusyMarker spins on the CPU, ignoring every stop request, until
// skyvane_busy_regex_release() or a minute has passed. It announces the
// first spin on standard error with kBusyAnnouncement.

inline constexpr const char* kBusyMarker = "skyvane-busy-regex-marker";
inline constexpr const char* kBusyAnnouncement = "busy-regex: spinning";

extern "C" {
// Ends every spin now and later ones at once.
void skyvane_busy_regex_release();
// Spins again from now on, counted from 0.
void skyvane_busy_regex_arm();
// How many spins have started.
int skyvane_busy_regex_spins();
}
