#pragma once
// A classic system tray (XEmbed) of the test's own: it owns the screen's
// tray selection and embeds every icon that asks to dock into a strip of
// the given size at a place of the screen, as a panel's tray does. (X11's
// headers stay in the .cpp: their names clash with the project's.)

#include <gtk/gtk.h>

class TrayHost {
public:
    // Shows the strip with its top-left corner at x, y of the screen.
    TrayHost(int x, int y, int width, int height);
    ~TrayHost();
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

    // Whether this tray owns the selection (no other tray runs on the display).
    bool owned() const { return owned_; }
    // How many icons have asked to dock.
    int docked() const { return docked_; }

private:
    static GdkFilterReturn filter(GdkXEvent* xevent, GdkEvent*, gpointer self);
    void dock(unsigned long icon);

    GtkWidget* strip_ = nullptr;
    GtkWidget* box_ = nullptr;
    bool owned_ = false;
    int docked_ = 0;
};
