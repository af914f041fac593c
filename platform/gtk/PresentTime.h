#pragma once
// The time stamp a window is brought forward with. Kept apart: the X11
// headers' names clash with the platform's own.

#include <gtk/gtk.h>

// The event being handled; for a request that came from another program
// (over the bus, with no event here) the X server's time now, so the window
// manager takes it as the user's latest request rather than as a window
// stealing the focus. The window must be realized.
guint32 presentTime(GtkWidget* window);
