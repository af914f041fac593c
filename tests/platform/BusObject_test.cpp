#include "platform/BusObject.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "PeerProcess.h"
#include "PlistSamples.h"
#include "platform/MainLoop.h"
#include "support/CaptureStream.h"

namespace {

const BusProtocol kTestProtocol{"com.tesk.Test", {{"echo", 1}, {"stall", 1}, {"fail", 0}, {"quit", 0}}};
const BusProtocol kOtherProtocol{"com.tesk.Other", {{"ping", 0}}};

std::string uniqueName(const std::string& stem) { return "com.tesk." + stem + std::to_string(getpid()); }

// A peer program vending the test object under a name of this test, and the
// object looked up (null when either failed).
struct VendingPeer {
    explicit VendingPeer(const std::string& stem)
        : name(uniqueName(stem)), process("BusObject.DISABLED_Peer", {{"PEER_BUS_NAME", name}}) {
        if (process.readLine() == "registered") remote = RemoteObject::lookup(name, kTestProtocol);
    }
    std::string name;
    PeerProcess process;
    std::unique_ptr<RemoteObject> remote;
};

}  // namespace

// The peer program: vends an object under PEER_BUS_NAME until told to quit.
TEST(BusObject, DISABLED_Peer) {
    VendedObject object({kTestProtocol, kOtherProtocol},
                        [](const std::string& protocol, const std::string& method, const plist::Array& args) {
                            if (protocol == "com.tesk.Other") return plist::Value("pong");
                            if (method == "echo") return args.at(0);
                            if (method == "stall") usleep(static_cast<useconds_t>(args.at(0).asInt() * 1000));
                            if (method == "fail") throw std::runtime_error("refused on purpose");
                            if (method == "quit") MainLoop::instance().quit();
                            return plist::Value();
                        });
    bool registered = object.registerName(peerEnv("PEER_BUS_NAME"));
    peerSay(registered ? "registered" : "refused");
    if (!registered) return;
    MainLoop::instance().run();
    object.withdraw();
    peerSay("bye");
}

TEST(BusObject, ANameHeldByAnotherProgramIsRefusedAtOnce) {
    VendingPeer first("Skyvane");
    ASSERT_TRUE(first.remote);
    const std::string& name = first.name;
    PeerProcess second("BusObject.DISABLED_Peer", {{"PEER_BUS_NAME", name}});
    EXPECT_EQ(second.readLine(), "refused");
    EXPECT_EQ(second.wait(), 0);

    VendedObject mine({kTestProtocol}, [](auto&, auto&, auto&) { return plist::Value(); });
    EXPECT_FALSE(mine.registerName(name));
    EXPECT_EQ(mine.registeredName(), "");

    // Once the holder gives the name up, it is free.
    EXPECT_TRUE(first.remote->call("quit").isNone());
    EXPECT_EQ(first.process.readLine(), "bye");
    EXPECT_EQ(first.process.wait(), 0);
    ASSERT_TRUE(mine.registerName(name));
    EXPECT_EQ(mine.registeredName(), name);
    EXPECT_TRUE(RemoteObject::lookup(name, kTestProtocol));
    mine.withdraw();
    EXPECT_FALSE(RemoteObject::lookup(name, kTestProtocol));

    CaptureStderr err;
    EXPECT_FALSE(mine.registerName("not a bus name"));
    EXPECT_FALSE(RemoteObject::lookup("not a bus name", kTestProtocol));
    EXPECT_NE(err.text().find("[not a bus name] is not a bus name"), std::string::npos);
}

TEST(BusObject, EveryKindOfValueCrossesTheBusUnchanged) {
    VendingPeer peer("Echo");
    ASSERT_TRUE(peer.remote);
    RemoteObject* remote = peer.remote.get();

    plist::Value all = everyKind();
    all["bytes key \xa1"] = "value";
    plist::Value back = remote->call("echo", {all});
    EXPECT_EQ(back, all);
    EXPECT_TRUE(sameKinds(back, all));
    for (const plist::Value& one : {plist::Value(), plist::Value(-7), plist::Value(std::string("a\0b", 3)),
                                    plist::Value(plist::Date{1.5})}) {
        plist::Value echoed = remote->call("echo", {one});
        EXPECT_EQ(echoed, one);
        EXPECT_TRUE(sameKinds(echoed, one));
    }
    // A second protocol of the same object.
    EXPECT_EQ(RemoteObject::lookup(peer.name, kOtherProtocol)->call("ping").asString(), "pong");
    remote->call("quit");
}

