#include "SetupFixture.h"
#include "platform/ui/Alert.h"
#include "support/CaptureStream.h"

namespace {

class SkyvanePrefsTest : public SetupTest {
protected:
    SkyvanePrefs& open(bool advanced, const std::string& pane, const std::string* name = nullptr) {
        setup.runPreferences(samplePrefs(), advanced, name, pane, false);
        return *setup.prefControl();
    }
    // Opened with the menu program refusing the preferences' units of 7.
    SkyvanePrefs& openRefused(const FakeSkyvane& menu, const std::string& pane) {
        plist::Dict unknownUnits = samplePrefs();
        unknownUnits["units"] = 7;
        setup.runPreferences(unknownUnits, true, &menu.name, pane, false);
        return *setup.prefControl();
    }
    ComTeskPlimSetup setup;
};

}  // namespace

TEST_F(SkyvanePrefsTest, ControlsShowTheDictionaryAndTheMode) {
    SkyvanePrefs& prefs = open(true, "general");
    ASSERT_TRUE(prefs.prefsWindow->isVisible());
    EXPECT_EQ(Application::shared().activationCount(), 1);
    EXPECT_EQ(prefs.unitsPopup->titleOfSelectedItem(), "US Standard");
    EXPECT_EQ(prefs.iconSetPopup->titleOfSelectedItem(), "Sky");
    EXPECT_EQ(prefs.freqTF->intValue(), 30);
    EXPECT_DOUBLE_EQ(prefs.freqSlider->floatValue(), 30);
    EXPECT_EQ(prefs.checkboxMatrix->cellAtRow(0, 0)->state(), kOnState);   // five_day_forecast
    EXPECT_EQ(prefs.checkboxMatrix->cellAtRow(0, 2)->state(), kOffState);  // visibility
    EXPECT_EQ(prefs.checkboxMatrix->cellAtRow(2, 1)->state(), kOffState);  // barometer
    for (const auto& cell : prefs.checkboxMatrix->cells()) EXPECT_TRUE(cell->isEnabled());
    ASSERT_TRUE(prefs.satImageView->image());
    ASSERT_EQ(prefs.iconImages().size(), 2u);
    EXPECT_TRUE(prefs.iconImages()[0] && prefs.iconImages()[1]);
    EXPECT_TRUE(prefs.iconSetPopup->itemAtIndex(0)->image());
    const auto& toolbar = prefs.prefsWindow->toolbar();
    ASSERT_EQ(toolbar->items().size(), 3u);
    EXPECT_EQ(toolbar->items()[1]->label(), "Locations");
    EXPECT_TRUE(toolbar->items()[0]->image());

    // A second request reloads every control from the new dictionary.
    ASSERT_TRUE(prefs.freqSlider->userSlide(90));
    plist::Dict other = samplePrefs();
    other["update_frequency"] = 20;
    other["icon_set"] = 0;
    other["source_pref"] = plist::Array{6, 1};
    setup.runPreferences(other, true, nullptr, "general", false);
    EXPECT_EQ(setup.prefControl(), &prefs);
    EXPECT_EQ(prefs.freqTF->intValue(), 20);
    EXPECT_EQ(prefs.iconSetPopup->titleOfSelectedItem(), "Classic");
    EXPECT_EQ(prefs.sourceSetup_->sources(), (std::vector<int>{6, 1}));
    EXPECT_EQ(prefs.prefs(), setup.passedPrefs());

    // Free mode leaves only the units and the font size enabled; the panes stay usable.
    open(false, "general");
    EXPECT_TRUE(prefs.unitsPopup->isEnabled());
    EXPECT_TRUE(prefs.fontSizePopup->isEnabled());
    EXPECT_FALSE(prefs.iconSetPopup->isEnabled());
    EXPECT_FALSE(prefs.satSlider->isEnabled());
    EXPECT_FALSE(prefs.freqSlider->isEnabled());
    for (const auto& cell : prefs.checkboxMatrix->cells()) EXPECT_FALSE(cell->isEnabled());
    EXPECT_TRUE(toolbar->userClickItem("sources"));
    EXPECT_EQ(prefs.curView, prefs.sourceView);
}

