// The New Location window of LocationManagerSetup: opening and closing it,
// the search of every enabled source, and adding the city found or chosen.

#include <algorithm>
#include <iostream>
#include <typeinfo>

#include "app/BundledSources.h"
#include "app/RefreshTimer.h"
#include "model/LocationManager.h"
#include "model/LocationManagerMac.h"
#include "model/PreferenceKeys.h"
#include "platform/Bundle.h"
#include "platform/ui/Alert.h"
#include "setup/ComTeskPlimSetup.h"
#include "setup/LocationManagerSetup.h"
#include "setup/SkyvanePrefs.h"
#include "util/ComTeskSysConfig.h"
#include "util/LocalizedFormat.h"
#include "util/regex.h"

namespace {

const char kSearchTitle[] = "Search";
const char kChooseTitle[] = "Choose";
const char kNoSiteReached[] = "Could not contact any weather site.";

// Null: the aggregating scraper makes the site scrapers itself.
LocationManagerSetup::ScraperFactory& scraperFactory() {
    static LocationManagerSetup::ScraperFactory factory;
    return factory;
}

}  // namespace

void LocationManagerSetup::setScraperFactory(ScraperFactory factory) {
    scraperFactory() = std::move(factory);
}

void LocationManagerSetup::newManageAction(Control*) {
    if (newLocationWindow_ || !newLocationView) return;
    // Immediately left of the preference window, top edges level.
    const Size size = newLocationView->frame().size;
    const Rect prefsFrame = prefs_ ? prefs_->prefsWindowFrame() : Rect{};
    newLocationWindow_ = Window::create({prefsFrame.x() - size.width, prefsFrame.maxY() - size.height, size.width,
                                         size.height},
                                        "Skyvane: New Location");
    newLocationWindow_->setContentView(newLocationView);
    // Titled only: no close button. A close from the desktop still ends the
    // window the way its own Close button does.
    newLocationWindow_->setDeletable(false);
    newLocationWindow_->setCloseRequestHandler([this](Window&) { closeNewLocAction(nullptr); });
    newLocationWindow_->setInitialFirstResponder(locationTF);
    // Return in the city field searches.
    newLocationWindow_->setDefaultButton(newLocationButton);
    Window* manageWindow = manageTableView ? manageTableView->window() : nullptr;
    if (prefs_ && prefs_->managePaneOpen() && manageWindow && manageWindow->isVisible())
        Application::shared().beginSheet(newLocationWindow_, manageWindow);
    else
        newLocationWindow_->makeKeyAndOrderFront();
}

void LocationManagerSetup::controlTextDidBeginEditing() {
    newLocationButton->setTitle(kSearchTitle);
    newLocationButton->setEnabled(true);
}

void LocationManagerSetup::setBusy(bool busy, Control*) {
    // Each change is drawn at once, so the window shows it before the work.
    if (busy) {
        newLocationNotFoundTF->setStringValue("");
        newLocationNotFoundTF->display();
        numLocationsFoundTF->setStringValue("");
        numLocationsFoundTF->display();
        progressIndicator->setHidden(false);
        progressIndicator->startAnimation();
    } else {
        progressIndicator->setHidden(true);
        progressIndicator->stopAnimation();
    }
    progressIndicator->display();
    newLocationButton->setEnabled(!busy);
    newLocationButton->display();
}

void LocationManagerSetup::searchAction(Control* sender) {
    // The text field's own action does not search.
    if (sender && typeid(*sender) == typeid(TextField)) return;
    if (!locationTF || locationTF->stringValue().empty()) return;
    // A search still running (the user edited the text and searched again)
    // gives way to this one; nothing it finds is used.
    stopSearch();
    setBusy(true, sender);
    if (cities_->size() > 1 && newLocationButton->title() == kChooseTitle) locsAction(sender);
    // After a choice the field is empty and the input check ends the run;
    // without one the same text is searched again.
    search(sender);
}

bool LocationManagerSetup::stopSearch() {
    if (!search_) return false;
    search_->stop();
    // Kept until its thread has said it is done, so that nothing waits here.
    endingSearches_.push_back(std::move(search_));
    return true;
}

