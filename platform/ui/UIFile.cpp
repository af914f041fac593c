#include "platform/ui/UIFile.h"

#include <map>

namespace {

std::map<std::string, UIBuilder>& files() {
    static std::map<std::string, UIBuilder> registry;
    return registry;
}

}  // namespace

void registerUIFile(const std::string& name, UIBuilder builder) { files()[name] = std::move(builder); }

void unregisterUIFile(const std::string& name) { files().erase(name); }

bool hasUIFile(const std::string& name) { return files().count(name) > 0; }

bool loadUIFile(const std::string& name, UIOwner& owner) {
    auto it = files().find(name);
    if (it == files().end()) return false;
    UIBuilder builder = it->second;  // a builder may register others
    return builder(owner);
}
