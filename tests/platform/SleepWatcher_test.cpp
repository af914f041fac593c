#include "platform/SleepWatcher.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "PeerProcess.h"
#include "platform/MainLoop.h"
#include "support/CaptureStream.h"
#include "support/TempDir.h"

// Stands in for logind: owns its name and announces a sleep and a wake once
// the test says go (PEER_GO names a file).
TEST(SleepWatcher, DISABLED_PeerLogind) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_TRUE(bus);
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "RequestName",
                                                  g_variant_new("(su)", "org.freedesktop.login1", 4u),
                                                  G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    ASSERT_TRUE(reply);
    g_variant_unref(reply);
    peerSay("ready");
    while (!std::filesystem::exists(peerEnv("PEER_GO"))) usleep(5000);
    for (gboolean sleeping : {gboolean(TRUE), gboolean(FALSE)}) {
        // Another interface's signal of the same name is not logind's.
        g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/login1", "org.example.Other",
                                      "PrepareForSleep", g_variant_new("(b)", TRUE), nullptr);
        g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                      "PrepareForSleep", g_variant_new("(b)", sleeping), nullptr);
    }
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
    peerSay("sent");
    g_object_unref(bus);
}

TEST(SleepWatcher, ReportsSleepAndWakeFromLogind) {
    TempDir dir;
    std::string go = dir.file("go");
    PeerProcess logind("SleepWatcher.DISABLED_PeerLogind", {{"PEER_GO", go}});
    ASSERT_EQ(logind.readLine(), "ready");

    std::vector<bool> events;
    bool onMain = true;
    SleepWatcher watcher(
        [&](bool sleeping) {
            onMain = onMain && MainLoop::instance().isMainThread();
            events.push_back(sleeping);
        },
        getenv("DBUS_SESSION_BUS_ADDRESS"));
    ASSERT_TRUE(watcher.isWatching());
    std::ofstream(go).close();
    EXPECT_EQ(logind.readLine(), "sent");
    EXPECT_TRUE(MainLoop::instance().runUntil([&] { return events.size() >= 2; }, 5000));
    EXPECT_FALSE(MainLoop::instance().runUntil([&] { return events.size() > 2; }, 100));
    EXPECT_EQ(events, (std::vector<bool>{true, false}));
    EXPECT_TRUE(onMain);
    logind.wait();
}

TEST(SleepWatcher, WithoutASystemBusItLogsOnceAndGoesOn) {
    CaptureStderr err;
    SleepWatcher first([](bool) {}, "unix:path=/nonexistent/system_bus_socket");
    SleepWatcher second([](bool) {}, "unix:path=/nonexistent/system_bus_socket");
    EXPECT_FALSE(first.isWatching());
    EXPECT_FALSE(second.isWatching());
    std::string log = err.text();
    EXPECT_NE(log.find("no system bus"), std::string::npos);
    EXPECT_EQ(log.find("no system bus"), log.rfind("no system bus"));
}
