#include "menu/PlimMenuController.h"

#include <iostream>
#include <mutex>

#include "menu/IconRefresher.h"
#include "menu/PlimMenuWrapper.h"
#include "menu/menuIconTimer.h"
#include "model/LocationManager.h"
#include "model/PreferenceKeys.h"
#include "scrapers/numberedKeys.h"

const std::string PlimMenuController::smaller_ = "0";
const std::string PlimMenuController::dataFromKey_ = "datafrom";
const std::string PlimMenuController::radarKey_ = "radar";
const std::string PlimMenuController::dewpointKey_ = "dewpoint";
const std::string PlimMenuController::feelsLikeKey_ = "feels_like";
const std::string PlimMenuController::sunriseSunsetKey_ = "sunrise_sunset";
const std::string PlimMenuController::visibilityKey_ = "visibility";
const std::string PlimMenuController::barometerKey_ = "barometer";
const std::string PlimMenuController::windKey_ = "wind";
const std::string PlimMenuController::humidityKey_ = "humidity";
const std::string PlimMenuController::favReport_ = "fav";
const std::string PlimMenuController::primaryReport_ = "main";

namespace {

constexpr int kFavoriteSlots = 6;  // fav-0 .. fav-5

// The menu's failure picture and the blank title that goes with it.
constexpr char kStatusImages[] = "status";
constexpr char kFailureImage[] = "kv2-x.png";
constexpr char kBlankTitle[] = "    ";
constexpr int kBlankTitleSize = 14;

PlimMenuItem::Error errorForStatus(int status) {
    switch (status) {
        case 1:
        case 2:
            return PlimMenuItem::NoConnection;
        case ScrapeStatus::FetchFailed:
            return PlimMenuItem::NoContact;
        case ScrapeStatus::EmptyKey:
            return PlimMenuItem::ReadError;
        case ScrapeStatus::NoScraper:
            return PlimMenuItem::NoLocationKey;
        default:
            return PlimMenuItem::UnknownError;
    }
}

std::string inputValue(const ScrapeReport& report, const std::string& key) {
    return getHash(report.getInputHashRef(), key, "");
}

}  // namespace

// Stands between the scraper threads and the controller: reports pass while
// the controller lives; close() waits for a report in progress and drops
// every later one.
class PlimMenuController::ReportGate : public WeatherDataSink {
public:
    explicit ReportGate(PlimMenuController* controller) : controller_(controller) {}

    void setWeatherData(ScrapeReport& report) override {
        std::shared_lock<std::shared_mutex> lock(mutex_);
        if (controller_) controller_->setWeatherData(report);
    }
    void close() {
        std::unique_lock<std::shared_mutex> lock(mutex_);
        controller_ = nullptr;
    }

private:
    std::shared_mutex mutex_;
    PlimMenuController* controller_;
};

PlimMenuController::PlimMenuController()
    : wrapper_(getPlimMenuWrapperSingleton()),
      iconRefresher_(std::make_unique<IconRefresher>(this, 1)),
      scrapingTimer_(std::make_unique<menuIconTimer>("scraping")),
      gate_(std::make_shared<ReportGate>(this)) {}

PlimMenuController::~PlimMenuController() {
    // No report, timer run or rebuild may reach the object once it starts
    // coming apart.
    gate_->close();
    iconRefresher_.reset();
    scrapingTimer_.reset();
    {
        std::lock_guard<teskMutex> lock(refreshLock_);
        removeAllItems();
    }
    server_.reset();
}

std::shared_ptr<WeatherDataSink> PlimMenuController::reportGate() const { return gate_; }

void PlimMenuController::initMenu() {
    startScrapingStatus();
    if (server_) server_->startServer();
}

void PlimMenuController::attachServer(std::unique_ptr<PlimFeedServer> server) {
    std::lock_guard<teskMutex> lock(reportsLock_);
    server_ = std::move(server);
}

