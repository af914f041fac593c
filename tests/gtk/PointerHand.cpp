#include "gtk/PointerHand.h"

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace {

Display* display() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }

}  // namespace

bool pointerHandAvailable() {
    int unused = 0;
    return GDK_IS_X11_DISPLAY(gdk_display_get_default()) &&
           XTestQueryExtension(display(), &unused, &unused, &unused, &unused);
}

void pointerMoveTo(int x, int y) {
    XTestFakeMotionEvent(display(), -1, x, y, CurrentTime);
    XFlush(display());
}

void pointerButton(bool down) {
    XTestFakeButtonEvent(display(), 1, down ? True : False, CurrentTime);
    XFlush(display());
}
