#pragma once
// The menu program's side of its link to the setup application, which holds
// the preference panes, the location manager and the about box. It finds
// the object the setup application vends under "com.tesk.SkyvaneSetup",
// starts the application when it is not running (beside the menu program's
// bundle, else inside it) and waits for it, and turns menu commands into
// calls on that object. Main thread only. Waiting for a starting setup
// application never blocks: the look-ups run from a main-loop timer (at most
// about 15 seconds), and commands given meanwhile are sent once it answers.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
    // Commands kept while the setup application starts; later ones are dropped.
    static constexpr size_t kMaxWaitingCommands = 8;

    SetupLink(Peer peer, bool advanced);
    ~SetupLink();
    SetupLink(const SetupLink&) = delete;
    SetupLink& operator=(const SetupLink&) = delete;

    bool advanced() const { return advanced_; }
    bool isConnected() const { return static_cast<bool>(setupProxy_); }
    // Whether a started setup application is being waited for.
    bool isStarting() const { return connectTimer_ != 0; }

    // Looks the setup object up; connected when it answers to the name.
    void getVendedSetup();
    // Connects, starting the setup application when needed; `done` hears
    // whether it is connected, at once or after the start (an alert tells the
    // user when it cannot be found or does not answer).
    void getSetupProxy(std::function<void(bool connected)> done);
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
    struct Command {
        int code;
        plist::Value data;
        bool retried;
    };
    static void problem(const std::string& message);
    // Sends the waiting commands in order once connected.
    void sendCommands();
    // One look-up of a starting setup application; false once the wait is over.
    bool connectAttempt();

    Peer peer_;
    bool advanced_;
    std::unique_ptr<RemoteObject> setupProxy_;
    std::deque<Command> commands_;
    // While the setup application starts: the timer of the look-ups, their
    // count and who waits for the outcome.
    unsigned connectTimer_ = 0;
    int attempts_ = 0;
    std::vector<std::function<void(bool)>> waiting_;
};
