#pragma once
// What a menu item, control or toolbar item sends when the user uses it: a
// named action sent to a target. The target is only compared and shown
// (tests ask "is the target this object?"); the handler does the work. With
// no target the element sends nothing.

#include <functional>
#include <string>

template <class Sender>
class TargetAction {
public:
    using Handler = std::function<void(Sender&)>;

    void setTarget(const void* target) { target_ = target; }
    const void* target() const { return target_; }
    void setAction(std::string name, Handler handler) {
        name_ = std::move(name);
        handler_ = std::move(handler);
    }
    const std::string& action() const { return name_; }
    bool hasHandler() const { return static_cast<bool>(handler_); }

    // Sends the action; false when there is no target or no handler.
    bool send(Sender& sender) const {
        if (!target_ || !handler_) return false;
        // A copy: the handler may replace the action while it runs.
        Handler h = handler_;
        h(sender);
        return true;
    }

private:
    const void* target_ = nullptr;
    std::string name_;
    Handler handler_;
};
