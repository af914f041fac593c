#include "platform/ui/Controls.h"

#include <gtest/gtest.h>

#include "platform/ui/Alert.h"
#include "platform/ui/UIFile.h"
#include "platform/ui/Window.h"

TEST(PopUpButton, SelectsByTagAndSendsOnUserChoice) {
    PopUpButton popup;
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    const std::pair<const char*, int> choices[] = {{"Metric", 0}, {"US standard", 1}, {"Both", 2}};
    for (auto [title, tag] : choices) popup.addItemWithTitle(title)->setTag(tag);
    EXPECT_EQ(popup.indexOfSelectedItem(), 0);  // the first item added

    EXPECT_TRUE(popup.selectItemWithTag(2));
    EXPECT_EQ(popup.titleOfSelectedItem(), "Both");
    EXPECT_FALSE(popup.selectItemWithTag(7));  // no such tag: the selection stays
    EXPECT_EQ(popup.selectedItem()->tag(), 2);

    int owner = 0, sent = 0, tagSeen = -1;
    popup.setTarget(&owner);
    popup.setAction("widgetChanged:", [&](Control& sender) {
        ++sent;
        tagSeen = dynamic_cast<PopUpButton&>(sender).selectedItem()->tag();
    });
    EXPECT_TRUE(popup.userSelect(1));
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(tagSeen, 1);
    popup.itemAtIndex(0)->setEnabled(false);
    EXPECT_FALSE(popup.userSelect(0));
    EXPECT_FALSE(popup.userSelect(9));
    popup.setEnabled(false);
    EXPECT_FALSE(popup.userSelect(2));
    EXPECT_EQ(sent, 1);

    popup.itemAtIndex(1)->setImage(Image::create({28, 19}));
    EXPECT_NE(popup.itemAtIndex(1)->image(), nullptr);
    popup.removeAllItems();
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_EQ(popup.selectedItem(), nullptr);
}

TEST(Controls, CheckBoxesMatricesSlidersAndFields) {
    Button check({}, ButtonType::Switch);
    int clicks = 0, owner = 0;
    check.setTarget(&owner);
    check.setAction("widgetChanged:", [&](Control&) { ++clicks; });
    EXPECT_TRUE(check.userClick());
    EXPECT_EQ(check.state(), kOnState);
    check.setAllowsMixedState(true);
    check.userClick();
    EXPECT_EQ(check.state(), kMixedState);
    check.userClick();
    EXPECT_EQ(check.state(), kOffState);
    EXPECT_EQ(clicks, 3);
    check.setEnabled(false);
    EXPECT_FALSE(check.userClick());

    Matrix matrix({0, 0, 300, 60}, 3, 3);
    EXPECT_EQ(matrix.cells().size(), 9u);
    EXPECT_EQ(matrix.cellAtRow(3, 0), nullptr);
    std::shared_ptr<ButtonCell> clicked;
    matrix.setTarget(&owner);
    matrix.setAction("widgetChanged:", [&](Control& m) { clicked = dynamic_cast<Matrix&>(m).selectedCell(); });
    EXPECT_TRUE(matrix.userClickCell(2, 1));
    EXPECT_EQ(clicked, matrix.cellAtRow(2, 1));
    EXPECT_EQ(matrix.cells()[7]->state(), kOnState);  // row by row

    Slider slider({}, 15, 120);
    slider.setFloatValue(500);
    EXPECT_EQ(slider.floatValue(), 120);
    slider.setTarget(&owner);
    double seen = 0;
    slider.setAction("widgetChanged:", [&](Control& s) { seen = s.floatValue(); });
    EXPECT_TRUE(slider.userSlide(42.5));
    EXPECT_EQ(seen, 42.5);
    EXPECT_EQ(slider.intValue(), 42);

    TextField field;
    int begins = 0;
    field.setBeginEditingHandler([&](TextField&) { ++begins; });
    field.setIntValue(30);
    EXPECT_EQ(field.stringValue(), "30");
    EXPECT_EQ(field.intValue(), 30);
    field.userType("Bos");
    field.userType("Boston");
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(field.stringValue(), "Boston");
    field.setStringValue("");
    field.userType("D");
    EXPECT_EQ(begins, 2);
    EXPECT_FALSE(field.userPressReturn());  // no target: nothing sent

    TextView credits;
    credits.setString("Skyvane\nby the Skyvane authors");
    credits.setAlignment(TextAlignment::Center);
    EXPECT_EQ(credits.alignment(), TextAlignment::Center);
}

TEST(Views, TreeBoxesAndWindowLookup) {
    WindowRef window = Window::create({100, 100, 400, 300}, "Preferences");
    auto box = std::make_shared<Box>(Rect{0, 0, 10, 10});
    box->setContentViewMargins({16, 16});
    window->contentView()->addSubview(box);
    auto pane = std::make_shared<View>(Rect{0, 0, 400, 200});
    pane->setIdentifier("general");
    box->addSubview(pane);
    box->sizeToFit();
    EXPECT_EQ(box->frame().size, (Size{432, 232}));
    EXPECT_EQ(pane->window(), window.get());
    EXPECT_EQ(window->contentView()->findView("general"), pane);

    auto other = std::make_shared<View>(Rect{0, 0, 300, 100});
    box->replaceSubview(pane.get(), other);
    EXPECT_EQ(pane->superview(), nullptr);
    EXPECT_EQ(other->superview(), box.get());
    other->removeFromSuperview();
    EXPECT_TRUE(box->subviews().empty());
    EXPECT_EQ(other->window(), nullptr);
}

