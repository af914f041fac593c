#include "app/Skyvane.h"

#include <chrono>
#include <iostream>
#include <mutex>

#include "app/BundledSources.h"
#include "app/ComTeskPlim.h"
#include "app/SetupLink.h"
#include "app/StrayRuns.h"
#include "menu/PlimMenu.h"
#include "menu/PlimMenuController.h"
#include "menu/PlimMenuWrapper.h"
#include "model/LocationManager.h"
#include "model/LocationManagerMac.h"
#include "model/MoonData.h"
#include "model/PreferenceKeys.h"
#include "scrapers/AggrScraper.h"
#include "util/FileUtils.h"

Skyvane::Skyvane(ComTeskPlim* core) : plimRef_(core) {}

Skyvane::~Skyvane() { deactivate(); }

void Skyvane::initWithPlim() {
    active_ = true;
    SetupLink::Peer peer;
    ComTeskPlim* core = plimRef_;
    peer.preferences = [core] { return core->prefs(); };
    peer.registeredName = [core] { return core->registeredName(); };
    peer.bundlePath = [core] { return core->bundle().bundlePath(); };
    peer.bundledSetupPath = [core] { return core->bundle().pathForResource("Skyvane Setup", "app", ""); };
    setupLink_ = std::make_unique<SetupLink>(std::move(peer), isAdvanced());

    additionalSetup();
    menu_ = std::make_unique<PlimMenu>(core->menu(), core->itemTarget(), core->bundle(), core);
    // The facade reaches the menu over the menu channel; the first one made
    // is the one the menu controller and the icon animation find.
    new PlimMenuWrapper(menuServerConnection_.poster(), menu_.get());
    menuController_ = std::make_unique<PlimMenuController>();

    std::string moon;
    const std::string moonPath = core->bundle().pathForResource("moonData", "txt", "");
    if (!moonPath.empty()) FileUtils::readFile(moonPath, moon);
    moonData_ = std::make_unique<MoonData>(moon);

    initScrapers();
    setControllerPreferences();
    menuController_->initMenu();
    initTimer();
}

void Skyvane::initScrapers() {
    scraper_ = std::make_shared<AggrScraper>();
    // A source without all its files is left out; without any the menu shows why.
    registerBundledSources(*scraper_, plimRef_->bundle(), isAdvanced());
    scraper_->setAdvance(isAdvanced());
}

void Skyvane::additionalSetup() {
    MenuRef menu = plimRef_->menu();
    if (!menu) return;
    changeModeItem_ = MenuItem::create(plimRef_->bundle().localizedString("upgrade", "", "Skyvane"));
    changeModeItem_->setTag(ComTeskPlim::kSwitchMode);
    ComTeskPlim* core = plimRef_;
    changeModeItem_->setTarget(core);
    changeModeItem_->setAction("menuItemClicked:", [core](MenuItem& item) { core->menuItemClicked(item); });
    const int about = menu->indexOfItem(plimRef_->aboutItem().get());
    menu->insertItem(changeModeItem_, about >= 0 ? about + 1 : menu->numberOfItems());
}

void Skyvane::initTimer() {
    if (refresher_ || !active_) return;
    refresher_ = std::make_unique<RefreshTimer>(initialFrequencySeconds(), this);
    refresher_->start();
    refresher_->refreshAll();
}

void Skyvane::menuItemClicked(MenuItem& item) {
    if (item.tag() == ComTeskPlim::kUpdate)
        refreshData();
    else
        getProxyAndPerformAction(item.tag(), plist::Value());
}

void Skyvane::refreshData() {
    if (refresher_) refresher_->refreshAll();
}

void Skyvane::getProxyAndPerformAction(int code, const plist::Value& data) {
    if (setupLink_) setupLink_->getProxyAndPerformAction(code, data);
}

void Skyvane::setUpdateItemEnabled(bool enabled) {
    if (!plimRef_ || !plimRef_->menu()) return;
    if (const MenuRef& locations = plimRef_->locationMenu())
        for (const MenuItemRef& item : locations->items()) item->setEnabled(enabled);
    if (MenuItemRef prefs = plimRef_->menu()->itemWithTag(ComTeskPlim::kPreferences)) prefs->setEnabled(enabled);
    if (MenuItemRef update = plimRef_->menu()->itemWithTag(ComTeskPlim::kUpdate)) {
        update->setEnabled(enabled);
        update->setTitle(plimRef_->bundle().localizedString(enabled ? "update" : "updating", "", "Skyvane"));
    }
}

