#pragma once
// Named objects shared between programs, on the D-Bus session bus.
//
// A program vends an object under a bus name ("com.tesk.SkyvaneSetup"); the
// object answers the methods of one or more protocols (one D-Bus interface
// each). Another program looks the name up and calls the methods with
// property-list arguments. Calls are served by the main loop of the thread
// that registered the name. A failed call (the peer has gone, it took too
// long, it failed) throws RemoteCallError.

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "util/plist/Value.h"

// A protocol: its interface name and its methods with their argument counts.
// Method names are D-Bus member names (letters, digits, underscores).
struct BusProtocol {
    std::string name;
    std::vector<std::pair<std::string, int>> methods;
};

class RemoteCallError : public std::runtime_error {
public:
    enum class Kind { NoBus, NoPeer, Timeout, Failed };
    RemoteCallError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

class VendedObject {
public:
    // Answers a call: the protocol, the method and its arguments give the
    // reply (None for none). An exception becomes the caller's RemoteCallError.
    using Handler =
        std::function<plist::Value(const std::string& protocol, const std::string& method, const plist::Array& args)>;

    VendedObject(std::vector<BusProtocol> protocols, Handler handler);
    ~VendedObject();  // withdraws the name
    VendedObject(const VendedObject&) = delete;
    VendedObject& operator=(const VendedObject&) = delete;

    // Registers the object under name. Answers at once: true when this
    // object now holds the name, false when another holds it, when the name
    // is invalid or when there is no session bus (logged). An object holds at
    // most one name; registering again withdraws the old one first.
    bool registerName(const std::string& name);
    // Gives the name up; calls to it fail from now on.
    void withdraw();
    const std::string& registeredName() const { return name_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string name_;
};

class RemoteObject {
public:
    static constexpr int kDefaultTimeoutMs = 25000;

    // The object registered under name, spoken to through protocol; null when
    // no program holds the name (or there is no session bus). The object stays
    // bound to the program that held the name at look-up.
    static std::unique_ptr<RemoteObject> lookup(const std::string& name, const BusProtocol& protocol);

    // The first of `names` that a program holds now and under which it
    // offers `protocol`; "" when there is none, and without a session bus.
    // Only each holder's description is asked for, never a method of the
    // protocol. A holder that offers other interfaces does not count, nor
    // one that does not answer within eachMs. All names are asked at once,
    // so the look takes about eachMs however many holders never answer.
    static std::string firstOffering(const std::vector<std::string>& names, const BusProtocol& protocol, int eachMs);

    // Calls a method of the protocol and returns its reply.
    plist::Value call(const std::string& method, const plist::Array& args = {}, int timeoutMs = kDefaultTimeoutMs);

    const std::string& name() const { return name_; }

private:
    RemoteObject(std::string name, std::string owner, BusProtocol protocol)
        : name_(std::move(name)), owner_(std::move(owner)), protocol_(std::move(protocol)) {}
    std::string name_;
    std::string owner_;  // the unique bus name of the program that holds name_
    BusProtocol protocol_;
};
