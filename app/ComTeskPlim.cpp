#include "app/ComTeskPlim.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "app/ComTeskUtilControl.h"
#include "app/MenuExtraItem.h"
#include "app/PreferenceValidation.h"
#include "app/Preferences.h"
#include "app/Skyvane.h"
#include "app/SkyvaneAdv.h"
#include "app/SkyvaneProtocols.h"
#include "app/StrayRuns.h"
#include "model/LocationManager.h"
#include "model/LocationManagerMac.h"
#include "model/PreferenceKeys.h"
#include "platform/BusObject.h"
#include "platform/MainLoop.h"
#include "platform/PlistFile.h"
#include "platform/SleepWatcher.h"
#include "platform/ui/Window.h"
#include "util/Clock.h"
#include "util/ComTeskSysConfig.h"
#include "util/LocalizedFormat.h"
#include "util/StackTrace.h"

namespace {

ComTeskPlim* currentCore = nullptr;

const char kDefaultSite[] = "http://www.skyvane.org";

std::mutex siteMutex;
std::string siteAddress = kDefaultSite;
constexpr unsigned kWakeDelayMs = 30000;
std::atomic<unsigned> wakeDelayMs{kWakeDelayMs};

// A push that does not fit changes nothing: it is logged, and the exception
// becomes the caller's error on the bus.
void refuseIfUnfit(const char* operation, const std::optional<std::string>& problem) {
    if (!problem) return;
    std::cerr << "Refused " << operation << ": " << *problem << std::endl;
    throw std::invalid_argument(*problem);
}

}  // namespace

ComTeskPlim* ComTeskPlim::current() { return currentCore; }

ComTeskPlim::ComTeskPlim(MenuExtraItem* item) {
    try {
        isMenuExtra_ = item != nullptr;
        upgradeItem_.reset();
        upgradeItemNeeded_ = false;
        if (item) {
            extra_ = item;
            theItem_ = item->statusItem();
            itemTarget_ = item;
        } else {
            theItem_ = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
            ownTarget_ = std::make_unique<StatusItemTarget>(theItem_);
            itemTarget_ = ownTarget_.get();
        }
        initMenuWithQuit(!isMenuExtra_);
        if (theItem_) {
            theItem_->setMenu(theMenu_);
            theItem_->setHighlightMode(true);
        }
        initAll();
    } catch (const std::exception& e) {
        std::cerr << "Initialization exception occured here: " << e.what() << std::endl;
        printStackTrace(e);
    }
}

ComTeskPlim::~ComTeskPlim() {
    deactivate();
    // A refresh left busy at teardown still reaches the location guard and
    // the proxy settings of this object.
    StrayRuns::waitUntilNone();
    if (currentCore == this) currentCore = nullptr;
}

Bundle& ComTeskPlim::bundle() { return extra_ ? extra_->bundle() : Bundle::mainBundle(); }

std::string ComTeskPlim::localized(const std::string& key, const std::string& table) const {
    return const_cast<ComTeskPlim*>(this)->bundle().localizedString(key, "", table);
}

MenuItemRef ComTeskPlim::addSkeletonItem(const MenuRef& menu, const std::string& title, int tag) {
    MenuItemRef item = menu->addItem(title, "");
    item->setTag(tag);
    item->setTarget(this);
    item->setAction("menuItemClicked:", [this](MenuItem& chosen) { menuItemClicked(chosen); });
    return item;
}

