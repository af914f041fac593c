#include "gtk/WindowManager.h"

#include <fcntl.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

extern char** environ;

namespace {

Display* display() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }
::Window root() { return DefaultRootWindow(display()); }
Atom atom(const char* name) { return XInternAtom(display(), name, False); }

// The first 32-bit item of a property of the window, or `none`.
long property(::Window window, const char* name, Atom type, long none) {
    Atom actualType = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    long value = none;
    if (XGetWindowProperty(display(), window, atom(name), 0, 1, False, type, &actualType, &format, &items, &after,
                           &data) == Success &&
        data && items > 0 && format == 32)
        value = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return value;
}

// Whether a window manager owns the screen's selection.
bool screenManaged() {
    const std::string selection = "WM_S" + std::to_string(DefaultScreen(display()));
    return XGetSelectionOwner(display(), atom(selection.c_str())) != None;
}

// Waits until `done` holds, at most 10 s.
bool waitFor(bool (*done)(long), long arg) {
    for (int i = 0; i < 1000; ++i) {
        if (done(arg)) return true;
        g_usleep(10000);
    }
    return false;
}

// Openbox names its process on the root window once the root's windows are
// redirected to it: a window mapped from then on is its to place. (The
// selection alone may name the window of an openbox that has just ended:
// X hands the same window numbers to the next program.)
bool managedBy(long pid) { return screenManaged() && property(root(), "_OPENBOX_PID", XA_CARDINAL, 0) == pid; }

::Window xid(GtkWidget* window) { return GDK_WINDOW_XID(gtk_widget_get_window(window)); }

// A window manager is ready once a window mapped now is managed by it (it
// marks the window's state). Openbox may leave requests that came during its
// start unread until something else happens: a property of the root window
// changed again and again wakes it.
bool managesNewWindows() {
    const ::Window probe = XCreateSimpleWindow(display(), root(), 0, 0, 10, 10, 0, 0, 0);
    XMapWindow(display(), probe);
    XFlush(display());
    const bool managed = waitFor([](long window) {
        const long poke = 1;
        XChangeProperty(display(), root(), atom("_SKYVANE_TEST_POKE"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&poke), 1);
        XFlush(display());
        return property(static_cast<::Window>(window), "WM_STATE", atom("WM_STATE"), WithdrawnState) == NormalState;
    }, static_cast<long>(probe));
    XDestroyWindow(display(), probe);
    XDeleteProperty(display(), root(), atom("_SKYVANE_TEST_POKE"));
    XFlush(display());
    return managed;
}

}  // namespace

WindowManager::WindowManager()
    : config_(std::string(g_get_tmp_dir()) + "/skyvane-openbox-" + std::to_string(getpid()) + ".xml") {
    if (screenManaged()) return;  // another one is there: the tests cannot tell whose work they see
    // A window that does not ask for a place goes under the pointer, as
    // other desktops put large windows at the top left: where a window
    // opens is then the program's doing.
    std::ofstream(config_) << "<?xml version=\"1.0\"?>\n<openbox_config xmlns=\"http://openbox.org/3.4/rc\">"
                              "<placement><policy>UnderMouse</policy></placement></openbox_config>\n";
    char program[] = "openbox", option[] = "--sm-disable", configOption[] = "--config-file";
    char* argv[] = {program, option, configOption, config_.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, program, &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    running_ = pid_ > 0 && waitFor(managedBy, pid_) && managesNewWindows();
}

WindowManager::~WindowManager() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        waitFor([](long) { return !screenManaged(); }, 0);
    }
    std::remove(config_.c_str());
}

void WindowManager::askToClose(GtkWidget* window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid(window);
    event.xclient.message_type = atom("_NET_CLOSE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(gdk_x11_get_server_time(gtk_widget_get_window(window)));
    event.xclient.data.l[1] = 2;  // from a pager: the user's own request
    XSendEvent(display(), root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display());
}

bool WindowManager::iconified(GtkWidget* window) {
    return property(xid(window), "WM_STATE", atom("WM_STATE"), WithdrawnState) == IconicState;
}

bool WindowManager::active(GtkWidget* window) {
    return static_cast<::Window>(property(root(), "_NET_ACTIVE_WINDOW", XA_WINDOW, None)) == xid(window);
}
