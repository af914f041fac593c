#pragma once
// Which HTTP proxy is in force now. On Linux the system proxy is the
// environment's http_proxy (or HTTP_PROXY), with no_proxy (or NO_PROXY)
// naming the hosts that bypass it. The environment is presented as a
// configuration store: the dynamic-store key "State:/Network/Global/Proxies"
// holds a dictionary with "HTTPEnable", "HTTPProxy", "HTTPPort" and
// "ExceptionsList". The store is read afresh at every request.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "util/plist/Value.h"

// Where the configuration comes from; tests supply their own.
class SysConfigSource {
public:
    virtual ~SysConfigSource() = default;
    // The dynamic-store value of key; None when the store has none.
    virtual plist::Value dynamicStoreValue(const std::string& key) = 0;
    // The preferences value of root; None when there is none.
    virtual plist::Value preferencesValue(const std::string& root) = 0;
};

// The proxy environment. lookup answers a variable's value, or nullopt when
// it is unset; by default it reads the process environment.
class EnvironmentSysConfigSource : public SysConfigSource {
public:
    using Lookup = std::function<std::optional<std::string>(const std::string& name)>;
    explicit EnvironmentSysConfigSource(Lookup lookup = {});

    plist::Value dynamicStoreValue(const std::string& key) override;
    // Linux keeps no stored network preferences besides the environment.
    plist::Value preferencesValue(const std::string&) override { return {}; }

    // The proxy dictionary the environment describes.
    plist::Dict proxies();

private:
    std::optional<std::string> variable(const std::string& lower, const std::string& upper);
    Lookup lookup_;
};

class ComTeskSysConfig {
public:
    enum SessionKind { kPreferencesSession = 0, kDynamicStoreSession = 1 };

    // Reads the process environment.
    ComTeskSysConfig();
    explicit ComTeskSysConfig(std::shared_ptr<SysConfigSource> source);

    // Opens a session of that kind (closing it first); false for an unknown kind.
    bool createSession(int kind);
    void closeSession(int kind);
    void lockSession(int) {}
    void unlockSession(int) {}

    // A dynamic-store value, walked by path when one is given; None without
    // a dynamic-store session or when the store has no value for key.
    plist::Value getDynStoreValueFor(const std::optional<std::string>& path, const std::string& key);
    // A preferences value: the value of root walked by path, or, without a
    // root, path must be "/<root>[/<path>]". None without a preferences session.
    plist::Value getPrefValueFor(const std::optional<std::string>& path, const std::optional<std::string>& root);

    // Walks nested dictionaries one "/"-separated component at a time; a
    // value that is no dictionary ends the walk (logged) and is returned.
    static plist::Value getBottomElement(std::optional<std::string> path, plist::Value value);
    // first = text before the first "/", rest = text after it (nullopt without a "/").
    static void splitStringAtSlash(const std::string& text, std::string& first, std::optional<std::string>& rest);

    // [host, port], [host] when no port is set, or None for a direct connection.
    plist::Value currentProxy();
    // currentProxy(), or None when the proxy's exceptions name host.
    plist::Value currentProxyForHost(const std::string& host);

    // Whether an exceptions list ("*", "example.com", ".example.com",
    // "10.0.0.1") names host.
    static bool isExcepted(const plist::Value& exceptions, const std::string& host);

private:
    std::shared_ptr<SysConfigSource> source_;
    bool sessions_[2] = {false, false};
};
