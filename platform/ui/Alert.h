#pragma once
// Alerts: a title, a message and up to three buttons, shown as a sheet on a
// window or on their own. Every alert shown is recorded by the Application;
// headless, it waits for a test to press one of its buttons.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Window.h"

// What the buttons return: the default (first), the alternate and the other.
enum AlertReturn { kAlertDefaultReturn = 1, kAlertAlternateReturn = 0, kAlertOtherReturn = -1 };

class Alert : public std::enable_shared_from_this<Alert> {
public:
    // Empty button titles are left out; with none at all the alert has "OK".
    static AlertRef create(const std::string& title, const std::string& message,
                           const std::string& defaultButton, const std::string& alternateButton = "",
                           const std::string& otherButton = "");

    const std::string& messageText() const { return title_; }
    const std::string& informativeText() const { return message_; }
    // Titles of the default, alternate and other buttons ("" for absent ones).
    const std::string& buttonTitle(int which) const;
    Window* parentWindow() const { return parent_; }
    bool isSheet() const { return parent_ != nullptr; }
    bool isShowing() const { return showing_; }

    // Shows the alert attached to `parent` (null: on its own); didEnd gets the
    // return code of the button pressed. A parent that already has a sheet
    // gets the alert on its own.
    void beginSheet(Window* parent, std::function<void(int)> didEnd = {});
    // Shows the alert and answers the default button at once (headless) or
    // when the presenter's dialog closes.
    int runModal();

    // The user presses a button (an AlertReturn value); false when the alert
    // is not showing or has no such button.
    bool userPressButton(int alertReturn);

private:
    Alert() = default;
    std::string title_, message_;
    std::string buttons_[3];
    Window* parent_ = nullptr;
    bool showing_ = false;
    std::function<void(int)> didEnd_;
};
