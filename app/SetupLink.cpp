#include "app/SetupLink.h"

#include <atomic>
#include <filesystem>
#include <iostream>
#include <utility>

#include "app/SkyvaneProtocols.h"
#include "model/PreferenceKeys.h"
#include "platform/BusObject.h"
#include "platform/MainLoop.h"
#include "platform/Tasks.h"
#include "platform/ui/Alert.h"

namespace {

std::atomic<int> connectPauseMs{1000};

// The boolean a command's data carries: a number's value, else false.
bool dataFlag(const plist::Value& data) { return data.isNumber() && data.asBool(); }

}  // namespace

SetupLink::SetupLink(Peer peer, bool advanced) : peer_(std::move(peer)), advanced_(advanced) {}

SetupLink::~SetupLink() { MainLoop::instance().removeTimer(connectTimer_); }

void SetupLink::setConnectPauseMs(int ms) { connectPauseMs = ms; }

void SetupLink::releaseSetupProxy() { setupProxy_.reset(); }

void SetupLink::getVendedSetup() { setupProxy_ = RemoteObject::lookup(kSkyvaneSetupBusName, kSkyvaneSetupPublic); }

void SetupLink::problem(const std::string& message) {
    Alert::create("Skyvane Setup Problem", message, "OK")->beginSheet(nullptr);
}

void SetupLink::getSetupProxy(std::function<void(bool)> done) {
    if (!setupProxy_) getVendedSetup();
    if (setupProxy_) {
        done(true);
        return;
    }
    // Already starting: this caller waits for the same outcome.
    if (isStarting()) {
        waiting_.push_back(std::move(done));
        return;
    }

    namespace fs = std::filesystem;
    std::string path = (fs::path(peer_.bundlePath()).parent_path() / "Skyvane Setup.app").string();
    std::error_code error;
    if (!fs::exists(path, error)) {
        std::cout << "Setup app not found in normal location, checking backup location..." << std::endl;
        path = peer_.bundledSetupPath ? peer_.bundledSetupPath() : "";
        if (path.empty()) {
            problem("Couldn't find Skyvane Setup!");
            done(false);
            return;
        }
    }
    launchApplication(path);
    // The look-ups run from the main loop, so the menu stays live meanwhile.
    waiting_.push_back(std::move(done));
    attempts_ = 0;
    connectTimer_ = MainLoop::instance().addTimer(static_cast<unsigned>(connectPauseMs.load()),
                                                  [this] { return connectAttempt(); });
}

bool SetupLink::connectAttempt() {
    ++attempts_;
    getVendedSetup();
    if (!setupProxy_ && attempts_ < kConnectAttempts) return true;
    // The wait is over: the timer ends with this run, and whoever waited
    // hears the outcome (and may start a new wait).
    connectTimer_ = 0;
    const bool connected = isConnected();
    if (!connected) problem("Could not communicate with Skyvane Setup");
    for (auto& done : std::exchange(waiting_, {})) done(connected);
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
    if (commands_.size() >= kMaxWaitingCommands) {
        std::cerr << "SetupLink: too many commands wait for Skyvane Setup; command " << code << " dropped" << std::endl;
        return;
    }
    commands_.push_back({code, data, false});
    // While the setup application starts, the command waits with the others.
    if (!isStarting()) sendCommands();
}

void SetupLink::sendCommands() {
    getSetupProxy([this](bool connected) {
        if (!connected) {
            commands_.clear();
            return;
        }
        while (!commands_.empty()) {
            Command command = std::move(commands_.front());
            commands_.pop_front();
            try {
                proxyAction(command.code, command.data);
            } catch (const RemoteCallError& e) {
                if (command.retried) {
                    std::cerr << "SetupLink: call to Skyvane Setup failed again [" << e.what() << "]" << std::endl;
                    continue;
                }
                // The setup application may have gone away: connect afresh, once.
                std::cerr << "SetupLink: call to Skyvane Setup failed [" << e.what() << "]; reconnecting" << std::endl;
                releaseSetupProxy();
                command.retried = true;
                commands_.push_front(std::move(command));
                sendCommands();
                return;
            }
        }
    });
}
