#pragma once
// The menu program's application object. It owns the status item and the
// menu skeleton, the preferences and the location list, the weather-code map
// with its condition images, the locations submenu, its named object on the
// session bus (so the setup application can push preferences back), the
// sleep and wake hook, and the weather controller of the current mode
// (Skyvane in free mode, SkyvaneAdv otherwise).
//
// Main thread only, except the data the refresh runs share: the preference
// dictionary and the location list. Those are guarded; the list is replaced
// (never grown in place) when a city is added or the list arrives anew, so a
// run keeps the list of its start alive.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "app/ComTeskAppControl.h"
#include "menu/PlimCore.h"
#include "platform/Menu.h"
#include "platform/StatusBar.h"
#include "util/plist/Value.h"
#include "util/teskThread.h"

class ComTeskSysConfig;
class ComTeskUtilControl;
class LocationManager;
class MenuExtraItem;
class SleepWatcher;
class Skyvane;
class VendedObject;

class ComTeskPlim : public ComTeskAppControl, public PlimCore {
public:
    // Menu tags of the core's items.
    enum Tag { kNewVersion = 5, kUpdate = 200, kNewLocation = 201, kManageLocations = 202, kPreferences = 300,
               kSwitchMode = 301, kAbout = 305, kQuit = 306 };
    static constexpr int kVendingNames = 100;

    // With the plug-in as its item (menu-bar host), or with none (the
    // standalone program): it then takes a status item of variable length
    // from the system status bar and gives its menu a Quit item. A failure
    // during start-up is logged with its stack trace; the object then stays
    // as far as it got.
    explicit ComTeskPlim(MenuExtraItem* item = nullptr);
    ~ComTeskPlim() override;
    ComTeskPlim(const ComTeskPlim&) = delete;
    ComTeskPlim& operator=(const ComTeskPlim&) = delete;

    // Steps of start-up.
    void initMenuWithQuit(bool quit);
    void initAll();
    void initMappingsAndImages();
    void initLocationsMenu();
    bool initializePrefs();
    void registerForSleepNotifications();

    // Tear-down: the vended name, the status item, the menu and the controller go.
    void deactivate();
    // Ends the weather fetches under way at once and starts none: the program
    // is about to end (Quit, a termination signal, the plug-in unloading).
    void stopNetworkWork();
    // The end of the program: the network work stops and the core is torn
    // down (waiting for a busy refresh at most StrayRuns::kStopGrace); the
    // preferences are not stored. False when a refresh thread is still busy: it
    // still uses the core, so the core must stay and the program ends
    // without running destructors (StrayRuns::endProcess).
    bool finishForExit();

    void menuItemClicked(MenuItem& item);
    void switchModes();
    void citySelectedAction(MenuItem& item);
    void systemDidWake();
    // Whether the timer that systemDidWake() set has yet to fire.
    bool wakePending() const { return wakeTimer_ != 0; }
    // The pause between a wake and the new refresh timer; tests shorten it.
    // Zero restores the standard 30 seconds.
    static void setWakeDelayMs(unsigned ms);
    // The power hook: true before sleep, false after wake.
    void powerChanged(bool goingToSleep);

    // SkyvanePublic: what the setup application sends. A value that does not
    // fit its preference (or a location without a city, or one that would
    // grow the city list past its bounds) is refused with
    // std::invalid_argument naming the key, and nothing changes.
    // setCurrentLocationTo stores the grown list at once.
    void setPreference(const std::string& key, const plist::Value& value);
    void setPreferences(const plist::Dict& prefs);
    void setCurrentLocationTo(const plist::Dict& location);

    // ComTeskAppControl
    bool useGUI() override { return true; }
    Bundle& bundle() override;
    bool anyUserScope() override { return false; }
    ComTeskUtilControl* getUtil() override { return util_.get(); }
    std::string urlFor(int key) override;
    void versionAvailable(const plist::Value& version) override;
    void prefsModified() override;
    void windowClosed() override {}
    void closeCurrentWindow(Window*) override {}
    void closeCurrentWindow(Window*, int, void*) override {}
    void setCurrentWindow(Window*, bool, bool) override {}

