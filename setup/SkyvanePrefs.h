#pragma once
// The setup application's preference window: a toolbar of three panes
// (general settings, locations, weather sources) shown one at a time in a
// box, with OK and Cancel. Every change of a control is sent at once to the
// menu program as one key and value (the update frequency excepted); OK and
// Cancel send the whole dictionary. In free mode only the units and the font
// size can be changed.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Image.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/View.h"
#include "setup/ComTeskPrefsControl.h"
#include "setup/SkyvaneDelivery.h"

class ComTeskPlimSetup;
class LocationManagerSetup;
class SourceSetup;

class SkyvanePrefs : public ComTeskPrefsControl, public ToolbarDelegate {
public:
    // Loads the "Prefs" user-interface file with this object as its owner.
    explicit SkyvanePrefs(ComTeskPlimSetup* setup);
    ~SkyvanePrefs() override;

    // Builds the toolbar; the user-interface file calls it once it is loaded.
    void awakeFromNib();

    // The setup object's request: enables the controls for the mode, shows
    // the pane (or, for "newloc", only the New Location window).
    void runPreferences(const PrefsRef& prefs, bool advanced, const std::string& pane, bool firstRun);
    void setupWidgets() override;
    void widgetChanged(Control& sender);
    void savePreferences() override;
    // What became of the last savePreferences.
    const Delivery& lastSave() const { return lastSave_; }
    bool lastSaveDelivered() const override { return lastSave_.delivered(); }
    // The window is on screen again after its save did not arrive: an alert
    // says why.
    void saveNotDelivered() override;
    // Cancel's opening values did not arrive and the window closes: the log
    // says so when the menu program is not running; an alert of its own
    // gives the menu program's reason when it refused them.
    void cancelNotDelivered() override;
    // Sends one preference to the menu program.
    Delivery pushValue(const std::string& key, const plist::Value& value);
    void showPane(ToolbarItem* item);
    void resizeWindowForView(const View& view);
    bool managePaneOpen() const { return curView && curView == locView; }
    ComTeskPlimSetup* setup() const { return setupRef_; }
    const std::vector<ImageRef>& iconImages() const { return iconImages_; }
    ToolbarItemRef toolbarItem(const std::string& pane) const;

    // ToolbarDelegate.
    ToolbarItemRef itemForItemIdentifier(Toolbar& toolbar, const std::string& identifier,
                                         bool willBeInserted) override;
    std::vector<std::string> defaultItemIdentifiers(Toolbar& toolbar) override;

    // Connected by the "Prefs" user-interface file.
    ViewRef generalView, locView, sourceView;
    ViewRef curView;
    std::shared_ptr<Box> box;
    std::shared_ptr<Matrix> checkboxMatrix;
    std::shared_ptr<PopUpButton> iconSetPopup, fontSizePopup, unitsPopup;
    std::shared_ptr<Slider> freqSlider, satSlider;
    std::shared_ptr<TextField> freqTF;
    std::shared_ptr<ImageView> satImageView;
    std::shared_ptr<LocationManagerSetup> locManSetup_;
    std::shared_ptr<SourceSetup> sourceSetup_;

private:
    void updatePreviews();
    void push(const std::string& key);

    ComTeskPlimSetup* setupRef_;
    std::vector<ImageRef> iconImages_;
    std::map<std::string, ToolbarItemRef> toolbarItems_;
    Delivery lastSave_;
};

// Registers the "Prefs" user-interface file (done once, before the first load).
void registerPrefsUIFile();
