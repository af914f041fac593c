#include "SetupFixture.h"
#include "support/CaptureStream.h"

namespace {

// A preference window of three controls and a matrix, with a record of saves.
class TestPrefs : public ComTeskPrefsControl {
public:
    explicit TestPrefs(ComTeskAppControl* app) : ComTeskPrefsControl(app) {
        prefsWindow = Window::create({0, 0, 200, 200}, "Test");
        popup->addItemWithTitle("Zero")->setTag(0);
        popup->addItemWithTitle("Five")->setTag(5);
        popup->addItemWithTitle("Seven")->setTag(7);
        check->setAllowsMixedState(true);
        matrix->cellAtRow(0, 0)->setAllowsMixedState(true);
        mapControl(popup, "choice");
        mapControl(slider, "minutes");
        mapControl(check, "flag");
        mapCell(matrix->cellAtRow(0, 0), "first");
        mapCell(matrix->cellAtRow(0, 1), "second");
    }
    void savePreferences() override { saved.push_back(prefs() ? *prefs() : plist::Dict{}); }
    bool lastSaveDelivered() const override { return delivered; }
    void saveNotDelivered() override { ++okNotDelivered; }
    void cancelNotDelivered() override { ++cancelsNotDelivered; }

    bool delivered = true;
    int okNotDelivered = 0, cancelsNotDelivered = 0;

    std::shared_ptr<PopUpButton> popup = std::make_shared<PopUpButton>();
    std::shared_ptr<Slider> slider = std::make_shared<Slider>(Rect{}, 0, 120);
    std::shared_ptr<Button> check = std::make_shared<Button>(Rect{}, ButtonType::Switch);
    std::shared_ptr<Matrix> matrix = std::make_shared<Matrix>(Rect{}, 1, 2);
    std::vector<plist::Dict> saved;
};

class PrefsControlTest : public SetupTest {
protected:
    ComTeskPlimSetup app;
    TestPrefs prefs{&app};
};

}  // namespace

TEST_F(PrefsControlTest, ControlsAreLoadedFromTheDictionaryAndAbsentKeysReadAsZero) {
    prefs.popup->selectItemAtIndex(2);
    auto dict = std::make_shared<plist::Dict>(plist::Dict{{"choice", 5}, {"minutes", 30}, {"flag", true}});
    prefs.runPreferences(dict, true);
    EXPECT_TRUE(prefs.prefsWindow->isVisible());
    EXPECT_EQ(prefs.popup->titleOfSelectedItem(), "Five");
    EXPECT_DOUBLE_EQ(prefs.slider->floatValue(), 30);
    EXPECT_EQ(prefs.check->state(), kOnState);

    // A value no item carries keeps the selection; absent keys read as 0 and off.
    auto other = std::make_shared<plist::Dict>(plist::Dict{{"choice", 3}, {"first", true}});
    prefs.runPreferences(other, false);
    EXPECT_EQ(prefs.popup->titleOfSelectedItem(), "Five");
    EXPECT_DOUBLE_EQ(prefs.slider->floatValue(), 0);
    EXPECT_EQ(prefs.check->state(), kOffState);
    EXPECT_EQ(prefs.matrix->cellAtRow(0, 0)->state(), kOnState);
    EXPECT_EQ(prefs.matrix->cellAtRow(0, 1)->state(), kOffState);
    // Nothing is written until a control changes.
    EXPECT_EQ(*other, (plist::Dict{{"choice", 3}, {"first", true}}));
    prefs.runPreferences(std::make_shared<plist::Dict>(), false);
    EXPECT_EQ(prefs.popup->titleOfSelectedItem(), "Zero");
}

