// The peer programs the setup tests start: a fake menu program.

#include "SetupFixture.h"

#include <stdexcept>

// Vends SkyvanePublic under PEER_BUS_NAME and reports each call; a
// setPreferences with the text "quit" ends it. Whole preferences with units
// 7 are refused (and not reported), as the menu program refuses values it
// does not know.
TEST(SetupPeer, DISABLED_MenuProgram) {
    VendedObject object({kSkyvanePublic}, [](const std::string&, const std::string& method, const plist::Array& args) {
        if (method == "setPreferences" && args.at(0) == plist::Value("quit")) {
            MainLoop::instance().quit();
            return plist::Value();
        }
        if (method == "setPreferences" && args.at(0).isDict() && args.at(0).get("units") == plist::Value(7))
            throw std::invalid_argument("units: 7 is not from 0 to 2");
        std::string line = method;
        for (const auto& a : args) line += " " + describe(a);
        peerSay(line);
        return plist::Value();
    });
    bool registered = object.registerName(peerEnv("PEER_BUS_NAME"));
    peerSay(registered ? "registered" : "refused");
    if (!registered) return;
    MainLoop::instance().run();
}

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
