#pragma once
// The weather controller of free mode, and the base of the advanced one. It
// turns the preferences into a live weather menu: the main-thread channels
// that carry calls from worker threads (one for itself, one for the menu),
// the status menu and its worker-thread facade, the menu controller, the
// moon table, the aggregating scraper (here with the National Weather
// Service alone) and the refresh timer. It takes the preference changes the
// setup application pushes and answers the menu commands that are not the
// core's own, through its link to the setup application.
//
// Main thread only; the refresh timer's runs reach it through the
// RefreshTimerClient operations (guarded) and its channel.

#include <memory>
#include <string>

#include "app/RefreshTimer.h"
#include "platform/MainLoop.h"
#include "platform/Menu.h"
#include "util/plist/Value.h"

class AggrScraper;
class ComTeskPlim;
class MoonData;
class PlimMenu;
class PlimMenuController;
class ResourceLocator;
class SetupLink;

class Skyvane : public RefreshTimerClient {
public:
    // The stale age of the first run in free mode.
    static constexpr int kInitialFrequencySeconds = 1800;

    explicit Skyvane(ComTeskPlim* core);
    ~Skyvane() override;
    Skyvane(const Skyvane&) = delete;
    Skyvane& operator=(const Skyvane&) = delete;

    // Builds everything and starts the refresh timer with a full refresh.
    virtual void initWithPlim();
    // The scraper of every source the bundle carries for this mode.
    void initScrapers();
    virtual void additionalSetup();
    // Creates and starts the refresh timer when there is none.
    virtual void initTimer();
    // Stops the network work of the refresh at once (see deactivate()).
    void stopNetworkWork();
    // Stops the network work first, so that tearing the refresh timer down
    // waits for nothing on the network, and waits for a run busy otherwise
    // (computing on a hostile page) only up to a deadline: such a run is
    // left to end on its own (StrayRuns), its late results dropped.
    virtual void deactivate();
    virtual bool isAdvanced() const { return false; }

    ComTeskPlim* getComTeskPlim() const { return plimRef_; }
    AggrScraper* getScraper() override { return scraper_.get(); }
    std::shared_ptr<AggrScraper> runScraper() override { return scraper_; }
    PlimMenuController* getController() const { return menuController_.get(); }
    PlimMenu* menu() const { return menu_.get(); }
    RefreshTimer* refresher() const { return refresher_.get(); }
    const MenuItemRef& changeModeItem() const { return changeModeItem_; }
    SetupLink& setupLink() { return *setupLink_; }
    const MoonData* moonData() const { return moonData_.get(); }

    void menuItemClicked(MenuItem& item);
    // A full refresh at once.
    virtual void refreshData();
    void setUpdateItemEnabled(bool enabled) override;
    // The preferences and the location list to the menu controller, and a redisplay.
    void setControllerPreferences();
    // Whether the core's value for key differs from the one in newPrefs.
    bool prefChangedForKey(const plist::Dict& newPrefs, const std::string& key) const;
    virtual void setPreference(const std::string& key, const plist::Value& value);
    virtual void setPreferences(const plist::Dict& prefs);

    // The setup application: connect (starting it when needed) and send the
    // action of the code (a menu tag).
    void getProxyAndPerformAction(int code, const plist::Value& data);

    // RefreshTimerClient
    plist::Dict preferencesSnapshot() override;
    std::shared_ptr<LocationManager> currentLocations() override;
    teskMutex& locationsGuard() override;
    ComTeskSysConfig* sysConfig() override;
    std::shared_ptr<WeatherDataSink> reportSink() override;
    void applyMenuPreferences(const StringMap& prefs, const LocationManager& locations) override;
    MainThreadPoster applierChannel() override { return appkitConnection_.poster(); }

protected:
    // The stale age the timer starts with.
    virtual int initialFrequencySeconds() const { return kInitialFrequencySeconds; }
    void replaceLocations(const plist::Value& locations);

    ComTeskPlim* plimRef_;
    MenuItemRef changeModeItem_;
    std::unique_ptr<RefreshTimer> refresher_;
    std::unique_ptr<SetupLink> setupLink_;
    MainThreadChannel appkitConnection_;
    MainThreadChannel menuServerConnection_;
    std::shared_ptr<AggrScraper> scraper_;  // shared with the run under way
    std::unique_ptr<MoonData> moonData_;
    std::unique_ptr<PlimMenu> menu_;
    std::unique_ptr<PlimMenuController> menuController_;
    bool active_ = false;
};