TEST(Windows, KeySheetsCloseAndTheWindowList) {
    Application& app = Application::shared();
    app.reset();
    WindowRef main = Window::create({0, 0, 400, 300}, "Prefs");
    WindowRef sheet = Window::create({0, 0, 200, 100}, "New Location");
    EXPECT_FALSE(main->isVisible());
    main->makeKeyAndOrderFront();
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(main->isKeyWindow());
    EXPECT_EQ(app.mainWindow(), main.get());

    int ended = 99;
    app.beginSheet(sheet, main.get(), [&](int code) { ended = code; });
    EXPECT_TRUE(sheet->isSheet());
    EXPECT_EQ(main->attachedSheet(), sheet);
    EXPECT_EQ(app.mainWindow(), main.get());
    app.endSheet(*sheet, 3);
    EXPECT_EQ(ended, 3);
    EXPECT_FALSE(sheet->isSheet());
    EXPECT_EQ(main->attachedSheet(), nullptr);
    EXPECT_TRUE(sheet->isKeyWindow());
    sheet->orderOut();  // the sheet's owner hides it
    EXPECT_TRUE(main->isKeyWindow());

    int closing = 0;
    main->setWillCloseHandler([&](Window&) { ++closing; });
    main->close();
    EXPECT_EQ(closing, 1);
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(app.keyWindow(), nullptr);

    main->setFrame({10, 20, 432, 250}, true, true);
    EXPECT_TRUE(main->lastFrameChangeAnimated());

    const size_t count = app.windows().size();
    {
        WindowRef temporary = Window::create({0, 0, 1, 1});
        EXPECT_EQ(app.windows().size(), count + 1);
    }
    EXPECT_EQ(app.windows().size(), count);

    int quits = 0;
    app.setTerminateHandler([&] { ++quits; });
    app.terminate();
    EXPECT_TRUE(app.isTerminated());
    EXPECT_EQ(quits, 1);
    app.reset();
}

TEST(Alerts, RecordedWhenHeadlessAndEndedByAButton) {
    Application& app = Application::shared();
    app.reset();
    WindowRef window = Window::create({0, 0, 300, 200}, "E-mail");
    AlertRef alert = Alert::create("Problem", "Please enter a valid address.", "OK");
    int code = 99;
    alert->beginSheet(window.get(), [&](int c) { code = c; });
    ASSERT_EQ(app.alerts().size(), 1u);
    EXPECT_EQ(app.alerts()[0], alert);
    EXPECT_TRUE(alert->isShowing());
    EXPECT_EQ(alert->parentWindow(), window.get());
    EXPECT_FALSE(alert->userPressButton(kAlertAlternateReturn));  // it has no such button
    EXPECT_TRUE(alert->userPressButton(kAlertDefaultReturn));
    EXPECT_EQ(code, kAlertDefaultReturn);
    EXPECT_FALSE(alert->isShowing());
    EXPECT_FALSE(alert->userPressButton(kAlertDefaultReturn));

    AlertRef modal = Alert::create("Problem Saving Preferences", "Couldn't save.", "");
    EXPECT_EQ(modal->buttonTitle(kAlertDefaultReturn), "OK");
    EXPECT_EQ(modal->runModal(), kAlertDefaultReturn);
    EXPECT_FALSE(modal->isShowing());
    EXPECT_FALSE(modal->isSheet());
    EXPECT_EQ(app.alerts().size(), 2u);
    app.reset();
}

namespace {

struct AboutOwner : UIOwner {
    WindowRef about;
    std::shared_ptr<TextField> title;
};

}  // namespace

TEST(UIFiles, BuildersConnectOutletsOfTheirOwner) {
    registerUIFile("Test", [](UIOwner& o) {
        auto* owner = dynamic_cast<AboutOwner*>(&o);
        if (!owner) return false;
        owner->about = Window::create({0, 0, 300, 200}, "About");
        owner->title = std::make_shared<TextField>(Rect{10, 150, 280, 20});
        owner->about->contentView()->addSubview(owner->title);
        return true;
    });
    AboutOwner owner;
    UIOwner stranger;
    EXPECT_TRUE(hasUIFile("Test"));
    EXPECT_FALSE(loadUIFile("Test", stranger));
    EXPECT_TRUE(loadUIFile("Test", owner));
    ASSERT_NE(owner.title, nullptr);
    EXPECT_EQ(owner.title->window(), owner.about.get());
    unregisterUIFile("Test");
    EXPECT_FALSE(loadUIFile("Test", owner));
    EXPECT_FALSE(loadUIFile("Nothing", owner));
}
