// The peer programs the setup tests start: a fake menu program.

#include "SetupFixture.h"

TEST(SetupPeer, DISABLED_MenuProgram) { runFakeMenuProgram(); }

// Calls the setup object under "com.tesk.SkyvaneSetup": PEER_METHOD with the
// arguments of PEER_CASE; says "ok" or "error <message>".
TEST(SetupPeer, DISABLED_Caller) {
    auto setup = RemoteObject::lookup(kSkyvaneSetupBusName, kSkyvaneSetupPublic);
    if (!setup) {
        peerSay("error no setup object");
        return;
    }
    const std::string which = peerEnv("PEER_CASE");
    plist::Array args;
    if (which == "about") {
    } else if (which == "locations") {
        plist::Dict prefs{{"units", 2}, {"source_pref", plist::Array{5, 1}}};
        args = {prefs, true, peerEnv("PEER_NAME"), "locations", false};
    } else if (which == "bad") {
        args = {"not a dictionary", true, plist::Value(), "general", false};
    }
    const std::string method = which == "about" ? "runAboutBox" : "runPreferences_advanced_forApp_pane_firstRun";
    try {
        setup->call(method, args, 10000);
        peerSay("ok");
    } catch (const RemoteCallError& e) {
        peerSay(std::string("error ") + e.what());
    }
}
