#pragma once
// GTK's main loop turned by a test until what it shows has come about.

#include <gtk/gtk.h>

// Runs the main loop until `done`, for at most ten seconds.
template <typename Done>
bool runUntil(Done done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        g_usleep(5000);
    }
    return done();
}

// Lets GTK map, size, place and draw what is shown: `rounds` turns of the loop, 5 ms apart.
inline void settle(int rounds = 40) {
    runUntil([&rounds] { return rounds-- <= 0; });
}
