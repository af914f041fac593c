#pragma once
// The menu program's side of its link to the setup application, which holds
// the preference panes, the location manager and the about box. It finds
// the object the setup application vends under "com.tesk.SkyvaneSetup",
// starts the application when it is not running (beside the menu program's
// bundle, else inside it) and waits for it, and turns menu commands into
// calls on that object. Main thread only: waiting for a starting setup
// application blocks the caller, at most about 15 seconds.

#include <functional>
#include <memory>
#include <string>

#include "util/plist/Value.h"

class RemoteObject;

class SetupLink {
public:
    // What the link asks of the menu program, at the time of each command.
    struct Peer {
        std::function<plist::Dict()> preferences;        // the whole preference dictionary
        std::function<std::string()> registeredName;     // the menu program's vended name ("" for none)
        std::function<std::string()> bundlePath;         // the menu program's bundle
        std::function<std::string()> bundledSetupPath;   // "Skyvane Setup.app" inside it, "" when absent
    };

    // Action codes: the menu tags of the commands that need the setup application.
    static constexpr int kPreferences = 300;
    static constexpr int kNewLocation = 201;
    static constexpr int kManageLocations = 202;
    static constexpr int kAbout = 305;

    static constexpr int kConnectAttempts = 15;

    SetupLink(Peer peer, bool advanced);
    ~SetupLink();
    SetupLink(const SetupLink&) = delete;
    SetupLink& operator=(const SetupLink&) = delete;

    bool advanced() const { return advanced_; }
    bool isConnected() const { return static_cast<bool>(setupProxy_); }

    // Looks the setup object up; connected when it answers to the name.
    void getVendedSetup();
    // Connected, or started and connected; an alert tells the user otherwise.
    bool getSetupProxy();
    // Sends the action of the code (nothing for an unknown code); a failed
    // call throws RemoteCallError.
    void proxyAction(int code, const plist::Value& data);
    // The entry of the menu commands: connects (starting the setup
    // application when needed) and sends the action; a call that fails on a
    // stale connection is sent once more over a new one.
    void getProxyAndPerformAction(int code, const plist::Value& data);
    // Forgets the connection.
    void releaseSetupProxy();

    // The pause between look-ups while the setup application starts (one
    // second unless tests shorten it).
    static void setConnectPauseMs(int ms);

private:
    static void problem(const std::string& message);

    Peer peer_;
    bool advanced_;
    std::unique_ptr<RemoteObject> setupProxy_;
};