void LocationManagerSetup::registerSources(AggrScraper& aggr) {
    Bundle& bundle = setupRef_ ? setupRef_->bundle() : Bundle::mainBundle();
    // The other sources only in advanced mode.
    const bool advanced = setupRef_ && setupRef_->advanceMode();
    const ScraperFactory& factory = scraperFactory();
    if (!factory) {
        registerBundledSources(aggr, bundle, advanced);
        return;
    }
    forEachBundledSource(bundle, advanced, [&](AggrScraper::ServiceType service, const std::vector<std::string>& texts) {
        if (std::unique_ptr<SuperScraper> scraper = factory(service, texts))
            aggr.registerScraper(service, std::move(scraper));
    });
}

void LocationManagerSetup::search(Control* sender) {
    // The environment's proxy settings, read afresh at each fetch; they
    // live with the search, as long as the scrapers that ask them.
    auto sysConfig = std::make_unique<ComTeskSysConfig>();
    if (!sysConfig->createSession(ComTeskSysConfig::kDynamicStoreSession)) {
        std::cerr << "Couldn't create dynamic store session.  Won't be able to use Proxy settings." << std::endl;
        sysConfig.reset();
    }
    auto aggr = std::make_unique<AggrScraper>();
    registerSources(*aggr);

    RefreshTimer::useSystemProxy(*aggr, sysConfig.get());

    const std::string text = locationTF->stringValue();
    const bool zip = regex::match("[0-9]{5,}", text, 1);
    if (text.empty() || zip) {
        std::string message = "Please input a complete City Name. (ex. Sunnyvale, CA)";
        if (zip) message += "Zip or Postal Codes are not supported by all weather sources.";
        std::cerr << "need to display errorString " << message << std::endl;
        // The user sees why nothing was searched.
        newLocationNotFoundTF->setStringValue(message);
        setBusy(false, sender);
        return;
    }

    cities_->clear();
    newLocationNotFoundTF->setStringValue("");
    // The sites are asked on a thread of the search's own: the window is
    // drawn, typed into and closed meanwhile. Its end comes back to the main
    // thread, which the loop must know before any thread posts to it.
    MainLoop::instance();
    search_ = std::make_unique<CitySearch>(std::move(aggr), std::move(sysConfig), text);
    CitySearch* started = search_.get();
    const MainThreadPoster poster = searchChannel_.poster();
    const bool running =
        search_->start([poster, this, started] { poster.post([this, started] { searchEnded(started); }); });
    if (!running) {
        // As a search that failed: the window returns to idle.
        search_.reset();
        setBusy(false, sender);
    }
}

void LocationManagerSetup::searchEnded(CitySearch* ended) {
    if (!ended || search_.get() != ended) {
        // A stopped search: its thread is done; its answer goes with it.
        std::erase_if(endingSearches_, [ended](const std::unique_ptr<CitySearch>& s) { return s.get() == ended; });
        return;
    }
    const std::unique_ptr<CitySearch> done = std::move(search_);
    done->join();
    applySearch(*done);
}

void LocationManagerSetup::applySearch(CitySearch& done) {
    *cities_ = std::move(done.cities());
    setBusy(false, nullptr);
    if (done.status() != 0) return;

    if (cities_->empty()) {
        if (resultsShown()) showResults(false, true);
        // No answer from any site says nothing about the city: that is told as such.
        if (everySourceFailedToFetch(done.scraper())) {
            std::cerr << "No weather site could be reached for the search of " << done.text() << std::endl;
            newLocationNotFoundTF->setStringValue(kNoSiteReached);
        } else {
            newLocationNotFoundTF->setStringValue(newLocationNotFound_);
        }
        if (newLocationWindow_) newLocationWindow_->makeFirstResponder(locationTF);
    } else if (cities_->size() == 1) {
        if (!setCurrentLocationTo(&cities_->front(), 1)) std::cerr << "Failed to set current location!" << std::endl;
        closeNewLocAction(nullptr);
    } else {
        numLocationsFoundTF->setStringValue(
            formatWithArguments("Found %u cities", {std::to_string(cities_->size())}));
        if (!resultsShown()) {
            showResults(true, true);
            // Tab goes from the city field to the list, and on from there as it
            // went before (once: a later opening finds the loop already wired).
            if (locationTF->nextKeyView() != locsTableView) {
                locsTableView->setNextKeyView(locationTF->nextKeyView());
                locationTF->setNextKeyView(locsTableView);
            }
        }
        locsTableView->selectRow(0);
        locsTableView->scrollRowToVisible(0);
        locsTableView->setTarget(this);
        locsTableView->setDoubleAction([this](Control& table) { locsAction(&table); });
        locsTableView->reloadData();
        // The list takes the keyboard: editing of the text field ends.
        locationTF->setStringValue(locationTF->stringValue());
        if (newLocationWindow_) newLocationWindow_->makeFirstResponder(locsTableView);
        newLocationButton->setTitle(kChooseTitle);
    }
}

