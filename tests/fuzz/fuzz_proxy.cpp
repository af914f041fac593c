// The proxy environment is outside text: whatever http_proxy and no_proxy
// hold, reading them must end, and a proxy host that is answered can go into
// a request line (no blank, no control byte, no path).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "util/ComTeskSysConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // The input is split at its first two NUL bytes: proxy, exceptions, host.
    size_t a = text.find('\0');
    size_t b = a == std::string::npos ? std::string::npos : text.find('\0', a + 1);
    std::string proxy = text.substr(0, a);
    std::string exceptions = a == std::string::npos ? "" : text.substr(a + 1, b == std::string::npos ? b : b - a - 1);
    std::string host = b == std::string::npos ? "" : text.substr(b + 1);

    ComTeskSysConfig config(std::make_shared<EnvironmentSysConfigSource>(
        [&](const std::string& name) -> std::optional<std::string> {
            if (name == "http_proxy") return proxy;
            if (name == "no_proxy") return exceptions;
            return std::nullopt;
        }));
    config.createSession(ComTeskSysConfig::kDynamicStoreSession);
    for (const plist::Value& answer : {config.currentProxy(), config.currentProxyForHost(host)}) {
        if (answer.isNone()) continue;
        const std::string& name = answer.asArray().at(0).asString();
        if (name.empty()) std::abort();
        for (unsigned char c : name) {
            if (c <= ' ' || c >= 0x7f || c == '/') std::abort();
        }
        if (answer.asArray().size() > 1) {
            int64_t port = answer.asArray()[1].asInt();
            if (port < 1 || port > 65535) std::abort();
        }
    }
    return 0;
}