void ComTeskPlim::initMenuWithQuit(bool quit) {
    theMenu_ = Menu::create("theMenu");
    locationMenu_ = Menu::create("locMenu");
    theMenu_->addItem(MenuItem::separatorItem());
    addSkeletonItem(theMenu_, localized("update", "Skyvane"), kUpdate);
    MenuItemRef locations = theMenu_->addItem(localized("locations", "Skyvane"), "");
    locations->setSubmenu(locationMenu_);
    locationMenu_->addItem(MenuItem::separatorItem());
    addSkeletonItem(locationMenu_, localized("newlocation", "Skyvane"), kNewLocation);
    addSkeletonItem(locationMenu_, localized("managelocations", "Skyvane"), kManageLocations);
    addSkeletonItem(theMenu_, localized("preferences", "Util"), kPreferences);
    theMenu_->addItem(MenuItem::separatorItem());
    Bundle& b = bundle();
    aboutItem_ = addSkeletonItem(theMenu_,
                                 formatWithArguments(localized("about", "Util"),
                                                     {b.objectForInfoDictionaryKey("CFBundleName").stringOr(""),
                                                      b.objectForInfoDictionaryKey("CFBundleVersion").stringOr("")}),
                                 kAbout);
    if (quit) {
        theMenu_->addItem(MenuItem::separatorItem());
        addSkeletonItem(theMenu_, localized("quit", "Util"), kQuit);
    }

    ImageRef check = Image::load(b.pathForResource("check", "tif", "gfx"));
    ImageRef fav = Image::load(b.pathForResource("fav", "png", "gfx"));
    const Size size = fav ? fav->size() : (check ? check->size() : Size{16, 16});
    statusToImage_[Location::kPlain] = Image::create(size);
    statusToImage_[Location::kPrimary] = check;
    statusToImage_[Location::kFavorite] = fav;
    ImageRef both = fav ? fav->copy() : Image::create(size);
    if (both && check) both->composite(*check, Point{0, 0}, 1.0);
    statusToImage_[Location::kPrimaryFavorite] = both;
}

ImageRef ComTeskPlim::statusImage(int status) const {
    auto it = statusToImage_.find(status);
    return it == statusToImage_.end() ? nullptr : it->second;
}

void ComTeskPlim::initAll() {
    util_ = std::make_unique<ComTeskUtilControl>();
    util_->initWithApp(this);
    sc_ = std::make_unique<ComTeskSysConfig>();
    if (!sc_->createSession(ComTeskSysConfig::kDynamicStoreSession)) {
        std::cerr << "Couldn't create dynamic store session.  Won't be able to use Proxy settings." << std::endl;
        sc_.reset();
    }
    const bool firstRun = initializePrefs();
    initMappingsAndImages();
    vend();
    currentCore = this;
    registerForSleepNotifications();
    initLocationsMenu();
    createController();
    if (firstRun && kv_) kv_->getProxyAndPerformAction(kNewLocation, plist::Value(true));
}

bool ComTeskPlim::initializePrefs() {
    plist::Dict prefs;
    std::unique_ptr<LocationManager> manager;
    const bool firstRun = ::initializePrefs(*util_, prefs, manager);
    std::lock_guard<std::mutex> lock(prefsMutex_);
    prefs_ = std::move(prefs);
    locMan_ = std::move(manager);
    return firstRun;
}

void ComTeskPlim::initMappingsAndImages() {
    const std::string path = bundle().pathForResource("WeatherCodeMap", "plist", "");
    plist::Value map;
    std::string error;
    if (!path.empty() && !plist::readFile(path, map, error)) std::cerr << error << std::endl;
    if (!map.isDict() || map.asDict().empty()) {
        std::cerr << "Couldn't read WeatherCodeMap" << std::endl;
        return;
    }
    codeToImageDesc_ = map.asDict();
    origImageNameToImage_.clear();
    for (const auto& [code, entry] : codeToImageDesc_) {
        const std::string file = entry.get(kImageFile).stringOr("");
        const std::string description = entry.get(kDescriptionString).stringOr("");
        if (localized(description, "Skyvane") == description && !description.empty())
            std::cerr << "No localization for " << description << std::endl;
        if (file.empty() || origImageNameToImage_.count(file)) continue;
        ImageRef image = Image::load(bundle().pathForResource(file, "tif", "gfx/conditions"));
        if (image)
            origImageNameToImage_[file] = image;
        else
            std::cerr << "Couldn't load image " << file << std::endl;
    }
}

