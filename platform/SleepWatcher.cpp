#include "platform/SleepWatcher.h"

#include <gio/gio.h>

#include <atomic>
#include <iostream>

namespace {

std::atomic<bool> reportedNoBus{false};

struct Subscriber {
    SleepWatcher::Handler handler;
};

void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
              gpointer data) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
    gboolean sleeping = FALSE;
    g_variant_get(parameters, "(b)", &sleeping);
    try {
        static_cast<Subscriber*>(data)->handler(sleeping != 0);
    } catch (const std::exception& e) {
        std::cerr << "SleepWatcher: the handler failed: " << e.what() << std::endl;
    }
}

}  // namespace

struct SleepWatcher::Impl {
    GDBusConnection* bus = nullptr;
    guint subscription = 0;
};

SleepWatcher::SleepWatcher(Handler handler, const std::string& busAddress) : impl_(std::make_unique<Impl>()) {
    GError* error = nullptr;
    if (busAddress.empty()) {
        impl_->bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    } else {
        impl_->bus = g_dbus_connection_new_for_address_sync(
            busAddress.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
    }
    if (!impl_->bus) {
        if (!reportedNoBus.exchange(true)) {
            std::cerr << "SleepWatcher: no system bus (" << (error ? error->message : "unknown")
                      << "); sleep and wake will go unnoticed" << std::endl;
        }
        g_clear_error(&error);
        return;
    }
    g_dbus_connection_set_exit_on_close(impl_->bus, FALSE);
    impl_->subscription = g_dbus_connection_signal_subscribe(
        impl_->bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
        "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onSignal, new Subscriber{std::move(handler)},
        [](gpointer data) { delete static_cast<Subscriber*>(data); });
    // The subscription is in place on the bus before the constructor returns.
    g_dbus_connection_flush_sync(impl_->bus, nullptr, nullptr);
}

SleepWatcher::~SleepWatcher() {
    if (!impl_->bus) return;
    if (impl_->subscription) g_dbus_connection_signal_unsubscribe(impl_->bus, impl_->subscription);
    g_object_unref(impl_->bus);
}

bool SleepWatcher::isWatching() const { return impl_->subscription != 0; }