TEST_F(SkyvanePrefsTest, SwitchingPanesResizesTheWindowWithItsTopEdgeKept) {
    SkyvanePrefs& prefs = open(true, "general");
    const Rect first = prefs.prefsWindow->frame();
    // 400 points of pane and two margins of 16.
    EXPECT_EQ(first.width(), 432);
    const double top = first.maxY();
    EXPECT_EQ(first.height(), 54 + 32 + prefs.generalView->frame().height());

    open(true, "sources");
    const Rect second = prefs.prefsWindow->frame();
    // The toolbar marks the pane shown.
    EXPECT_EQ(prefs.prefsWindow->toolbar()->selectedItemIdentifier(), "sources");
    EXPECT_EQ(prefs.box->contentView(), prefs.sourceView);
    EXPECT_EQ(second.maxY(), top);
    EXPECT_EQ(second.height(),
              first.height() - prefs.generalView->frame().height() + prefs.sourceView->frame().height());
    EXPECT_TRUE(prefs.prefsWindow->lastFrameChangeAnimated());

    // The pane already shown leaves the window as it is; an unknown one shows the general pane.
    open(true, "sources");
    EXPECT_EQ(prefs.prefsWindow->frame(), second);
    open(true, "nonsense");
    EXPECT_EQ(prefs.curView, prefs.generalView);
    EXPECT_EQ(prefs.prefsWindow->frame(), first);
}

TEST_F(SkyvanePrefsTest, ChangesArePushedOneByOneExceptTheFrequencyAndOKOrCancelSendTheWhole) {
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    SkyvanePrefs& prefs = open(true, "general", &menu.name);

    ASSERT_TRUE(prefs.checkboxMatrix->userClickCell(2, 1));
    EXPECT_EQ(menu.nextCall(), "setPreference_toValue s:barometer b:1");  // row 2, column 1
    EXPECT_EQ(prefs.prefs()->at("barometer"), plist::Value(true));

    // The saturation slider pushes a float and redraws the previews.
    ImageRef before = prefs.satImageView->image();
    ImageRef itemBefore = prefs.iconSetPopup->itemAtIndex(1)->image();
    ASSERT_TRUE(prefs.satSlider->userSlide(0.25));
    EXPECT_EQ(menu.nextCall(), "setPreference_toValue s:icon_saturation r:0.25");
    EXPECT_NE(prefs.satImageView->image(), before);
    EXPECT_NE(prefs.iconSetPopup->itemAtIndex(1)->image(), itemBefore);

    // The frequency slider only changes the minutes field.
    ASSERT_TRUE(prefs.freqSlider->userSlide(45.6));
    EXPECT_EQ(prefs.freqTF->intValue(), 45);
    EXPECT_EQ(prefs.prefs()->at("update_frequency").type(), plist::Value::Type::Real);

    ASSERT_TRUE(prefs.unitsPopup->userSelect(0));
    // The next call is the units: nothing was sent for the frequency.
    EXPECT_EQ(menu.nextCall(), "setPreference_toValue s:units i:0");

    // Cancel sends the opening dictionary whole and closes the window.
    prefs.cancelAction(nullptr);
    EXPECT_EQ(menu.nextCall(), "setPreferences " + describe(plist::Value(samplePrefs())));
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    EXPECT_FALSE(prefs.prefs());
    EXPECT_EQ(*setup.passedPrefs(), samplePrefs());
    EXPECT_TRUE(Application::shared().isTerminated());

    // OK sends the edited dictionary whole.
    open(true, "general", &menu.name);
    ASSERT_TRUE(prefs.freqSlider->userSlide(60));
    prefs.OKAction(nullptr);
    plist::Dict expected = samplePrefs();
    expected["update_frequency"] = 60.0;
    EXPECT_EQ(menu.nextCall(), "setPreferences " + describe(plist::Value(expected)));

    // A name nobody holds: the change stays here and is logged.
    const std::string gone = "com.tesk.SkyvaneGone";
    SkyvanePrefs& again = open(true, "general", &gone);
    CaptureStderr err;
    ASSERT_TRUE(again.fontSizePopup->userSelect(1));
    EXPECT_NE(err.text().find("Couldn't get vended Skyvane"), std::string::npos);
    EXPECT_EQ(again.prefs()->at("font_size"), plist::Value(1));
}

