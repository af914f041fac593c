#include "platform/gtk/X11Tray.h"

#include <gdk/gdkx.h>
#include <X11/Xlib.h>

#include <string>

bool x11TrayManagerPresent() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    Display* x = gdk_x11_display_get_xdisplay(display);
    const int screen = gdk_x11_screen_get_screen_number(gdk_display_get_default_screen(display));
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    return XGetSelectionOwner(x, XInternAtom(x, selection.c_str(), False)) != None;
}
