#pragma once
// A preference window in which each control edits one preference key. It
// holds the dictionary being edited (the caller's own, changed in place) and
// a copy of it as it was when the window opened; it loads the mapped
// controls from the dictionary, stores a control's new value when it
// changes, and implements OK (keep and save) and Cancel (restore the opening
// values, save those and close, whatever became of them). Subclasses map the
// controls, provide the window and decide how saving reaches the owner of
// the preferences.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Geometry.h"
#include "platform/ui/Controls.h"
#include "platform/ui/UIFile.h"
#include "platform/ui/Window.h"
#include "util/plist/Value.h"

class ComTeskAppControl;

using PrefsRef = std::shared_ptr<plist::Dict>;

class ComTeskPrefsControl : public UIOwner {
public:
    explicit ComTeskPrefsControl(ComTeskAppControl* app);
    ~ComTeskPrefsControl() override;
    ComTeskPrefsControl(const ComTeskPrefsControl&) = delete;
    ComTeskPrefsControl& operator=(const ComTeskPrefsControl&) = delete;

    // The dictionary being edited; null while the window is closed.
    const PrefsRef& prefs() const { return curPrefs_; }
    // The opening values; nothing while the window is closed.
    const std::optional<plist::Dict>& initialPrefs() const { return initialPrefsCopy_; }
    Rect prefsWindowFrame() const;
    // The edited value of key; an absent value when the key or the window is absent.
    const plist::Value& pref(const std::string& key) const;

    // Opens the window on prefs (shown or only held).
    void runPreferences(const PrefsRef& prefs, bool show);
    // Sends the dictionary to the owner of the preferences.
    virtual void savePreferences();
    // Whether the last savePreferences reached the owner. When it did not,
    // OK leaves the window open with the values it shows and
    // saveNotDelivered tells the user. Cancel closes the window all the same
    // (there is nothing to keep) after cancelNotDelivered has told what
    // became of the opening values.
    virtual bool lastSaveDelivered() const { return true; }
    virtual void saveNotDelivered() {}
    virtual void cancelNotDelivered() {}
    // Loads every mapped control from the dictionary.
    virtual void setupWidgets();
    // Stores the control's value and returns the key it changed (nothing when
    // the control is not mapped and no cell of it changed).
    std::optional<std::string> updatePrefForChangedWidget(Control& control);

    void OKAction(Control* sender);
    void cancelAction(Control* sender);

    // Maps a control, or a cell of a matrix, to the key it edits.
    void mapControl(const std::shared_ptr<Control>& control, const std::string& key);
    void mapCell(const std::shared_ptr<Cell>& cell, const std::string& key);
    // The key of a mapped control or cell; nothing when it is not mapped.
    std::optional<std::string> keyFor(const void* controlOrCell) const;
    // The mapped controls, in the order they were mapped.
    std::vector<std::shared_ptr<Control>> mappedControls() const;
    bool hasControlMap() const { return !outletToPrefKey_.empty(); }

    // Connected by the subclass's user-interface file.
    WindowRef prefsWindow;

protected:
    ComTeskAppControl* appRef() const { return appRef_; }

private:
    struct Mapped {
        std::shared_ptr<Control> control;  // or
        std::shared_ptr<Cell> cell;
        std::string key;
        const void* address() const { return control ? static_cast<const void*>(control.get()) : cell.get(); }
    };
    void loadWidget(const Mapped& entry);
    // After a save: closes the window, or brings it back when the save did not arrive.
    void closeWindowIfSaved();
    void closeWindow();

    std::optional<plist::Dict> initialPrefsCopy_;
    PrefsRef curPrefs_;
    std::vector<Mapped> outletToPrefKey_;
    ComTeskAppControl* appRef_;
};