TEST_F(SkyvanePrefsTest, OKThatDoesNotReachSkyvaneKeepsTheWindowWithItsEditsAndSaysWhy) {
    const std::string gone = "com.tesk.SkyvaneGone";
    SkyvanePrefs& prefs = open(true, "sources", &gone);
    CaptureStderr err;
    ASSERT_TRUE(prefs.fontSizePopup->userSelect(1));
    ASSERT_TRUE(prefs.sourceSetup_->sourceTable->userDrag({0}, 3, DropOperation::Above));
    prefs.OKAction(nullptr);
    EXPECT_NE(err.text().find("Couldn't get vended Skyvane"), std::string::npos);

    // The window is back with every edit, and the program stays.
    EXPECT_TRUE(prefs.prefsWindow->isVisible());
    ASSERT_TRUE(prefs.prefs());
    EXPECT_EQ(prefs.prefs()->at("font_size"), plist::Value(1));
    EXPECT_EQ(prefs.sourceSetup_->sources(), (std::vector<int>{5, 6, 1, 3}));
    EXPECT_EQ(prefs.fontSizePopup->indexOfSelectedItem(), 1);
    EXPECT_FALSE(Application::shared().isTerminated());

    ASSERT_EQ(Application::shared().alerts().size(), 1u);
    const AlertRef alert = Application::shared().alerts().back();
    EXPECT_TRUE(alert->isShowing());
    EXPECT_EQ(alert->parentWindow(), prefs.prefsWindow.get());
    EXPECT_EQ(alert->messageText(), "Skyvane did not receive your changes");
    EXPECT_EQ(alert->informativeText(),
              "Skyvane isn't running, so your changes could not be applied. Start Skyvane and try again.");
    ASSERT_TRUE(alert->userPressButton(kAlertDefaultReturn));
    EXPECT_TRUE(prefs.prefsWindow->isVisible());
    EXPECT_FALSE(Application::shared().isTerminated());

    // A menu program that refuses the preferences: its reason is shown and
    // the window stays; once the value is mended OK closes it.
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    openRefused(menu, "general");
    prefs.OKAction(nullptr);
    EXPECT_TRUE(prefs.prefsWindow->isVisible());
    ASSERT_FALSE(prefs.lastSave().delivered());
    EXPECT_EQ(prefs.lastSave().outcome, Delivery::Outcome::Refused);
    const AlertRef refusal = Application::shared().alerts().back();
    EXPECT_EQ(refusal->informativeText(), "units: 7 is not from 0 to 2");
    ASSERT_TRUE(refusal->userPressButton(kAlertDefaultReturn));

    ASSERT_TRUE(prefs.unitsPopup->userSelect(0));
    EXPECT_EQ(menu.nextCall(), "setPreference_toValue s:units i:0");
    prefs.OKAction(nullptr);
    EXPECT_EQ(menu.nextCall().rfind("setPreferences {", 0), 0u);
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    EXPECT_FALSE(prefs.prefs());
    EXPECT_TRUE(Application::shared().isTerminated());
}

TEST_F(SkyvanePrefsTest, CancelClosesTheWindowWhateverBecameOfTheOpeningValues) {
    // The menu program is not running: nothing to undo there. The window
    // closes with its edits, the log says so, and the program quits.
    const std::string gone = "com.tesk.SkyvaneGone";
    SkyvanePrefs& prefs = open(true, "sources", &gone);
    CaptureStderr err;
    ASSERT_TRUE(prefs.fontSizePopup->userSelect(1));
    ASSERT_TRUE(prefs.sourceSetup_->sourceTable->userDrag({0}, 3, DropOperation::Above));
    prefs.cancelAction(nullptr);
    const std::string log = err.text();
    EXPECT_NE(log.find("Couldn't get vended Skyvane"), std::string::npos);
    EXPECT_NE(log.find("Skyvane isn't running: Preferences closed without sending back the values it opened with"),
              std::string::npos);
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    EXPECT_FALSE(prefs.prefs());
    EXPECT_TRUE(Application::shared().alerts().empty());
    EXPECT_EQ(*setup.passedPrefs(), samplePrefs()) << "the dictionary holds the opening values";
    EXPECT_TRUE(Application::shared().isTerminated());

    // The same through the window's close, after an OK that did not arrive
    // (its alert dismissed): the window that came back closes too.
    Application::shared().reset();
    open(true, "general", &gone);
    ASSERT_TRUE(prefs.unitsPopup->userSelect(0));
    prefs.OKAction(nullptr);
    ASSERT_TRUE(prefs.prefsWindow->isVisible());
    ASSERT_TRUE(Application::shared().alerts().back()->userPressButton(kAlertDefaultReturn));
    EXPECT_TRUE(prefs.prefsWindow->performClose());
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    EXPECT_FALSE(prefs.prefs());
    EXPECT_TRUE(Application::shared().isTerminated());

    // A running menu program that refuses them: its reason stands on its
    // own, the window closes, and the program quits once it is dismissed.
    Application::shared().reset();
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    openRefused(menu, "general");
    ASSERT_TRUE(prefs.fontSizePopup->userSelect(1));
    EXPECT_EQ(menu.nextCall(), "setPreference_toValue s:font_size i:1");
    prefs.cancelAction(nullptr);
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    EXPECT_FALSE(prefs.prefs());
    ASSERT_EQ(Application::shared().alerts().size(), 1u);
    const AlertRef refusal = Application::shared().alerts().back();
    EXPECT_TRUE(refusal->isShowing());
    EXPECT_EQ(refusal->parentWindow(), nullptr);
    EXPECT_EQ(refusal->messageText(), "Skyvane did not receive your changes");
    EXPECT_EQ(refusal->informativeText(), "units: 7 is not from 0 to 2");
    EXPECT_FALSE(Application::shared().isTerminated());
    ASSERT_TRUE(refusal->userPressButton(kAlertDefaultReturn));
    EXPECT_TRUE(Application::shared().isTerminated());
}