TEST(BusObject, FailedCallsThrowTheKindOfFailure) {
    VendingPeer peer("Failing");
    ASSERT_TRUE(peer.remote);
    RemoteObject* remote = peer.remote.get();

    auto kindOf = [&](auto&& call) {
        try {
            call();
        } catch (const RemoteCallError& e) {
            return std::make_pair(e.kind(), std::string(e.what()));
        }
        return std::make_pair(RemoteCallError::Kind::NoBus, std::string("no exception"));
    };
    auto failed = kindOf([&] { remote->call("fail"); });
    EXPECT_EQ(failed.first, RemoteCallError::Kind::Failed);
    EXPECT_NE(failed.second.find("refused on purpose"), std::string::npos) << failed.second;
    EXPECT_EQ(kindOf([&] { remote->call("echo"); }).first, RemoteCallError::Kind::Failed);  // wrong arity
    EXPECT_EQ(kindOf([&] { remote->call("missing"); }).first, RemoteCallError::Kind::Failed);

    auto slow = kindOf([&] { remote->call("stall", {700}, 100); });
    EXPECT_EQ(slow.first, RemoteCallError::Kind::Timeout) << slow.second;
    EXPECT_EQ(remote->call("echo", {"still there"}).asString(), "still there");

    // The peer vanishes: the proxy it left behind fails cleanly.
    peer.process.kill();
    auto gone = kindOf([&] { remote->call("echo", {1}); });
    EXPECT_EQ(gone.first, RemoteCallError::Kind::NoPeer) << gone.second;
    EXPECT_FALSE(RemoteObject::lookup(peer.name, kTestProtocol));
}

TEST(BusObject, DISABLED_PeerWithoutBus) {
    VendedObject object({kTestProtocol}, [](auto&, auto&, auto&) { return plist::Value(); });
    bool registered = object.registerName("com.tesk.Lonely");
    bool found = RemoteObject::lookup("com.tesk.Lonely", kTestProtocol) != nullptr;
    peerSay(registered || found ? "bus" : "no bus");
}

TEST(BusObject, WithoutASessionBusNothingRegistersAndNothingIsFound) {
    PeerProcess peer("BusObject.DISABLED_PeerWithoutBus",
                     {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"}, {"DISPLAY", ""}});
    EXPECT_EQ(peer.readLine(), "no bus");
    EXPECT_EQ(peer.wait(), 0);
}

// Another program may send any D-Bus type (`gdbus call` sends "<1>" as an
// int32): whole numbers of every width, object paths, plain arrays and
// string-keyed dictionaries read as the values they hold; a type that holds
// no value is refused with the type named.
TEST(BusObject, ForeignTypesReadAsTheirValuesOrAreRefusedByName) {
    VendingPeer peer("Foreign");
    ASSERT_TRUE(peer.remote);
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_TRUE(bus);
    // The echo of one value, sent as it is; the error text when refused.
    auto echo = [&](GVariant* value, plist::Value& back) -> std::string {
        GError* e = nullptr;
        GVariant* reply = g_dbus_connection_call_sync(bus, peer.name.c_str(), "/com/tesk/RootObject", "com.tesk.Test",
                                                      "echo", g_variant_new("(v)", value), G_VARIANT_TYPE("(v)"),
                                                      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &e);
        if (!reply) {
            std::string error = e->message;
            g_error_free(e);
            return error;
        }
        // The reply as GLib prints it, with its types.
        GVariant* inner = nullptr;
        g_variant_get(reply, "(v)", &inner);
        gchar* text = g_variant_print(inner, TRUE);
        back = plist::Value(std::string(text));
        g_free(text);
        g_variant_unref(inner);
        g_variant_unref(reply);
        return "";
    };
    const struct {
        const char* sent;
        const char* echoed;  // as printed by GLib, or the type named when refused
        bool refused = false;
    } cases[] = {
        {"byte 200", "int64 200"},
        {"int16 -5", "int64 -5"},
        {"uint16 65535", "int64 65535"},
        {"int32 1", "int64 1"},
        {"uint32 4000000000", "int64 4000000000"},
        {"int64 -9000000000", "int64 -9000000000"},
        {"uint64 18446744073709551615", "1.8446744073709552e+19"},
        {"objectpath '/a/b'", "'/a/b'"},
        {"['a', 'b']", "[<'a'>, <'b'>]"},
        {"[int32 1, 5]", "[<int64 1>, <int64 5>]"},
        {"{'city': 'Ames'}", "{'city': <'Ames'>}"},
        {"(int32 1, int32 2)", "(ii)", true},
        {"{int32 1: 'a'}", "a{is}", true},
        {"[(true, 0.5)]", "(bd)", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        GError* e = nullptr;
        GVariant* value = g_variant_parse(nullptr, c.sent, nullptr, nullptr, &e);
        ASSERT_TRUE(value) << e->message;
        plist::Value back;
        const std::string error = echo(value, back);
        if (!c.refused) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(back.stringOr(""), c.echoed);
        } else {
            EXPECT_NE(error.find(std::string("D-Bus type \"") + c.echoed + "\""), std::string::npos) << error;
        }
    }
    g_object_unref(bus);
    peer.remote->call("quit");
}