void PlimMenuController::setPreferences(const StringMap& prefs, const LocationManager* locations) {
    auto copy = std::make_unique<LocationManager>(locations ? locations->locationList() : std::vector<Location>());
    std::lock_guard<teskMutex> lock(reportsLock_);
    preferences_ = prefs;
    locations_ = std::move(copy);
    favoritesChanged_ = true;
}

void PlimMenuController::setWeatherData(ScrapeReport& report) {
    iconRefresher_->stop();
    const bool primary = inputValue(report, "isFavorite") != "1";
    const int status = report.getStatus();
    {
        std::lock_guard<teskMutex> lock(reportsLock_);
        if (status != ScrapeStatus::Success) {
            if (primary) {
                std::cerr << "PlimMenuController:: Got bad primary:  status=[" << status << "] favIndex=["
                          << inputValue(report, "favIndex") << "] isPrimary=[" << 1 << "]\n";
                lastUpdateFailed_ = true;
                primaryStatus_ = status;
                failedCity_ = inputValue(report, "cityName");
                stopScrapingStatus();
                // The last good report stands in only for the same city:
                // another city's weather must not show under the new one.
                auto stored = reports_.find(primaryReport_);
                if (stored != reports_.end() &&
                    inputValue(stored->second, "cityName") != inputValue(report, "cityName")) {
                    reports_.erase(stored);
                }
            }
            // A failed favorite keeps its earlier report.
        } else if (primary) {
            lastUpdateFailed_ = false;
            primaryStatus_ = 0;
            stopScrapingStatus();
            reports_[primaryReport_] = report;
            if (server_) {
                server_->clearData();
                server_->enableAdvance();
                server_->setHash(inputValue(report, "cityName"), report.getDisplayHashRef());
            }
        } else {
            bool ok = false;
            long index = stringToLong(inputValue(report, "favIndex"), ok);
            if (!ok) index = 0;
            if (index >= 0 && index < kFavoriteSlots) {
                reports_[numberedKeys::composeNumberedKey(favReport_, static_cast<int>(index))] = report;
                // A scrape started before the favorites changed may carry an
                // old slot: the rebuild checks it against the list.
                if (locations_) favoritesChanged_ = true;
            } else {
                // No menu line could ever show it.
                std::cerr << "PlimMenuController: favorite report out of range, favIndex=[" << index << "]\n";
            }
        }
    }
    refresh(false);
    iconRefresher_->start(1);
    // start() cancels a full rebuild asked for while this one ran; ask again.
    if (refreshPending_.load()) iconRefresher_->fullRefresh();
}

void PlimMenuController::refreshNow() {
    refreshPending_ = true;
    iconRefresher_->fullRefresh();
}

void PlimMenuController::startScrapingStatus() { scrapingTimer_->start(); }

void PlimMenuController::stopScrapingStatus() { scrapingTimer_->stop(); }

void PlimMenuController::setError(std::string) { std::cout << "PlimMenuController::got Error\n"; }

std::vector<std::string> PlimMenuController::reportNames() const {
    std::lock_guard<teskMutex> lock(reportsLock_);
    std::vector<std::string> names;
    for (const auto& entry : reports_) names.push_back(entry.first);
    return names;
}

void PlimMenuController::pruneFavoriteReports() {
    int favorite = locations_ ? locations_->nextFavoriteIndexAtOrAfter(0) : -1;
    for (int slot = 0; slot < kFavoriteSlots; ++slot) {
        auto it = reports_.find(numberedKeys::composeNumberedKey(favReport_, slot));
        if (favorite < 0) {
            if (it != reports_.end()) reports_.erase(it);
            continue;
        }
        const std::string& name = locations_->locationAtIndex(static_cast<unsigned>(favorite)).name;
        if (it != reports_.end() && inputValue(it->second, "cityName") != name) reports_.erase(it);
        favorite = locations_->nextFavoriteIndexAtOrAfter(static_cast<unsigned>(favorite) + 1);
    }
}

