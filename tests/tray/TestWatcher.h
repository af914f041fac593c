// The smallest StatusNotifierWatcher, for the tray tests: it takes item
// registrations, records them, and tells that a host is there. Its calls are
// served while the main loop runs.
#pragma once

#include <gio/gio.h>

#include <string>
#include <vector>

#include "platform/MainLoop.h"

class TestWatcher {
public:
    TestWatcher() {
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        bus_ = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
        static const char* xml = R"xml(<node><interface name="org.kde.StatusNotifierWatcher">
            <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
            <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
            <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
            <property name="ProtocolVersion" type="i" access="read"/>
            </interface></node>)xml";
        GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(xml, nullptr);
        static const GDBusInterfaceVTable vtable = {
            +[](GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method, GVariant* args,
                GDBusMethodInvocation* invocation, gpointer self) {
                if (std::string(method) == "RegisterStatusNotifierItem") {
                    const gchar* service = nullptr;
                    g_variant_get(args, "(&s)", &service);
                    static_cast<TestWatcher*>(self)->items.push_back(service);
                    static_cast<TestWatcher*>(self)->senders.push_back(sender);
                }
                g_dbus_method_invocation_return_value(invocation, nullptr);
            },
            +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property, GError**,
                gpointer) -> GVariant* {
                return std::string(property) == "ProtocolVersion" ? g_variant_new_int32(0)
                                                                  : g_variant_new_boolean(TRUE);
            },
            nullptr,
            {}};
        registration_ = g_dbus_connection_register_object(bus_, "/StatusNotifierWatcher", info->interfaces[0],
                                                          &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(info);
        GVariant* reply = g_dbus_connection_call_sync(
            bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
            g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 4u), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
            nullptr, nullptr);
        if (reply) g_variant_unref(reply);
    }
    ~TestWatcher() {
        g_dbus_connection_unregister_object(bus_, registration_);
        g_dbus_connection_close_sync(bus_, nullptr, nullptr);
        g_object_unref(bus_);
    }
    TestWatcher(const TestWatcher&) = delete;
    TestWatcher& operator=(const TestWatcher&) = delete;

    GDBusConnection* bus() const { return bus_; }

    // Runs the main loop until every call the bus routed to the watcher
    // before this one has been served: a round trip to the bus comes back
    // behind them.
    void catchUp() {
        bool back = false;
        g_dbus_connection_call(
            bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", nullptr, nullptr,
            G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
            +[](GObject* source, GAsyncResult* result, gpointer done) {
                if (GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr))
                    g_variant_unref(reply);
                *static_cast<bool*>(done) = true;
            },
            &back);
        MainLoop::instance().runUntil([&] { return back; }, 10000);
    }

    // The services registered as items, and the unique bus names that
    // registered them, in order.
    std::vector<std::string> items;
    std::vector<std::string> senders;

private:
    GDBusConnection* bus_ = nullptr;
    guint registration_ = 0;
};
