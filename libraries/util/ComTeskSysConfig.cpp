#include "util/ComTeskSysConfig.h"

#include <cctype>
#include <cstdlib>
#include <iostream>
#include <mutex>

namespace {

const char kProxiesKey[] = "State:/Network/Global/Proxies";

std::string trim(const std::string& text) {
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(start, end - start + 1);
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Logs a problem with the proxy settings once, not at every refresh.
void warnOnce(const std::string& message) {
    static std::mutex mutex;
    static std::string last;
    std::lock_guard<std::mutex> lock(mutex);
    if (message == last) return;
    last = message;
    std::cerr << "ComTeskSysConfig: " << message << std::endl;
}

bool plainHost(const std::string& host) {
    if (host.empty()) return false;
    for (unsigned char c : host) {
        if (c <= ' ' || c >= 0x7f || c == '/' || c == '@' || c == '?' || c == '#') return false;
    }
    return true;
}

// Parses "[http://][user:password@]host[:port][/...]" into the dictionary.
// The credentials are dropped: the HTTP client does not send them.
plist::Dict parseProxy(const std::string& name, const std::string& setting) {
    plist::Dict off{{"HTTPEnable", 0}};
    std::string text = trim(setting);
    if (text.empty()) return off;
    size_t scheme = text.find("://");
    if (scheme != std::string::npos) {
        std::string kind = lower(text.substr(0, scheme));
        if (kind != "http") {
            warnOnce("the " + name + " scheme [" + kind + "] is not supported; connecting directly");
            return off;
        }
        text = text.substr(scheme + 3);
    }
    text = text.substr(0, text.find_first_of("/?#"));
    size_t at = text.rfind('@');
    if (at != std::string::npos) text = text.substr(at + 1);

    std::string host, port;
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos) {
            warnOnce("cannot read the proxy host in " + name + "; connecting directly");
            return off;
        }
        host = text.substr(1, close - 1);
        std::string rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') host.clear();
            port = rest.substr(1);
        }
    } else {
        size_t colon = text.find(':');
        host = text.substr(0, colon);
        if (colon != std::string::npos) port = text.substr(colon + 1);
    }
    if (!plainHost(host)) {
        warnOnce("cannot read the proxy host in " + name + "; connecting directly");
        return off;
    }
    plist::Dict proxy{{"HTTPEnable", 1}, {"HTTPProxy", host}};
    if (!port.empty()) {
        bool digits = port.size() <= 5;
        for (unsigned char c : port) digits = digits && std::isdigit(c);
        long number = digits ? std::strtol(port.c_str(), nullptr, 10) : 0;
        if (number < 1 || number > 65535) {
            warnOnce("the proxy port [" + port + "] in " + name + " is not a port number; connecting directly");
            return off;
        }
        proxy["HTTPPort"] = static_cast<int>(number);
    }
    return proxy;
}

}  // namespace

EnvironmentSysConfigSource::EnvironmentSysConfigSource(Lookup lookup) : lookup_(std::move(lookup)) {
    if (!lookup_) {
        lookup_ = [](const std::string& name) -> std::optional<std::string> {
            const char* value = std::getenv(name.c_str());
            if (!value) return std::nullopt;
            return std::string(value);
        };
    }
}

std::optional<std::string> EnvironmentSysConfigSource::variable(const std::string& lowerName,
                                                                const std::string& upperName) {
    // The lower-case name wins, even when it is set empty.
    if (auto value = lookup_(lowerName)) return value;
    return lookup_(upperName);
}

plist::Dict EnvironmentSysConfigSource::proxies() {
    std::string name = "http_proxy";
    auto setting = lookup_(name);
    if (!setting) setting = lookup_(name = "HTTP_PROXY");
    plist::Dict proxy = setting ? parseProxy(name, *setting) : plist::Dict{{"HTTPEnable", 0}};
    plist::Array exceptions;
    if (auto list = variable("no_proxy", "NO_PROXY")) {
        size_t start = 0;
        while (start <= list->size()) {
            size_t end = list->find(',', start);
            if (end == std::string::npos) end = list->size();
            std::string entry = lower(trim(list->substr(start, end - start)));
            if (!entry.empty()) exceptions.push_back(entry);
            start = end + 1;
        }
    }
    if (!exceptions.empty()) {
        for (const plist::Value& entry : exceptions) {
            if (entry.asString() == "*") proxy = {{"HTTPEnable", 0}};
        }
        proxy["ExceptionsList"] = exceptions;
    }
    return proxy;
}