void ComTeskPlim::vend() {
    vendingConnection_ = std::make_unique<VendedObject>(
        std::vector<BusProtocol>{kSkyvanePublic},
        [this](const std::string&, const std::string& method, const plist::Array& args) { return serve(method, args); });
    for (int n = 0; n < kVendingNames; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, kSkyvaneBusNameFormat, n);
        if (vendingConnection_->registerName(name)) {
            KVRegisteredName_ = name;
            return;
        }
        std::cerr << "Couldn't vend object " << name << std::endl;
    }
    vendingConnection_.reset();
}

plist::Value ComTeskPlim::serve(const std::string& method, const plist::Array& args) {
    if (method == "setPreference_toValue") {
        if (args.size() < 2 || !args[0].isString()) throw std::invalid_argument(method + ": the key must be a string");
        setPreference(args[0].asString(), args[1]);
    } else if (method == "setPreferences") {
        if (args.empty() || !args[0].isDict()) throw std::invalid_argument(method + ": the preferences must be a dictionary");
        setPreferences(args[0].asDict());
    } else if (method == "setCurrentLocationTo") {
        if (args.empty() || !args[0].isDict()) throw std::invalid_argument(method + ": the location must be a dictionary");
        setCurrentLocationTo(args[0].asDict());
    } else {
        throw std::invalid_argument("no such method: " + method);
    }
    return plist::Value();
}

void ComTeskPlim::registerForSleepNotifications() {
    sleepWatcher_ = std::make_unique<SleepWatcher>([this](bool goingToSleep) { powerChanged(goingToSleep); });
}

void ComTeskPlim::powerChanged(bool goingToSleep) {
    // Sleep is always allowed at once (logind waits for nobody here).
    if (!goingToSleep) systemDidWake();
}

void ComTeskPlim::setWakeDelayMs(unsigned ms) { wakeDelayMs = ms == 0 ? kWakeDelayMs : ms; }

void ComTeskPlim::systemDidWake() {
    if (wakeTimer_) MainLoop::instance().removeTimer(wakeTimer_);
    wakeTimer_ = MainLoop::instance().addTimer(wakeDelayMs.load(), [this] {
        wakeTimer_ = 0;
        if (kv_) kv_->initTimer();
        return false;
    });
}

void ComTeskPlim::initLocationsMenu() {
    if (!locationMenu_) return;
    while (locationMenu_->numberOfItems() >= 4) locationMenu_->removeItemAtIndex(0);
    std::shared_ptr<LocationManager> manager = locMan();
    if (!manager) return;
    std::vector<std::pair<std::string, int>> rows;
    {
        std::lock_guard<teskMutex> guard(locationsGuard_);
        for (const Location& location : manager->locationList()) rows.emplace_back(location.name, location.status);
    }
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        MenuItemRef item = MenuItem::create(row->first);
        item->setTarget(this);
        item->setAction("citySelectedAction:", [this](MenuItem& chosen) { citySelectedAction(chosen); });
        item->setImage(statusImage(row->second));
        locationMenu_->insertItem(item, 0);
    }
}

void ComTeskPlim::createController() {
    const plist::Dict current = prefs();
    auto mode = current.find(kMode);
    const bool free = mode != current.end() && mode->second.isString() && mode->second.asString() == kFreeMode;
    startController(!free);
}

void ComTeskPlim::startController(bool advanced) {
    if (advanced)
        kv_ = std::make_unique<SkyvaneAdv>(this);
    else
        kv_ = std::make_unique<Skyvane>(this);
    kv_->initWithPlim();
}

