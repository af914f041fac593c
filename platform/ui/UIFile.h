#pragma once
// User-interface files: builder functions registered by name ("Util",
// "Prefs", ...) that make an owner's windows and controls and connect them
// to its fields and actions.

#include <functional>
#include <string>

// A class whose windows come from a user-interface file.
class UIOwner {
public:
    virtual ~UIOwner() = default;
};

using UIBuilder = std::function<bool(UIOwner& owner)>;

// A later registration under the same name replaces the earlier one.
void registerUIFile(const std::string& name, UIBuilder builder);
void unregisterUIFile(const std::string& name);
bool hasUIFile(const std::string& name);
// Runs the builder with the owner; false when no file has that name or the
// builder could not build for this owner.
bool loadUIFile(const std::string& name, UIOwner& owner);