bool LocationManagerSetup::everySourceFailedToFetch(const AggrScraper& aggr) {
    const std::map<std::string, int>& statuses = aggr.lastSearchStatuses();
    if (statuses.empty()) return false;
    for (const auto& [source, status] : statuses)
        if (status != SuperScraper::FetchFailed) return false;
    return true;
}

void LocationManagerSetup::locsAction(Control* sender) {
    if (cities_->size() <= 1 || !locsTableView || locsTableView->numberOfSelectedRows() != 1) return;
    const int row = locsTableView->selectedRow();
    if (row < 0 || row >= static_cast<int>(cities_->size())) return;
    const Location chosen = (*cities_)[row];
    setCurrentLocationTo(&chosen, 0);
    cities_->clear();
    closeNewLocAction(sender);
}

bool LocationManagerSetup::setCurrentLocationTo(const Location* loc, long) {
    if (!locMan_ || !loc) return false;
    locMan_->addLocation(*loc);
    storeLocations();
    reloadManageTable();
    setupManagePopup();
    if (prefs_ && prefs_->prefs()) {
        prefs_->savePreferences();
        // An open preference window carries the list with OK; without one the
        // city would be lost with this program.
        if (!prefs_->lastSaveDelivered() && !(prefs_->prefsWindow && prefs_->prefsWindow->isVisible()))
            reportCityNotDelivered(loc->name, prefs_->lastSave());
    } else {
        // No preference window is open: its dictionary is gone, and nothing
        // would settle a pushed list. The city goes alone; the menu program
        // adds it to its own list and stores that at once.
        const Delivery sent =
            setupRef_ ? setupRef_->callSkyvane("setCurrentLocationTo", {LocationManagerMac::dictionaryFromLocation(*loc)})
                      : Delivery{};
        if (!sent) reportCityNotDelivered(loc->name, sent);
    }
    return true;
}

void LocationManagerSetup::reportCityNotDelivered(const std::string& city, const Delivery& delivery) {
    std::cerr << "The new city " << city << " could not be sent to Skyvane" << std::endl;
    // The program stays until the user has read this (it quits when no window is left).
    alertNotDelivered(delivery, "Skyvane did not receive the new city",
                      "\"" + city + "\" could not be sent to Skyvane. Open Skyvane and add the city again.", nullptr,
                      [this] {
                          if (setupRef_) setupRef_->windowClosed();
                      });
}

void LocationManagerSetup::closeNewLocAction(Control*) {
    if (!newLocationWindow_) return;
    // A search still running ends with the window: nothing it finds is added.
    const bool stopped = stopSearch();
    WindowRef window = newLocationWindow_;
    if (window->isSheet()) Application::shared().endSheet(*window, 0);
    window->orderOut();
    // The window opens idle next time.
    if (stopped) setBusy(false, nullptr);
    if (setupRef_) setupRef_->windowClosed();
    newLocationNotFoundTF->setStringValue("");
    locationTF->setStringValue("");
    if (resultsShown()) showResults(false, false);
    window->setContentView(nullptr);
    newLocationWindow_.reset();
}

void LocationManagerSetup::showResults(bool show, bool animate) {
    Window* window = newLocationWindow_ ? newLocationWindow_.get() : nullptr;
    if (!window || !locsView || !locsBox || !newLocationBox) return;
    const double height = locsView->frame().height();
    if (show) {
        locsBox->addSubview(locsView);
    } else {
        locsView->removeFromSuperview();
    }
    locsBox->sizeToFit();
    growWindow(*window, *newLocationBox, show ? height : -height, animate);
}
