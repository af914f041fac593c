#pragma once
// What the setup application's tests share: a "Skyvane Setup.app" bundle made
// in a temporary folder from the project's resources, a fresh application
// model per test, a compact text form of property-list values, and a fake
// menu program (a second process) that vends SkyvanePublic under a name of
// the test and reports every call it receives as one line.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "app/SkyvaneProtocols.h"
#include "platform/Bundle.h"
#include "platform/BusObject.h"
#include "platform/MainLoop.h"
#include "platform/PeerProcess.h"
#include "platform/ui/Window.h"
#include "setup/ComTeskPlimSetup.h"
#include "setup/LocationManagerSetup.h"
#include "setup/SkyvanePrefs.h"
#include "setup/SourceSetup.h"
#include "support/TempDir.h"

// "s:text", "i:1", "r:0.5", "b:1", "[a,b]", "{k=v;...}", "-" for nothing.
inline std::string describe(const plist::Value& v) {
    std::ostringstream out;
    switch (v.type()) {
        case plist::Value::Type::String: out << "s:" << v.asString(); break;
        case plist::Value::Type::Integer: out << "i:" << v.asInt(); break;
        case plist::Value::Type::Real: out << "r:" << v.asReal(); break;
        case plist::Value::Type::Boolean: out << "b:" << v.asBool(); break;
        case plist::Value::Type::Array: {
            const char* separator = "";
            out << "[";
            for (const auto& e : v.asArray()) out << std::exchange(separator, ",") << describe(e);
            out << "]";
            break;
        }
        case plist::Value::Type::Dict:
            out << "{";
            for (const auto& [k, e] : v.asDict()) out << k << "=" << describe(e) << ";";
            out << "}";
            break;
        default: out << "-"; break;
    }
    return out.str();
}

// The fake menu program's body, run as the test SetupPeer.DISABLED_MenuProgram
// of each test program that uses FakeSkyvane: vends SkyvanePublic under
// PEER_BUS_NAME and reports each call; a setPreferences with the text "quit"
// ends it. Whole preferences with units 7 are refused (and not reported), as
// the menu program refuses values it does not know.
inline void runFakeMenuProgram() {
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

// The fake menu program: "<method> <argument>..." per call, arguments described.
class FakeSkyvane {
public:
    FakeSkyvane()
        : name("com.tesk.SkyvaneTest" + std::to_string(getpid())),
          process("SetupPeer.DISABLED_MenuProgram", {{"PEER_BUS_NAME", name}}) {
        ready = process.readLine() == "registered";
    }
    ~FakeSkyvane() {
        if (auto me = RemoteObject::lookup(name, kSkyvanePublic)) {
            try {
                me->call("setPreferences", {plist::Value("quit")}, 2000);
            } catch (const RemoteCallError&) {
            }
        }
    }
    // The next call's line ("" when none came within the time).
    std::string nextCall(int timeoutMs = 5000) { return process.readLine(timeoutMs); }

    std::string name;
    PeerProcess process;
    bool ready = false;
};

// Runs the main loop until the New Location search has ended and its answer
// is applied; false when it had not within the time.
inline bool searchEnds(const LocationManagerSetup& loc, int timeoutMs = 20000) {
    return MainLoop::instance().runUntil([&] { return !loc.searching(); }, timeoutMs);
}

// A bundle folder with its Resources folder and an Info.plist of `keys`.
inline void makeBundle(const std::filesystem::path& root,
                       std::initializer_list<std::pair<const char*, const char*>> keys) {
    std::filesystem::create_directories(root / "Resources");
    std::ofstream info(root / "Info.plist");
    info << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>";
    for (const auto& [key, value] : keys) info << "<key>" << key << "</key><string>" << value << "</string>";
    info << "</dict></plist>\n";
}

// A bundle for the setup application and a clean application model.
class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        Application::shared().reset();
        bundleRoot = dir.path() / "Skyvane Setup.app";
        makeBundle(bundleRoot, {{"CFBundleIdentifier", "com.tesk.SkyvaneSetup"},
                                {"CFBundleName", "Skyvane Setup"},
                                {"CFBundleVersion", "1.0"},
                                {"CFBundleDevelopmentRegion", "en"}});
        fs::copy(fs::path(SKYVANE_SOURCE_DIR) / "resources", bundleRoot / "Resources",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        Bundle::setMainBundlePath(bundleRoot.string());
    }
    void TearDown() override {
        LocationManagerSetup::setScraperFactory(nullptr);
        Application::shared().reset();
    }

    // The preferences as the menu program passes them.
    static plist::Dict samplePrefs() {
        plist::Dict prefs{{"units", 1},          {"icon_set", 1},           {"font_size", 0},
                          {"icon_saturation", 1.0}, {"update_frequency", 30}, {"five_day_forecast", true},
                          {"humidity", true},    {"visibility", false},     {"feels_like", true},
                          {"wind", true},        {"sunrise_sunset", true},  {"radar", true},
                          {"barometer", false},  {"dewpoint", false},       {"mode", "advance_mode"}};
        prefs["source_pref"] = plist::Array{1, 5, 6, 3};
        prefs["locations"] = plist::Array{
            plist::Dict{{"city", "Austin, TX"}, {"locStatus", 1}, {"nws", "k-austin"}},
            plist::Dict{{"city", "Boston, MA"}, {"locStatus", 2}, {"nws", "k-boston"}, {"ug", "u-boston"}},
            plist::Dict{{"city", "Chicago, IL"}, {"locStatus", 0}, {"aol", "key_not_in_db"}, {"usa", ""}},
        };
        return prefs;
    }

    TempDir dir;
    std::filesystem::path bundleRoot;
};
