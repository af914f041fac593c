#include "setup/ComTeskPrefsControl.h"

#include <cxxabi.h>

#include <cstdlib>
#include <iostream>
#include <typeinfo>

#include "app/ComTeskAppControl.h"

namespace {

std::string className(const void* object, const std::type_info& type) {
    if (!object) return "nil";
    int status = 0;
    char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string result = (status == 0 && name) ? name : type.name();
    std::free(name);
    return result;
}

}  // namespace

ComTeskPrefsControl::ComTeskPrefsControl(ComTeskAppControl* app) : appRef_(app) {}

ComTeskPrefsControl::~ComTeskPrefsControl() = default;

Rect ComTeskPrefsControl::prefsWindowFrame() const { return prefsWindow ? prefsWindow->frame() : Rect{}; }

const plist::Value& ComTeskPrefsControl::pref(const std::string& key) const {
    static const plist::Value none;
    if (!curPrefs_) return none;
    auto it = curPrefs_->find(key);
    return it == curPrefs_->end() ? none : it->second;
}

void ComTeskPrefsControl::mapControl(const std::shared_ptr<Control>& control, const std::string& key) {
    if (control) outletToPrefKey_.push_back({control, nullptr, key});
}

void ComTeskPrefsControl::mapCell(const std::shared_ptr<Cell>& cell, const std::string& key) {
    if (cell) outletToPrefKey_.push_back({nullptr, cell, key});
}

std::optional<std::string> ComTeskPrefsControl::keyFor(const void* controlOrCell) const {
    for (const Mapped& entry : outletToPrefKey_)
        if (entry.address() == controlOrCell) return entry.key;
    return std::nullopt;
}

std::vector<std::shared_ptr<Control>> ComTeskPrefsControl::mappedControls() const {
    std::vector<std::shared_ptr<Control>> controls;
    for (const Mapped& entry : outletToPrefKey_)
        if (entry.control) controls.push_back(entry.control);
    return controls;
}

void ComTeskPrefsControl::runPreferences(const PrefsRef& prefs, bool show) {
    if (!prefs) return;
    initialPrefsCopy_ = *prefs;
    curPrefs_ = prefs;
    setupWidgets();
    if (show && prefsWindow) {
        Application::shared().activateIgnoringOtherApps(true);
        prefsWindow->makeKeyAndOrderFront();
    }
}

void ComTeskPrefsControl::savePreferences() {
    std::cerr << "savePreferences not implemented for ComTeskPrefsControl. Subclass must implement." << std::endl;
}

void ComTeskPrefsControl::setupWidgets() {
    if (!curPrefs_) return;
    for (const Mapped& entry : outletToPrefKey_) loadWidget(entry);
}

void ComTeskPrefsControl::loadWidget(const Mapped& entry) {
    const plist::Value& value = pref(entry.key);
    if (entry.cell) {
        // A cell of a matrix shows its value as a check box does.
        entry.cell->setState(value.asBool() ? kOnState : kOffState);
        return;
    }
    Control* control = entry.control.get();
    // A pop-up button is a kind of button: it is told apart first.
    if (auto* popup = dynamic_cast<PopUpButton*>(control)) {
        const int64_t wanted = value.asInt();
        for (int i = 0; i < popup->numberOfItems(); ++i) {
            if (popup->itemAtIndex(i)->tag() == wanted) {
                popup->selectItemAtIndex(i);
                break;
            }
        }
    } else if (auto* slider = dynamic_cast<Slider*>(control)) {
        slider->setFloatValue(static_cast<float>(value.asReal()));
    } else if (auto* button = dynamic_cast<Button*>(control)) {
        button->setState(value.asBool() ? kOnState : kOffState);
    } else {
        std::cerr << "PrefsControl: setupWidgets not implemented for pref " << entry.key << " widget of class "
                  << className(control, typeid(*control)) << std::endl;
    }
}

std::optional<std::string> ComTeskPrefsControl::updatePrefForChangedWidget(Control& control) {
    if (!curPrefs_) return std::nullopt;
    plist::Dict& prefs = *curPrefs_;
    for (const Mapped& entry : outletToPrefKey_) {
        if (entry.control.get() != &control) continue;
        if (auto* popup = dynamic_cast<PopUpButton*>(&control)) {
            MenuItemRef item = popup->selectedItem();
            prefs[entry.key] = plist::Value(item ? item->tag() : 0);
        } else if (auto* button = dynamic_cast<Button*>(&control)) {
            prefs[entry.key] = plist::Value(button->state() != kOffState);
        } else if (auto* slider = dynamic_cast<Slider*>(&control)) {
            prefs[entry.key] = plist::Value(static_cast<double>(static_cast<float>(slider->floatValue())));
        } else {
            std::cerr << "PrefsControl: widgetChanged not implemented for pref " << entry.key << " widget of class "
                      << className(&control, typeid(control)) << std::endl;
        }
        return entry.key;
    }
    // A matrix whose cells are mapped one by one: the first cell whose value
    // differs from the stored one is the one that changed.
    if (auto* matrix = dynamic_cast<Matrix*>(&control)) {
        for (const auto& cell : matrix->cells()) {
            std::optional<std::string> key = keyFor(cell.get());
            if (!key) continue;
            plist::Value now(cell->state() == kOnState);
            auto old = prefs.find(*key);
            if (old == prefs.end() || !(old->second == now)) {
                prefs[*key] = now;
                return key;
            }
        }
    }
    return std::nullopt;
}

void ComTeskPrefsControl::OKAction(Control*) {
    if (prefsWindow) prefsWindow->orderOut();
    savePreferences();
    closeWindowIfSaved();
}

void ComTeskPrefsControl::cancelAction(Control*) {
    if (prefsWindow) prefsWindow->orderOut();
    if (!curPrefs_) {
        closeWindow();
        return;
    }
    // The owner, which may have had changes one by one, gets the opening
    // values back. The window closes whether they arrive or not: Cancel
    // keeps nothing, and an owner that is gone has nothing to undo.
    if (initialPrefsCopy_) *curPrefs_ = *initialPrefsCopy_;
    savePreferences();
    if (!lastSaveDelivered()) cancelNotDelivered();
    closeWindow();
}

void ComTeskPrefsControl::closeWindowIfSaved() {
    if (lastSaveDelivered() || !curPrefs_) {
        closeWindow();
        return;
    }
    // Closing now would lose the values: the window comes back with them.
    if (prefsWindow) prefsWindow->makeKeyAndOrderFront();
    saveNotDelivered();
}

void ComTeskPrefsControl::closeWindow() {
    curPrefs_.reset();
    initialPrefsCopy_.reset();
    if (appRef_) appRef_->windowClosed();
}