plist::Value EnvironmentSysConfigSource::dynamicStoreValue(const std::string& key) {
    if (key == kProxiesKey) return proxies();
    return {};
}

ComTeskSysConfig::ComTeskSysConfig() : ComTeskSysConfig(std::make_shared<EnvironmentSysConfigSource>()) {}

ComTeskSysConfig::ComTeskSysConfig(std::shared_ptr<SysConfigSource> source) : source_(std::move(source)) {}

bool ComTeskSysConfig::createSession(int kind) {
    if (kind != kPreferencesSession && kind != kDynamicStoreSession) return false;
    closeSession(kind);
    sessions_[kind] = source_ != nullptr;
    return sessions_[kind];
}

void ComTeskSysConfig::closeSession(int kind) {
    if (kind == kPreferencesSession || kind == kDynamicStoreSession) sessions_[kind] = false;
}

plist::Value ComTeskSysConfig::getDynStoreValueFor(const std::optional<std::string>& path, const std::string& key) {
    if (!sessions_[kDynamicStoreSession]) return {};
    plist::Value value = source_->dynamicStoreValue(key);
    if (value.isNone()) return {};
    return path ? getBottomElement(path, std::move(value)) : value;
}

plist::Value ComTeskSysConfig::getPrefValueFor(const std::optional<std::string>& path,
                                               const std::optional<std::string>& root) {
    if (!sessions_[kPreferencesSession]) return {};
    if (root) return getBottomElement(path, source_->preferencesValue(*root));
    if (!path || path->size() <= 1 || (*path)[0] != '/') {
        std::cerr << "Invalid string to lookup for null root: " << (path ? *path : "(null)") << std::endl;
        return {};
    }
    std::string first;
    std::optional<std::string> rest;
    splitStringAtSlash(path->substr(1), first, rest);
    return getBottomElement(rest, source_->preferencesValue(first));
}

plist::Value ComTeskSysConfig::getBottomElement(std::optional<std::string> path, plist::Value value) {
    while (path) {
        if (!value.isDict()) {
            std::cerr << "Trying to look up " << *path << " but we don't have a dictionary!" << std::endl;
            return value;
        }
        std::string first;
        std::optional<std::string> rest;
        splitStringAtSlash(*path, first, rest);
        plist::Value next = value.get(first);
        value = std::move(next);
        path = rest;
    }
    return value;
}

void ComTeskSysConfig::splitStringAtSlash(const std::string& text, std::string& first,
                                          std::optional<std::string>& rest) {
    size_t slash = text.find('/');
    if (slash == std::string::npos) {
        first = text;
        rest = std::nullopt;
    } else {
        first = text.substr(0, slash);
        rest = text.substr(slash + 1);
    }
}

plist::Value ComTeskSysConfig::currentProxy() {
    std::string key = std::string("State:") + "/" + "Network" + "/" + "Global" + "/" + "Proxies";
    plist::Value proxies = getDynStoreValueFor(std::nullopt, key);
    if (!proxies.get("HTTPEnable").asBool(false)) return {};
    const plist::Value& host = proxies.get("HTTPProxy");
    if (host.isNone()) return {};
    plist::Array result{host};
    const plist::Value& port = proxies.get("HTTPPort");
    if (!port.isNone()) result.push_back(port);
    return result;
}

plist::Value ComTeskSysConfig::currentProxyForHost(const std::string& host) {
    plist::Value exceptions = getDynStoreValueFor(std::string("ExceptionsList"), kProxiesKey);
    if (isExcepted(exceptions, host)) return {};
    return currentProxy();
}

bool ComTeskSysConfig::isExcepted(const plist::Value& exceptions, const std::string& host) {
    std::string name = lower(host);
    // A port or a trailing dot does not change the host.
    if (size_t colon = name.find(':'); colon != std::string::npos && name.find(':', colon + 1) == std::string::npos) {
        name.resize(colon);
    }
    while (!name.empty() && name.back() == '.') name.pop_back();
    if (name.empty()) return false;
    for (const plist::Value& item : exceptions.asArray()) {
        std::string entry = lower(item.asString());
        if (entry == "*") return true;
        if (size_t colon = entry.find(':');
            colon != std::string::npos && entry.find(':', colon + 1) == std::string::npos) {
            entry.resize(colon);
        }
        while (!entry.empty() && entry.front() == '.') entry.erase(0, 1);
        if (entry.empty()) continue;
        if (name == entry) return true;
        if (name.size() > entry.size() && name.compare(name.size() - entry.size(), entry.size(), entry) == 0 &&
            name[name.size() - entry.size() - 1] == '.') {
            return true;
        }
    }
    return false;
}
