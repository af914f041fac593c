#include "platform/ui/Alert.h"

#include "util/DisplayText.h"

AlertRef Alert::create(const std::string& title, const std::string& message, const std::string& defaultButton,
                       const std::string& alternateButton, const std::string& otherButton) {
    AlertRef a(new Alert);
    a->title_ = toDisplayText(title);
    a->message_ = toDisplayText(message);
    a->buttons_[0] = toDisplayText(defaultButton.empty() && alternateButton.empty() && otherButton.empty()
                                       ? "OK"
                                       : defaultButton);
    a->buttons_[1] = toDisplayText(alternateButton);
    a->buttons_[2] = toDisplayText(otherButton);
    return a;
}

const std::string& Alert::buttonTitle(int which) const {
    switch (which) {
        case kAlertDefaultReturn: return buttons_[0];
        case kAlertAlternateReturn: return buttons_[1];
        default: return buttons_[2];
    }
}

void Alert::beginSheet(Window* parent, std::function<void(int)> didEnd) {
    parent_ = parent && !parent->attachedSheet() ? parent : nullptr;
    didEnd_ = std::move(didEnd);
    showing_ = true;
    Application& app = Application::shared();
    app.alerts_.push_back(shared_from_this());
    if (app.presenter()) app.presenter()->alertShown(shared_from_this());
}

int Alert::runModal() {
    beginSheet(nullptr);
    if (!Application::shared().presenter()) userPressButton(kAlertDefaultReturn);
    return kAlertDefaultReturn;
}

bool Alert::userPressButton(int alertReturn) {
    if (!showing_ || alertReturn < -1 || alertReturn > 1 || buttonTitle(alertReturn).empty()) return false;
    AlertRef keep = shared_from_this();
    showing_ = false;
    if (Application::shared().presenter()) Application::shared().presenter()->alertEnded(*this);
    auto didEnd = std::move(didEnd_);
    didEnd_ = nullptr;
    if (didEnd) didEnd(alertReturn);
    return true;
}
