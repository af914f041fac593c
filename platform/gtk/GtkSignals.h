#pragma once
// Connecting GTK signals to parts of the user-interface model: the handler
// gets a weak reference (and a row and column), so a signal that arrives
// after the model's object went does nothing.

#include <gtk/gtk.h>

#include <memory>

namespace gtksignals {

// True while the presenter writes the model's values into widgets: the
// widgets' change signals then come from the presenter, not from the user.
extern bool syncing;

template <class T>
struct Target {
    std::weak_ptr<T> ref;
    int row = 0;
    int column = 0;
};

template <class T, class Callback>
void connect(gpointer widget, const char* signal, Callback callback, std::weak_ptr<T> ref, int row = 0,
             int column = 0) {
    g_signal_connect_data(
        widget, signal, G_CALLBACK(callback), new Target<T>{std::move(ref), row, column},
        [](gpointer data, GClosure*) { delete static_cast<Target<T>*>(data); }, GConnectFlags(0));
}

template <class T>
std::shared_ptr<T> target(gpointer data) {
    return static_cast<Target<T>*>(data)->ref.lock();
}

}  // namespace gtksignals