void ComTeskPlim::citySelectedAction(MenuItem& item) {
    const int index = locationMenu_ ? locationMenu_->indexOfItem(&item) : -1;
    if (index < 0) return;
    if (std::shared_ptr<LocationManager> manager = locMan()) {
        std::lock_guard<teskMutex> guard(locationsGuard_);
        manager->makePrimary(static_cast<unsigned>(index));
    }
    initLocationsMenu();
    prefsModified();
    if (kv_) kv_->refreshData();
}

void ComTeskPlim::setCurrentLocationTo(const plist::Dict& dict) {
    refuseIfUnfit("setCurrentLocationTo", locationProblem(plist::Value(dict)));
    Location location;
    LocationManagerMac::dictionaryToLocation(plist::Value(dict), location);
    // A new list, so that a refresh run keeps the one it started with.
    std::shared_ptr<LocationManager> current = locMan();
    std::shared_ptr<LocationManager> next;
    {
        std::lock_guard<teskMutex> guard(locationsGuard_);
        next = std::make_shared<LocationManager>(current ? *current : LocationManager({}));
    }
    next->addLocation(location);
    // The grown list counts toward what all preferences together may hold,
    // as every other push does.
    plist::Dict now = prefs();
    {
        std::lock_guard<teskMutex> guard(locationsGuard_);
        if (current) now[kLocations] = LocationManagerMac::arrayFromLocationList(current->locationList());
    }
    refuseIfUnfit("setCurrentLocationTo",
                  locationListProblem(LocationManagerMac::arrayFromLocationList(next->locationList()), now));
    replaceLocMan(next);
    initLocationsMenu();
    prefsModified();
    if (kv_) kv_->refreshData();
}

void ComTeskPlim::setPreference(const std::string& key, const plist::Value& value) {
    refuseIfUnfit("setPreference", preferenceProblem(key, value, prefs()));
    if (kv_) kv_->setPreference(key, value);
}

void ComTeskPlim::setPreferences(const plist::Dict& dict) {
    // All or nothing: one value that does not fit refuses the whole set.
    refuseIfUnfit("setPreferences", preferencesProblem(dict, prefs()));
    if (kv_) kv_->setPreferences(dict);
}

void ComTeskPlim::menuItemClicked(MenuItem& item) {
    if (item.tag() == kSwitchMode)
        switchModes();
    else if (item.tag() == kQuit) {
        stopNetworkWork();
        Application::shared().terminate();
    }
    else if (kv_)
        kv_->menuItemClicked(item);
}

void ComTeskPlim::switchModes() {
    const bool advanced = kv_ && kv_->isAdvanced();
    if (kv_) kv_->deactivate();
    kv_.reset();
    setPref(kMode, plist::Value(advanced ? kFreeMode : kAdvanceMode));
    prefsModified();
    startController(!advanced);
}

void ComTeskPlim::prefsModified() {
    plist::Dict snapshot;
    {
        std::lock_guard<std::mutex> lock(prefsMutex_);
        if (locMan_) {
            std::lock_guard<teskMutex> guard(locationsGuard_);
            prefs_[kLocations] = LocationManagerMac::arrayFromLocationList(locMan_->locationList());
        }
        snapshot = prefs_;
    }
    if (util_) util_->writePrefs(snapshot);
}

plist::Dict ComTeskPlim::prefs() const {
    std::lock_guard<std::mutex> lock(prefsMutex_);
    return prefs_;
}

void ComTeskPlim::setPref(const std::string& key, const plist::Value& value) {
    std::lock_guard<std::mutex> lock(prefsMutex_);
    prefs_[key] = value;
}

void ComTeskPlim::replacePrefs(const plist::Dict& prefs) {
    std::lock_guard<std::mutex> lock(prefsMutex_);
    prefs_ = prefs;
}

std::shared_ptr<LocationManager> ComTeskPlim::locMan() const {
    std::lock_guard<std::mutex> lock(prefsMutex_);
    return locMan_;
}

void ComTeskPlim::replaceLocMan(std::shared_ptr<LocationManager> manager) {
    std::lock_guard<std::mutex> lock(prefsMutex_);
    locMan_ = std::move(manager);
}

