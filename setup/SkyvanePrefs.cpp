#include "setup/SkyvanePrefs.h"

#include <iostream>

#include "model/PreferenceKeys.h"
#include "platform/Bundle.h"
#include "platform/ui/UIFile.h"
#include "setup/ComTeskPlimSetup.h"
#include "setup/LocationManagerSetup.h"
#include "setup/SourceSetup.h"

namespace {

// The detail rows of the check-box matrix, by row and column.
const char* const kDetailKeys[3][3] = {
    {kFiveDayForecast, kHumidity, kVisibility},
    {kFeelsLike, kWind, kSunriseSunset},
    {kRadar, kBarometer, kDewpoint},
};

struct PaneItem {
    const char* identifier;
    const char* label;
    const char* toolTip;
    const char* image;
};
const PaneItem kPaneItems[] = {
    {kPrefpaneGeneral, "General", "General Skyvane Preferences", "setup-general.png"},
    {kPrefpaneLocations, "Locations", "Skyvane Location Preferences", "setup-locations.png"},
    {kPrefpaneSources, "Sources", "Skyvane Source Preferences", "setup-sources.png"},
};

ImageRef bundleImage(Bundle& bundle, const std::string& name, const std::string& type) {
    std::string path = bundle.pathForResource(name, type, "");
    return path.empty() ? nullptr : Image::load(path);
}

}  // namespace

SkyvanePrefs::SkyvanePrefs(ComTeskPlimSetup* setup) : ComTeskPrefsControl(setup), setupRef_(setup) {
    Bundle& bundle = setup->bundle();
    iconImages_ = {bundleImage(bundle, "sunny-classic", "tif"), bundleImage(bundle, "sunny-sky", "tiff")};

    // One user-interface file serves every system this runs on.
    if (!loadUIFile("Prefs", *this) || !prefsWindow) {
        std::cerr << "PROBLEM!  Couldn't load SkyvanePrefs's nib!" << std::endl;
        return;
    }
    mapControl(unitsPopup, kUnits);
    mapControl(iconSetPopup, kIconSet);
    mapControl(fontSizePopup, kTempFontSize);
    if (checkboxMatrix) {
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                mapCell(checkboxMatrix->cellAtRow(row, column), kDetailKeys[row][column]);
    }
    mapControl(satSlider, kIconSaturation);
    mapControl(freqSlider, kUpdateFrequency);
}

SkyvanePrefs::~SkyvanePrefs() {
    // The toolbar outlives nothing of ours that it could call.
    if (prefsWindow && prefsWindow->toolbar()) prefsWindow->toolbar()->setDelegate(nullptr);
}

void SkyvanePrefs::awakeFromNib() {
    Bundle& bundle = setupRef_->bundle();
    for (const PaneItem& pane : kPaneItems) {
        auto item = std::make_shared<ToolbarItem>(pane.identifier);
        item->setLabel(pane.label);
        item->setPaletteLabel(pane.label);
        item->setToolTip(pane.toolTip);
        item->setImage(bundleImage(bundle, pane.image, ""));
        item->setTarget(this);
        item->setAction("showPane:", [this](ToolbarItem& sender) { showPane(&sender); });
        toolbarItems_[pane.identifier] = item;
    }
    auto toolbar = std::make_shared<Toolbar>("myToolbar");
    toolbar->setDelegate(this);
    toolbar->setAllowsUserCustomization(false);
    toolbar->setAutosavesConfiguration(false);
    if (prefsWindow) {
        prefsWindow->setToolbar(toolbar);
        // Closing from the desktop is Cancel, as for a dialog.
        prefsWindow->setCloseRequestHandler([this](Window&) { cancelAction(nullptr); });
    }

    curView = nullptr;
    if (box) box->setContentViewMargins({16, 16});
    if (locManSetup_) locManSetup_->setSetup(setupRef_);
}

ToolbarItemRef SkyvanePrefs::toolbarItem(const std::string& pane) const {
    auto it = toolbarItems_.find(pane);
    return it == toolbarItems_.end() ? nullptr : it->second;
}

ToolbarItemRef SkyvanePrefs::itemForItemIdentifier(Toolbar&, const std::string& identifier, bool) {
    return toolbarItem(identifier);
}

std::vector<std::string> SkyvanePrefs::defaultItemIdentifiers(Toolbar&) {
    return {kPrefpaneGeneral, kPrefpaneLocations, kPrefpaneSources};
}

void SkyvanePrefs::runPreferences(const PrefsRef& prefs, bool advanced, const std::string& pane, bool) {
    // Free mode: only the units and the font size can be changed.
    for (const auto& control : mappedControls()) {
        std::optional<std::string> key = keyFor(control.get());
        control->setEnabled(advanced || *key == kUnits || *key == kTempFontSize);
    }
    if (checkboxMatrix)
        for (const auto& cell : checkboxMatrix->cells()) cell->setEnabled(advanced);

    const bool newLocationOnly = pane == kPrefpaneNewLoc;
    if (newLocationOnly) {
        ComTeskPrefsControl::runPreferences(prefs, false);
    } else {
        showPane(toolbarItem(pane).get());
        ComTeskPrefsControl::runPreferences(prefs, true);
    }
    if (locManSetup_) locManSetup_->initWithPreferences(prefs);
    if (sourceSetup_) sourceSetup_->initWithPreferences(prefs);
    if (newLocationOnly && locManSetup_) locManSetup_->newManageAction(nullptr);
}

