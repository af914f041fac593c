// One copy per session on a desktop: the standalone program runs with its
// item registered at the test's StatusNotifierWatcher; starting it again, or
// starting the menu-bar host, ends with status 0 and no second item.

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "appbus/CoreFixture.h"
#include "platform/PreferenceStore.h"
#include "support/SpawnedProgram.h"

#ifdef SKYVANE_APP_BINARY

namespace {

// The smallest StatusNotifierWatcher: it records who registers an item and
// says that a host is there. Its calls are served while the main loop runs.
class ItemWatcher {
public:
    ItemWatcher() {
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        bus_ = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
        GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(
            R"xml(<node><interface name="org.kde.StatusNotifierWatcher">
                <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
                <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
                <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
                <property name="ProtocolVersion" type="i" access="read"/>
                </interface></node>)xml",
            nullptr);
        static const GDBusInterfaceVTable vtable = {
            +[](GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method, GVariant*,
                GDBusMethodInvocation* invocation, gpointer self) {
                if (std::string(method) == "RegisterStatusNotifierItem")
                    static_cast<ItemWatcher*>(self)->senders.push_back(sender);
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
    ~ItemWatcher() {
        g_dbus_connection_unregister_object(bus_, registration_);
        g_dbus_connection_close_sync(bus_, nullptr, nullptr);
        g_object_unref(bus_);
    }
    ItemWatcher(const ItemWatcher&) = delete;
    ItemWatcher& operator=(const ItemWatcher&) = delete;

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

    // The unique bus names that registered an item, in order.
    std::vector<std::string> senders;

private:
    GDBusConnection* bus_ = nullptr;
    guint registration_ = 0;
};

using OneItemTest = CoreFixture;

}  // namespace

TEST_F(OneItemTest, ASecondStartEndsWithStatusZeroAndOneItemStaysRegistered) {
    const char* display = std::getenv("DISPLAY");
    ASSERT_NE(display, nullptr) << "no display";
    ItemWatcher watcher;
    for (const char* domain : {"com.tesk.Skyvane", "com.tesk.SkyvaneMenu"}) {
        PreferenceStore file(domain, PreferenceScope::CurrentUserAnyHost);
        file.setMultiple(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}), {});
        ASSERT_TRUE(file.synchronize());
    }
    const std::vector<std::string> onDisplay{std::string("DISPLAY=") + display};

    TempDir firstLogs;
    SpawnedProgram first(SKYVANE_APP_BINARY, firstLogs, onDisplay);
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(MainLoop::instance().runUntil([&] { return !watcher.senders.empty(); }, 60000)) << first.log();

    std::vector<std::string> again{SKYVANE_APP_BINARY};
#ifdef SKYVANE_MENU_HOST_BINARY
    again.push_back(SKYVANE_MENU_HOST_BINARY);
#endif
    for (const std::string& path : again) {
        SCOPED_TRACE(path);
        TempDir logs;
        SpawnedProgram second(path, logs, onDisplay);
        ASSERT_TRUE(second.started());
        const SpawnedProgram::Exit exit = second.waitForExit(std::chrono::seconds(30));
        ASSERT_TRUE(exit.ended) << "still running:\n" << second.log();
        ASSERT_TRUE(WIFEXITED(exit.status)) << exit.status << "\n" << second.log();
        EXPECT_EQ(WEXITSTATUS(exit.status), 0) << second.log();
        EXPECT_NE(second.log().find("Skyvane is already running"), std::string::npos) << second.log();
        // Whatever the second start sent reached the watcher before this look.
        watcher.catchUp();
        EXPECT_EQ(std::set<std::string>(watcher.senders.begin(), watcher.senders.end()).size(), 1u);
    }
    EXPECT_TRUE(first.terminate().ended) << first.log();
}

#endif