PlimMenuController::Snapshot PlimMenuController::takeSnapshot(bool withFavorites) {
    std::lock_guard<teskMutex> lock(reportsLock_);
    if (withFavorites && favoritesChanged_) {
        pruneFavoriteReports();
        favoritesChanged_ = false;
    }
    Snapshot snapshot;
    snapshot.preferences = preferences_;
    snapshot.lastUpdateFailed = lastUpdateFailed_;
    snapshot.primaryStatus = primaryStatus_;
    snapshot.failedCity = failedCity_;
    auto primary = reports_.find(primaryReport_);
    if (primary != reports_.end()) snapshot.primary = primary->second;
    if (withFavorites) {
        for (int slot = 0; slot < kFavoriteSlots; ++slot) {
            auto it = reports_.find(numberedKeys::composeNumberedKey(favReport_, slot));
            if (it == reports_.end()) break;
            snapshot.favorites.push_back(it->second);
        }
    }
    return snapshot;
}

void PlimMenuController::usePreferences(StringMap preferences) {
    advanced_ = getHash(preferences, kMode, "") == kAdvanceMode;
    if (!advanced_) preferences[kIconSaturation] = "0.0";  // free mode shows every icon in grey
    rebuildPreferences_ = std::move(preferences);
}

std::string PlimMenuController::preference(const std::string& key) const {
    return getHash(rebuildPreferences_, key, "");
}

void PlimMenuController::showFailureIcon() {
    if (!wrapper_) return;
    wrapper_->setMainText(kBlankTitle, kBlankTitleSize);
    wrapper_->setMainImage(kStatusImages, kFailureImage);
}

void PlimMenuController::removeAllItems() {
    if (wrapper_) {
        for (size_t i = 0; i < items_.size(); ++i) wrapper_->removeItemAtIndex(0);
    }
    items_.clear();
}

void PlimMenuController::refresh(bool) {
    std::lock_guard<teskMutex> lock(refreshLock_);
    refreshPending_ = false;  // this rebuild reads everything set so far
    Snapshot snapshot = takeSnapshot(true);
    if (wrapper_) wrapper_->beginRefresh();

    usePreferences(std::move(snapshot.preferences));
    int iconSet = 0;
    if (advanced_) {
        std::string set = preference(kIconSet);
        iconSet = set.empty() ? 1 : getHashInt(rebuildPreferences_, kIconSet, 1);
        if (iconSet < 0) iconSet = 1;
    }
    if (wrapper_) wrapper_->changeIconSet(static_cast<unsigned>(iconSet));

    removeAllItems();

    if (!snapshot.primary) {
        // Without a failure the menu stays empty and the animation runs on.
        if (snapshot.lastUpdateFailed) {
            showFailureIcon();
            setErrorItem(errorForStatus(snapshot.primaryStatus), snapshot.failedCity);
        }
    } else {
        if (snapshot.lastUpdateFailed)
            setErrorItem(PlimMenuItem::LastUpdateFailed, inputValue(*snapshot.primary, "cityName"));
        refreshPrimary(*snapshot.primary);
        for (size_t i = 0; i < snapshot.favorites.size(); ++i) {
            if (i == 0) {
                int index = 0;
                PlimMenuItem* separator = itemByKey("favSep", index, false);
                separator->set(PlimMenuItem::TypeKey, PlimMenuItem::Separator);
            }
            refreshFavorite(static_cast<int>(i), snapshot.favorites[i]);
        }
    }
    buildMenu();
    if (wrapper_) wrapper_->finishRefresh();
}

void PlimMenuController::iconRefresh(bool) {
    std::lock_guard<teskMutex> lock(refreshLock_);
    Snapshot snapshot = takeSnapshot(false);
    if (wrapper_) wrapper_->beginRefresh();
    usePreferences(std::move(snapshot.preferences));
    if (snapshot.primary) {
        refreshPrimaryIcon(*snapshot.primary);
    } else if (snapshot.lastUpdateFailed) {
        showFailureIcon();
    }
    if (wrapper_) wrapper_->finishRefresh();
}