void SkyvanePrefs::setupWidgets() {
    ComTeskPrefsControl::setupWidgets();
    if (!prefs()) return;
    updatePreviews();
    if (freqTF) freqTF->setIntValue(static_cast<int>(pref(kUpdateFrequency).asInt()));
}

void SkyvanePrefs::updatePreviews() {
    const int64_t set = pref(kIconSet).asInt();
    const auto saturation = static_cast<float>(pref(kIconSaturation).asReal());
    // Only the two styles have a preview; another value shows none.
    const bool known = set >= 0 && set < static_cast<int64_t>(iconImages_.size()) && iconImages_[set];
    if (satImageView) satImageView->setImage(known ? iconImages_[set]->imageWithSaturation(saturation) : nullptr);
    if (!iconSetPopup) return;
    for (size_t i = 0; i < iconImages_.size() && static_cast<int>(i) < iconSetPopup->numberOfItems(); ++i) {
        if (iconImages_[i])
            iconSetPopup->itemAtIndex(static_cast<int>(i))->setImage(iconImages_[i]->imageWithSaturation(saturation));
    }
}

void SkyvanePrefs::widgetChanged(Control& sender) {
    std::optional<std::string> key = updatePrefForChangedWidget(sender);
    if (!key) return;
    if (*key == kIconSaturation || *key == kIconSet) {
        updatePreviews();
    } else if (*key == kUpdateFrequency) {
        // The frequency travels only with the whole dictionary.
        if (freqTF) freqTF->setIntValue(static_cast<int>(pref(kUpdateFrequency).asInt()));
        return;
    }
    push(*key);
}

void SkyvanePrefs::push(const std::string& key) { pushValue(key, pref(key)); }

Delivery SkyvanePrefs::pushValue(const std::string& key, const plist::Value& value) {
    return setupRef_->callSkyvane("setPreference_toValue", {key, value});
}

void SkyvanePrefs::savePreferences() {
    lastSave_ = {};
    if (!prefs()) return;
    lastSave_ = setupRef_->callSkyvane("setPreferences", {plist::Value(*prefs())});
}

namespace {
const char kNotReceivedTitle[] = "Skyvane did not receive your changes";
const char kNotRunningText[] =
    "Skyvane isn't running, so your changes could not be applied. Start Skyvane and try again.";
}  // namespace

void SkyvanePrefs::saveNotDelivered() {
    alertNotDelivered(lastSave_, kNotReceivedTitle, kNotRunningText, prefsWindow.get());
}

void SkyvanePrefs::cancelNotDelivered() {
    if (lastSave_.outcome != Delivery::Outcome::Refused) {
        std::cerr << "Skyvane isn't running: Preferences closed without sending back the values it opened with"
                  << std::endl;
        return;
    }
    // The window is going, so the alert stands on its own; the program
    // quits once it is dismissed and nothing else is open.
    ComTeskPlimSetup* setup = setupRef_;
    alertNotDelivered(lastSave_, kNotReceivedTitle, kNotRunningText, nullptr, [setup] { setup->windowClosed(); });
}

void SkyvanePrefs::showPane(ToolbarItem* item) {
    if (item) item->setEnabled(true);
    // Any other item (or none) shows the general pane.
    const std::string asked = item ? item->itemIdentifier() : "";
    const std::string shown = asked == kPrefpaneLocations || asked == kPrefpaneSources ? asked : kPrefpaneGeneral;
    ViewRef pane = shown == kPrefpaneLocations ? locView : shown == kPrefpaneSources ? sourceView : generalView;
    if (!pane || !box || pane == curView) return;
    if (prefsWindow && prefsWindow->toolbar()) prefsWindow->toolbar()->setSelectedItemIdentifier(shown);
    resizeWindowForView(*pane);
    pane->setFrameOrigin({0, 0});
    box->setContentView(pane);
    curView = pane;
    box->sizeToFit();
    box->setNeedsDisplay();
}

void SkyvanePrefs::resizeWindowForView(const View& view) {
    Window* window = box ? box->window() : nullptr;
    if (!window) return;
    Rect frame = window->frame();
    const Size margins = box->contentViewMargins();
    const double top = frame.y() + frame.height();
    const double rest = curView ? frame.height() - curView->frame().height() : frame.height() + 2 * margins.height;
    frame.size.width = view.frame().width() + 2 * margins.width;
    frame.size.height = rest + view.frame().height();
    frame.origin.y = top - frame.height();
    // The content view follows the frame; the box stretches with it.
    window->setFrame(frame, true, true);
}
