#include "app/SetupLink.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include "app/SkyvaneProtocols.h"
#include "model/PreferenceKeys.h"
#include "platform/BusObject.h"
#include "platform/Tasks.h"
#include "platform/ui/Alert.h"

namespace {

std::atomic<int> connectPauseMs{1000};

// The boolean a command's data carries: a number's value, else false.
bool dataFlag(const plist::Value& data) { return data.isNumber() && data.asBool(); }

}  // namespace

SetupLink::SetupLink(Peer peer, bool advanced) : peer_(std::move(peer)), advanced_(advanced) {}

SetupLink::~SetupLink() = default;

void SetupLink::setConnectPauseMs(int ms) { connectPauseMs = ms; }

void SetupLink::releaseSetupProxy() { setupProxy_.reset(); }

void SetupLink::getVendedSetup() { setupProxy_ = RemoteObject::lookup(kSkyvaneSetupBusName, kSkyvaneSetupPublic); }

void SetupLink::problem(const std::string& message) {
    Alert::create("Skyvane Setup Problem", message, "OK")->beginSheet(nullptr);
}

bool SetupLink::getSetupProxy() {
    if (setupProxy_) return true;
    getVendedSetup();
    if (setupProxy_) return true;

    namespace fs = std::filesystem;
    std::string path = (fs::path(peer_.bundlePath()).parent_path() / "Skyvane Setup.app").string();
    std::error_code error;
    if (!fs::exists(path, error)) {
        std::cout << "Setup app not found in normal location, checking backup location..." << std::endl;
        path = peer_.bundledSetupPath ? peer_.bundledSetupPath() : "";
        if (path.empty()) {
            problem("Couldn't find Skyvane Setup!");
            return false;
        }
    }
    launchApplication(path);
    for (int attempt = 0; attempt < kConnectAttempts && !setupProxy_; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(connectPauseMs.load()));
        getVendedSetup();
    }
    if (setupProxy_) return true;
    problem("Could not communicate with Skyvane Setup");
    return false;
}

void SetupLink::proxyAction(int code, const plist::Value& data) {
    if (!setupProxy_) return;
    const std::string pane = code == kPreferences     ? kPrefpaneGeneral
                             : code == kNewLocation   ? kPrefpaneNewLoc
                             : code == kManageLocations ? kPrefpaneLocations
                                                        : "";
    if (code == kAbout) {
        setupProxy_->call("runAboutBox");
        return;
    }
    if (pane.empty()) return;
    // Free mode opens new locations in first-run form only; advanced mode
    // passes the flag with every pane.
    const bool firstRun = (advanced_ || code == kNewLocation) && dataFlag(data);
    const std::string name = peer_.registeredName();
    setupProxy_->call("runPreferences_advanced_forApp_pane_firstRun",
                      plist::Array{plist::Value(peer_.preferences()), plist::Value(advanced_),
                                   name.empty() ? plist::Value() : plist::Value(name), plist::Value(pane),
                                   plist::Value(firstRun)});
}

void SetupLink::getProxyAndPerformAction(int code, const plist::Value& data) {
    if (!getSetupProxy()) return;
    try {
        proxyAction(code, data);
        return;
    } catch (const RemoteCallError& e) {
        // The setup application may have gone away: connect afresh, once.
        std::cerr << "SetupLink: call to Skyvane Setup failed [" << e.what() << "]; reconnecting" << std::endl;
    }
    releaseSetupProxy();
    if (!getSetupProxy()) return;
    try {
        proxyAction(code, data);
    } catch (const RemoteCallError& e) {
        std::cerr << "SetupLink: call to Skyvane Setup failed again [" << e.what() << "]" << std::endl;
    }
}