TEST_F(PrefsControlTest, ChangedControlsStoreValuesOfTheirKind) {
    auto dict = std::make_shared<plist::Dict>(plist::Dict{{"minutes", 30}});
    prefs.runPreferences(dict, false);
    prefs.popup->selectItemAtIndex(2);
    EXPECT_EQ(prefs.updatePrefForChangedWidget(*prefs.popup), "choice");
    EXPECT_EQ(describe(dict->at("choice")), "i:7");
    // Minutes from a slider are stored as a floating-point number.
    prefs.slider->setFloatValue(45);
    EXPECT_EQ(prefs.updatePrefForChangedWidget(*prefs.slider), "minutes");
    EXPECT_EQ(describe(dict->at("minutes")), "r:45");
    // A plain check box in the mixed state counts as on.
    prefs.check->setState(kMixedState);
    EXPECT_EQ(prefs.updatePrefForChangedWidget(*prefs.check), "flag");
    EXPECT_EQ(describe(dict->at("flag")), "b:1");

    // Two cells changed before one call: the lower one first, then the other.
    prefs.matrix->cellAtRow(0, 0)->setState(kOnState);
    prefs.matrix->cellAtRow(0, 1)->setState(kOnState);
    EXPECT_EQ(prefs.updatePrefForChangedWidget(*prefs.matrix), "first");
    EXPECT_EQ(prefs.updatePrefForChangedWidget(*prefs.matrix), "second");
    EXPECT_EQ(prefs.updatePrefForChangedWidget(*prefs.matrix), std::nullopt);
    // A matrix cell in the mixed state stores NO.
    prefs.matrix->cellAtRow(0, 0)->setState(kMixedState);
    EXPECT_EQ(prefs.updatePrefForChangedWidget(*prefs.matrix), "first");
    EXPECT_EQ(dict->at("first"), plist::Value(false));

    // An unmapped control changes nothing; a mapped one of another kind is logged.
    Slider stray;
    EXPECT_EQ(prefs.updatePrefForChangedWidget(stray), std::nullopt);
    auto field = std::make_shared<TextField>();
    prefs.mapControl(field, "text");
    CaptureStderr err;
    EXPECT_EQ(prefs.updatePrefForChangedWidget(*field), "text");
    prefs.setupWidgets();
    const std::string log = err.text();
    for (const char* step : {"widgetChanged", "setupWidgets"})
        EXPECT_NE(log.find(std::string("PrefsControl: ") + step +
                                  " not implemented for pref text widget of class TextField"),
                  std::string::npos);
    EXPECT_FALSE(dict->count("text"));
}

TEST_F(PrefsControlTest, CancelPutsTheOpeningValuesBackInTheSameDictionary) {
    auto dict = std::make_shared<plist::Dict>(plist::Dict{{"choice", 5}, {"list", plist::Array{1, 2}}});
    prefs.runPreferences(dict, true);
    prefs.popup->selectItemAtIndex(0);
    prefs.updatePrefForChangedWidget(*prefs.popup);
    // The window edits the caller's dictionary itself.
    EXPECT_EQ(dict->at("choice").asInt(), 0);
    (*dict)["list"].array().push_back(3);
    (*dict)["added"] = "x";
    prefs.cancelAction(nullptr);
    EXPECT_EQ(*dict, (plist::Dict{{"choice", 5}, {"list", plist::Array{1, 2}}}));
    ASSERT_EQ(prefs.saved.size(), 1u);
    EXPECT_EQ(prefs.saved[0], *dict);
    EXPECT_FALSE(prefs.prefs());
    EXPECT_FALSE(prefs.initialPrefs());
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    // That was the last window: the application ends.
    EXPECT_TRUE(Application::shared().isTerminated());

    // The base class saves nothing and says so.
    ComTeskPrefsControl plain(&app);
    CaptureStderr err;
    plain.savePreferences();
    EXPECT_NE(err.text().find("savePreferences not implemented for ComTeskPrefsControl. Subclass must implement."),
              std::string::npos);
}

TEST_F(PrefsControlTest, ASaveThatDoesNotArriveKeepsTheWindowForOKButNotForCancel) {
    auto dict = std::make_shared<plist::Dict>(plist::Dict{{"choice", 5}});
    prefs.delivered = false;
    prefs.runPreferences(dict, true);
    prefs.popup->selectItemAtIndex(0);
    prefs.updatePrefForChangedWidget(*prefs.popup);

    // OK: the window comes back with the edit, and the subclass says why.
    prefs.OKAction(nullptr);
    EXPECT_TRUE(prefs.prefsWindow->isVisible());
    EXPECT_EQ(prefs.prefs(), dict);
    EXPECT_EQ(dict->at("choice").asInt(), 0);
    EXPECT_EQ(prefs.okNotDelivered, 1);
    EXPECT_FALSE(Application::shared().isTerminated());

    // Cancel: the opening values were tried once, and the window closes.
    prefs.cancelAction(nullptr);
    ASSERT_EQ(prefs.saved.size(), 2u);
    EXPECT_EQ(prefs.saved[1], (plist::Dict{{"choice", 5}}));
    EXPECT_EQ(prefs.cancelsNotDelivered, 1);
    EXPECT_EQ(prefs.okNotDelivered, 1);
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    EXPECT_FALSE(prefs.prefs());
    EXPECT_TRUE(Application::shared().isTerminated());
}