void Skyvane::applyMenuPreferences(const StringMap& prefs, const LocationManager& locations) {
    if (!menuController_) return;
    menuController_->setPreferences(prefs, &locations);
    menuController_->refreshNow();
}

void Skyvane::setControllerPreferences() {
    if (!plimRef_ || !menuController_) return;
    // A run handing over the copy it took earlier waits or goes first.
    std::lock_guard<std::mutex> handOver(preferencesHandOver());
    const StringMap map = RefreshTimer::preferencesToStringMap(plimRef_->prefs());
    std::shared_ptr<LocationManager> locations = plimRef_->locMan();
    if (!locations) return;
    std::lock_guard<teskMutex> guard(plimRef_->locationsGuard());
    applyMenuPreferences(map, *locations);
}

bool Skyvane::prefChangedForKey(const plist::Dict& newPrefs, const std::string& key) const {
    const plist::Dict current = plimRef_->prefs();
    auto mine = current.find(key);
    auto theirs = newPrefs.find(key);
    const plist::Value none;
    return !((mine == current.end() ? none : mine->second) == (theirs == newPrefs.end() ? none : theirs->second));
}

void Skyvane::replaceLocations(const plist::Value& locations) {
    std::vector<Location> list;
    LocationManagerMac::arrayToLocationList(locations, list);
    plimRef_->replaceLocMan(std::make_shared<LocationManager>(list));
    plimRef_->initLocationsMenu();
}

void Skyvane::setPreference(const std::string& key, const plist::Value& value) {
    if (key == kLocations)
        replaceLocations(value);
    else
        plimRef_->setPref(key, value);
    setControllerPreferences();
}

void Skyvane::setPreferences(const plist::Dict& prefs) {
    if (prefChangedForKey(prefs, kLocations)) {
        auto it = prefs.find(kLocations);
        replaceLocations(it == prefs.end() ? plist::Value() : it->second);
    }
    plimRef_->replacePrefs(prefs);
    plimRef_->prefsModified();
    refreshData();
    setControllerPreferences();
}

void Skyvane::stopNetworkWork() {
    if (refresher_) refresher_->stopRuns();
}

void Skyvane::deactivate() {
    if (!active_) return;
    active_ = false;
    // The fetches of a run under way end at once, failed and without a
    // retry, and the run hands no report on; then the timer goes, waiting
    // only for that short end (runs never wait for the main thread). A run
    // still computing at the deadline no longer calls this controller and
    // keeps the scraper it uses; it is left to end on its own, and the
    // closed channels and report gate below drop whatever it still sends.
    if (refresher_) {
        refresher_->releaseController();
        if (refresher_->endRunsBy(std::chrono::steady_clock::now() + StrayRuns::kStopGrace)) {
            refresher_.reset();
        } else {
            std::cerr << "Skyvane: a refresh is still busy; it is left to end on its own" << std::endl;
            StrayRuns::adopt(std::move(refresher_));
        }
    }
    // The controller closes its report gate and takes its lines out of the menu.
    menuController_.reset();
    appkitConnection_.close();
    menuServerConnection_.close();
    setupLink_.reset();
    if (changeModeItem_ && plimRef_ && plimRef_->menu()) plimRef_->menu()->removeItem(changeModeItem_.get());
    changeModeItem_.reset();
    deletePlimMenuWrapperSingleton();
    menu_.reset();
    scraper_.reset();
    moonData_.reset();
}

plist::Dict Skyvane::preferencesSnapshot() { return plimRef_->prefs(); }
std::shared_ptr<LocationManager> Skyvane::currentLocations() { return plimRef_->locMan(); }
teskMutex& Skyvane::locationsGuard() { return plimRef_->locationsGuard(); }
ComTeskSysConfig* Skyvane::sysConfig() { return plimRef_->sysConfig(); }
std::shared_ptr<WeatherDataSink> Skyvane::reportSink() {
    return menuController_ ? menuController_->reportGate() : nullptr;
}
