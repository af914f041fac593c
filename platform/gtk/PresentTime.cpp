#include "platform/gtk/PresentTime.h"

#include <gdk/gdkx.h>

guint32 presentTime(GtkWidget* window) {
    if (const guint32 now = gtk_get_current_event_time(); now != GDK_CURRENT_TIME) return now;
    GdkWindow* gdk = gtk_widget_get_window(window);
    // A toplevel listens for property changes, which the server's time is read from.
    if (gdk && GDK_IS_X11_WINDOW(gdk)) return gdk_x11_get_server_time(gdk);
    return GDK_CURRENT_TIME;
}
