#pragma once
// The setup application's root object. The menu program finds it on the
// session bus under "com.tesk.SkyvaneSetup" and asks it to show the
// preference window on a pane, the New Location window alone, the about box
// or the e-mail signup window. Every preference change made here travels
// back to the menu program's own named object; the setup application never
// reads or writes the preference store itself. It quits once one of its
// windows closes and none is visible any more.

#include <memory>

#include "platform/Bundle.h"
#include <string>

#include "app/ComTeskAppControl.h"
#include "setup/ComTeskPrefsControl.h"
#include "setup/SkyvaneDelivery.h"
#include "util/plist/Value.h"

class Bundle;
class ComTeskUtilControl;
class RemoteObject;
class SkyvanePrefs;
class VendedObject;

class ComTeskPlimSetup : public ComTeskAppControl {
public:
    ComTeskPlimSetup();
    ~ComTeskPlimSetup() override;
    ComTeskPlimSetup(const ComTeskPlimSetup&) = delete;
    ComTeskPlimSetup& operator=(const ComTeskPlimSetup&) = delete;

    // Vends this object under "com.tesk.SkyvaneSetup"; whether it is reachable.
    bool awakeFromNib();

    // Makes sure the utility controller exists with its "Util" windows loaded.
    bool loadUtilAndItsNib();
    bool advanceMode() const { return advMode_; }
    // The registered name of the menu program's object that pushes go to.
    const std::string& registeredName() const { return KVRegisteredName_; }
    SkyvanePrefs* prefControl() const { return prefControl_.get(); }
    const PrefsRef& passedPrefs() const { return passedPrefs_; }

    // The menu program's object, looked up afresh; null (logged) when it
    // cannot be found.
    std::unique_ptr<RemoteObject> vendedSkyvane() const;
    // Calls method of the menu program's object (looked up afresh) and says
    // whether the call arrived; a failure is logged.
    Delivery callSkyvane(const std::string& method, const plist::Array& args) const;

    // SkyvaneSetupPublic.
    void runAboutBox();
    void runEmailSignupForApp(const std::string* name);
    void runPreferences(plist::Dict prefs, bool advanced, const std::string* name, const std::string& pane,
                        bool firstRun);

    // ComTeskAppControl.
    bool useGUI() override { return true; }
    Bundle& bundle() override;
    bool anyUserScope() override { return false; }
    ComTeskUtilControl* getUtil() override { return util_.get(); }
    std::string urlFor(int key) override;
    void versionAvailable(const plist::Value&) override {}
    void prefsModified() override {}
    void windowClosed() override;
    void closeCurrentWindow(Window*) override {}
    void closeCurrentWindow(Window*, int, void*) override {}
    void setCurrentWindow(Window*, bool, bool) override {}

private:
    // Answers a call that arrived on the bus.
    plist::Value serve(const std::string& method, const plist::Array& args);
    void takeName(const std::string* name);
    // The bundle beside this program's whose identifier is the menu
    // program's registered name; null when there is none.
    std::unique_ptr<Bundle> menuProgramBundle() const;

    std::unique_ptr<ComTeskUtilControl> util_;
    std::unique_ptr<SkyvanePrefs> prefControl_;
    bool advMode_ = false;
    std::unique_ptr<VendedObject> vendingConnection_;
    PrefsRef passedPrefs_;
    std::string KVRegisteredName_;
    // While the about box is filled in: the bundle of the program it describes.
    std::unique_ptr<Bundle> aboutSubject_;
};

// The setup application's main loop: creates and vends the setup object and
// runs until the application terminates.
int runSetupApplication();