void ComTeskPlim::setSite(const std::string& address) {
    std::lock_guard<std::mutex> lock(siteMutex);
    siteAddress = address.empty() ? kDefaultSite : address;
}

std::string ComTeskPlim::site() {
    std::lock_guard<std::mutex> lock(siteMutex);
    return siteAddress;
}

std::string ComTeskPlim::urlFor(int key) {
    if (key == 5) return site() + "/products/skyvane";
    if (key == 6) return site() + "/products/skyvane/version.txt";
    return site() + "/";
}

std::string ComTeskPlim::shortDateFormatString() { return ComTeskUtilControl::getShortDateFormatString(); }
std::string ComTeskPlim::timeFormatString() { return ComTeskUtilControl::getTimeFormatString(); }

void ComTeskPlim::versionAvailable(const plist::Value& version) {
    if (!version.isString()) {
        std::cerr << "versionInfo is of class " << (version.isNone() ? "nil" : "non-string") << "!!" << std::endl;
        return;
    }
    const std::string mine = bundle().objectForInfoDictionaryKey("CFBundleVersion").stringOr("");
    if (mine < version.asString()) {
        std::cerr << "New version available; current=" << mine << ", avail=" << version.asString() << std::endl;
        // addUpgradeItemIfNeeded adds the item, unless it is already shown.
        if (!upgradeItem_) upgradeItemNeeded_ = true;
    }
}

void ComTeskPlim::timedCheckForUpdate() {
    const double now = static_cast<double>(Clock::now());
    const plist::Dict current = prefs();
    auto checked = current.find(kDateForVersionCheck);
    if (checked == current.end() || !checked->second.isNumber()) {
        setPref(kDateForVersionCheck, plist::Value(now));
        prefsModified();
        return;
    }
    if (upgradeItemNeeded_ || upgradeItem_) return;
    const double days = std::trunc((now - checked->second.asReal()) / 86400.0);
    if (std::fabs(days) > 7) {
        setPref(kDateForVersionCheck, plist::Value(now));
        prefsModified();
        if (util_) util_->checkForUpdate();
    }
}

void ComTeskPlim::addUpgradeItemIfNeeded() {
    if (!upgradeItemNeeded_ || !theMenu_ || !util_) return;
    upgradeItem_ = MenuItem::create(localized("newversion", "Util"));
    ComTeskUtilControl* util = util_.get();
    upgradeItem_->setTarget(util);
    upgradeItem_->setAction("showUrl:", [util](MenuItem& item) { util->showUrl(item); });
    upgradeItem_->setEnabled(true);
    upgradeItem_->setTag(kNewVersion);
    theMenu_->addItem(upgradeItem_);
    upgradeItemNeeded_ = false;
}

void ComTeskPlim::stopNetworkWork() {
    if (kv_) kv_->stopNetworkWork();
}

bool ComTeskPlim::finishForExit() {
    // Nothing is stored here: what was pushed with setPreference is a preview
    // until the setup application settles it with setPreferences, and every
    // other change was stored when it was made.
    stopNetworkWork();
    deactivate();
    return StrayRuns::count() == 0;
}

void ComTeskPlim::deactivate() {
    if (vendingConnection_) {
        vendingConnection_->withdraw();
        vendingConnection_.reset();
        KVRegisteredName_.clear();
    }
    if (wakeTimer_) {
        MainLoop::instance().removeTimer(wakeTimer_);
        wakeTimer_ = 0;
    }
    sleepWatcher_.reset();
    if (kv_) kv_->deactivate();
    kv_.reset();
    if (theItem_ && !isMenuExtra_) StatusBar::systemStatusBar().removeStatusItem(theItem_);
    if (theItem_) theItem_->setMenu(nullptr);
    theItem_.reset();
    theMenu_.reset();
    locationMenu_.reset();
    if (currentCore == this) currentCore = nullptr;
}