TEST_F(SkyvanePrefsTest, ANewCityAndTheWindowTellARefusalTheSameWay) {
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    SkyvanePrefs& prefs = openRefused(menu, "newloc");
    Location city;
    city.name = "Denver, CO";
    CaptureStderr err;
    ASSERT_TRUE(prefs.locManSetup_->setCurrentLocationTo(&city, 0));
    EXPECT_NE(err.text().find("The new city Denver, CO could not be sent to Skyvane"), std::string::npos);
    ASSERT_EQ(Application::shared().alerts().size(), 1u);
    const AlertRef alert = Application::shared().alerts().back();
    EXPECT_EQ(alert->messageText(), "Skyvane did not receive the new city");
    EXPECT_EQ(alert->informativeText(), "units: 7 is not from 0 to 2");
}

TEST_F(SkyvanePrefsTest, TheNewLocationPaneShowsOnlyTheNewLocationWindow) {
    SkyvanePrefs& prefs = open(true, "newloc");
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    ASSERT_TRUE(prefs.prefs());
    const WindowRef& window = prefs.locManSetup_->newLocationWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isSheet());
    EXPECT_EQ(window->title(), "Skyvane: New Location");
    // Left of the preference window, top edges level.
    EXPECT_EQ(window->frame().maxX(), prefs.prefsWindowFrame().x());
    EXPECT_EQ(window->frame().maxY(), prefs.prefsWindowFrame().maxY());
    EXPECT_EQ(prefs.curView, nullptr);

    // Closing it is the end of the application.
    prefs.locManSetup_->closeNewLocAction(nullptr);
    EXPECT_FALSE(prefs.locManSetup_->newLocationWindow());
    EXPECT_TRUE(Application::shared().isTerminated());

    // With the locations pane left current in the closed preference window,
    // the New Location window still opens on its own, not on a hidden window.
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    open(true, "locations", &menu.name);
    prefs.OKAction(nullptr);
    ASSERT_FALSE(prefs.prefsWindow->isVisible());
    open(true, "newloc");
    ASSERT_TRUE(prefs.managePaneOpen());
    ASSERT_TRUE(prefs.locManSetup_->newLocationWindow());
    EXPECT_FALSE(prefs.locManSetup_->newLocationWindow()->isSheet());
    EXPECT_TRUE(prefs.locManSetup_->newLocationWindow()->isVisible());
}

TEST_F(SkyvanePrefsTest, WithoutItsUserInterfaceFileNothingIsShown) {
    unregisterUIFile("Prefs");
    CaptureStderr err;
    setup.runPreferences(samplePrefs(), true, nullptr, "general", false);
    EXPECT_NE(err.text().find("PROBLEM!  Couldn't load SkyvanePrefs's nib!"), std::string::npos);
    EXPECT_FALSE(setup.prefControl()->hasControlMap());
    EXPECT_TRUE(Application::shared().windows().empty());
    registerPrefsUIFile();
}
