// The "Util" user-interface file: the about box and the e-mail signup
// window of the utility controller.

#include "app/ComTeskUtilControl.h"

namespace {

std::shared_ptr<TextField> label(const Rect& frame, const std::string& text = "") {
    auto field = std::make_shared<TextField>(frame);
    field->setEditable(false);
    field->setStringValue(text);
    return field;
}

void buildAboutWindow(ComTeskUtilControl& owner) {
    owner.aboutWindow = Window::create({0, 0, 320, 400}, "About");
    const ViewRef& content = owner.aboutWindow->contentView();

    owner.aboutImageButton = std::make_shared<Button>(Rect{128, 320, 64, 64});
    owner.aboutTitleText = label({20, 290, 280, 22});
    owner.aboutVersionText = label({20, 268, 280, 18});
    owner.aboutCopyrightText = label({20, 246, 280, 18});
    // The icon shows no text: screen readers name it by the program's name beneath.
    owner.aboutImageButton->setLabelledBy(owner.aboutTitleText);
    // Centred under the icon, as the credits are.
    for (const auto& line : {owner.aboutTitleText, owner.aboutVersionText, owner.aboutCopyrightText})
        line->setAlignment(TextAlignment::Center);
    auto scroll = std::make_shared<ScrollView>(Rect{20, 60, 280, 176});
    owner.aboutCreditsTV = std::make_shared<TextView>(Rect{0, 0, 280, 176});
    owner.aboutCreditsTV->setAccessibilityLabel("Credits");
    scroll->setDocumentView(owner.aboutCreditsTV);
    owner.aboutButton = std::make_shared<Button>(Rect{220, 16, 80, 28});
    owner.aboutButton->setTitle("OK");
    owner.aboutButton->setTarget(&owner);
    owner.aboutButton->setAction("doneWithWindow:", [&owner](Control& sender) { owner.doneWithWindow(sender); });

    for (ViewRef v : std::initializer_list<ViewRef>{owner.aboutImageButton, owner.aboutTitleText,
                                                    owner.aboutVersionText, owner.aboutCopyrightText, scroll,
                                                    owner.aboutButton})
        content->addSubview(v);
}

void buildEmailWindow(ComTeskUtilControl& owner) {
    owner.emailWindow = Window::create({0, 0, 380, 150}, "News by E-mail");
    const ViewRef& content = owner.emailWindow->contentView();

    auto prompt = label({20, 110, 340, 18}, "Your e-mail address:");
    owner.emailTF = std::make_shared<TextField>(Rect{20, 80, 340, 22});
    owner.emailTF->setLabelledBy(prompt);  // screen readers name the field by its prompt
    auto signUp = std::make_shared<Button>(Rect{280, 16, 80, 28});
    signUp->setTitle("Sign Up");
    signUp->setTarget(&owner);
    signUp->setAction("emailSignup:", [&owner](Control& sender) { owner.emailSignup(sender); });
    auto cancel = std::make_shared<Button>(Rect{190, 16, 80, 28});
    cancel->setTitle("Cancel");
    cancel->setTag(0);
    cancel->setTarget(&owner);
    cancel->setAction("doneWithWindow:", [&owner](Control& sender) { owner.doneWithWindow(sender); });
    owner.versionLine = label({20, 20, 150, 18});

    for (ViewRef v : std::initializer_list<ViewRef>{prompt, owner.emailTF, signUp, cancel, owner.versionLine})
        content->addSubview(v);
}

}  // namespace

void registerUtilUIFile() {
    registerUIFile("Util", [](UIOwner& o) {
        auto* owner = dynamic_cast<ComTeskUtilControl*>(&o);
        if (!owner) return false;
        buildAboutWindow(*owner);
        buildEmailWindow(*owner);
        return true;
    });
}