    // PlimCore
    const plist::Dict& weatherCodeMap() override { return codeToImageDesc_; }
    std::string shortDateFormatString() override;
    std::string timeFormatString() override;

    // A menu item's enabled state; true for anything else.
    bool validateUserInterfaceItem(const MenuItem* item) const { return item == nullptr || item->isEnabled(); }

    // The version check; nothing sends these on its own.
    void timedCheckForUpdate();
    void addUpgradeItemIfNeeded();

    // What the controllers and the menu use.
    bool isMenuExtra() const { return isMenuExtra_; }
    const MenuRef& menu() const { return theMenu_; }
    const MenuRef& locationMenu() const { return locationMenu_; }
    const StatusItemRef& statusItem() const { return theItem_; }
    PlimStatusItem* itemTarget() const { return itemTarget_; }
    const MenuItemRef& aboutItem() const { return aboutItem_; }
    const MenuItemRef& timeItem() const { return timeItem_; }
    const MenuItemRef& upgradeItem() const { return upgradeItem_; }
    const std::map<std::string, ImageRef>& images() const { return origImageNameToImage_; }
    const std::string& registeredName() const { return KVRegisteredName_; }
    ComTeskSysConfig* sysConfig() const { return sc_.get(); }
    Skyvane* controller() const { return kv_.get(); }

    // The preferences: a copy from any thread; changes on the main thread.
    plist::Dict prefs() const;
    void setPref(const std::string& key, const plist::Value& value);
    void replacePrefs(const plist::Dict& prefs);
    // The location list: the current one from any thread (entries are read
    // and written under locationsGuard()); replaced on the main thread.
    std::shared_ptr<LocationManager> locMan() const;
    void replaceLocMan(std::shared_ptr<LocationManager> manager);
    teskMutex& locationsGuard() { return locationsGuard_; }

    // The image of a location status in the locations submenu.
    ImageRef statusImage(int status) const;

    // The process-wide core the power hook reaches; null when there is none.
    static ComTeskPlim* current();

    // The maker's web site ("http://host[:port]") that product pages and the
    // version file come from; tests point it at a local server. An empty
    // address restores the default.
    static void setSite(const std::string& address);
    static std::string site();

private:
    MenuItemRef addSkeletonItem(const MenuRef& menu, const std::string& title, int tag);
    std::string localized(const std::string& key, const std::string& table) const;
    void vend();
    plist::Value serve(const std::string& method, const plist::Array& args);
    void createController();
    // Makes and starts the weather controller of the mode.
    void startController(bool advanced);

    bool isMenuExtra_ = false;
    MenuRef theMenu_;
    MenuRef locationMenu_;
    MenuItemRef conditionItem_, timeItem_;
    MenuItemRef aboutItem_;
    MenuItemRef upgradeItem_;
    MenuItemRef creditItem_;
    std::atomic<bool> upgradeItemNeeded_{false};
    plist::Dict codeToImageDesc_;
    std::map<std::string, ImageRef> origImageNameToImage_;
    StatusItemRef theItem_;
    MenuExtraItem* extra_ = nullptr;
    PlimStatusItem* itemTarget_ = nullptr;
    std::unique_ptr<PlimStatusItem> ownTarget_;
    std::map<int, ImageRef> statusToImage_;
    std::unique_ptr<ComTeskUtilControl> util_;
    std::unique_ptr<ComTeskSysConfig> sc_;
    mutable std::mutex prefsMutex_;  // prefs_ and the locMan_ pointer
    plist::Dict prefs_;
    std::string KVRegisteredName_;
    std::shared_ptr<LocationManager> locMan_;
    teskMutex locationsGuard_;
    std::unique_ptr<Skyvane> kv_;
    std::unique_ptr<VendedObject> vendingConnection_;
    std::unique_ptr<SleepWatcher> sleepWatcher_;
    unsigned wakeTimer_ = 0;
};
