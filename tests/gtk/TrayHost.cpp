#include "gtk/TrayHost.h"

#include <gdk/gdkx.h>
#include <gtk/gtkx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>

namespace {

Display* display() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }

std::string selectionName() {
    return "_NET_SYSTEM_TRAY_S" + std::to_string(gdk_x11_screen_get_screen_number(gdk_screen_get_default()));
}

constexpr long kRequestDock = 0;

}  // namespace

TrayHost::TrayHost(int x, int y, int width, int height) {
    strip_ = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_widget_set_size_request(strip_, width, height);
    gtk_window_move(GTK_WINDOW(strip_), x, y);
    box_ = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_container_add(GTK_CONTAINER(strip_), box_);
    gtk_widget_show_all(strip_);

    GdkWindow* window = gtk_widget_get_window(strip_);
    const ::Window owner = GDK_WINDOW_XID(window);
    Display* x11 = display();
    const Atom selection = XInternAtom(x11, selectionName().c_str(), False);
    if (XGetSelectionOwner(x11, selection) != None) return;  // another tray runs
    gdk_window_add_filter(window, &TrayHost::filter, this);
    // Icons lay themselves out in a row.
    const long horizontal = 0;
    XChangeProperty(x11, owner, XInternAtom(x11, "_NET_SYSTEM_TRAY_ORIENTATION", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&horizontal), 1);
    const Time now = gdk_x11_get_server_time(window);
    XSetSelectionOwner(x11, selection, owner, now);
    owned_ = XGetSelectionOwner(x11, selection) == owner;
    // Icons that exist already learn of the new tray.
    XClientMessageEvent manager{};
    manager.type = ClientMessage;
    manager.window = DefaultRootWindow(x11);
    manager.message_type = XInternAtom(x11, "MANAGER", False);
    manager.format = 32;
    manager.data.l[0] = static_cast<long>(now);
    manager.data.l[1] = static_cast<long>(selection);
    manager.data.l[2] = static_cast<long>(owner);
    XSendEvent(x11, DefaultRootWindow(x11), False, StructureNotifyMask, reinterpret_cast<XEvent*>(&manager));
    XFlush(x11);
}

TrayHost::~TrayHost() {
    if (owned_) gdk_window_remove_filter(gtk_widget_get_window(strip_), &TrayHost::filter, this);
    gtk_widget_destroy(strip_);  // the selection goes with its window
    XFlush(display());
}

GdkFilterReturn TrayHost::filter(GdkXEvent* xevent, GdkEvent*, gpointer self) {
    const XEvent* event = static_cast<const XEvent*>(xevent);
    if (event->type != ClientMessage) return GDK_FILTER_CONTINUE;
    const XClientMessageEvent& message = event->xclient;
    if (message.message_type != XInternAtom(display(), "_NET_SYSTEM_TRAY_OPCODE", False)) return GDK_FILTER_CONTINUE;
    if (message.data.l[1] == kRequestDock)
        static_cast<TrayHost*>(self)->dock(static_cast<unsigned long>(message.data.l[2]));
    return GDK_FILTER_REMOVE;
}

void TrayHost::dock(unsigned long icon) {
    GtkWidget* socket = gtk_socket_new();
    gtk_box_pack_start(GTK_BOX(box_), socket, TRUE, TRUE, 0);
    gtk_widget_show(socket);
    gtk_socket_add_id(GTK_SOCKET(socket), icon);
    ++docked_;
}
