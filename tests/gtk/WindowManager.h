#pragma once
// A real window manager (openbox) on the test's display, for the tests that
// need one: minimising, bringing a window forward, closing a window as the
// window manager does, placing new windows. (X11's headers stay in the .cpp:
// their names clash with the project's Window and Font.)

#include <gtk/gtk.h>
#include <sys/types.h>

#include <string>

class WindowManager {
public:
    // Starts openbox and waits (up to a deadline) until it manages the
    // screen; it places a window that does not ask for a place under the pointer.
    WindowManager();
    // Ends it and waits until it has let go of the screen.
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    bool running() const { return running_; }

    // Asks the window manager to close the window, as its close button or a
    // pager does (_NET_CLOSE_WINDOW); it passes the request on to the program.
    static void askToClose(GtkWidget* window);
    // Whether the window manager shows the window as minimised (WM_STATE).
    static bool iconified(GtkWidget* window);
    // Whether the window manager says the window is the active one.
    static bool active(GtkWidget* window);

private:
    std::string config_;
    pid_t pid_ = -1;
    bool running_ = false;
};
