#pragma once
// The locations pane of the preference window and the New Location window.
//
// The pane edits a location list of its own, loaded once from the
// preference "locations": a table of cities with a favorite check box each,
// a pop-up choosing the primary city, Delete, and a disclosable list of the
// weather sources that know the selected city. Every change is written back
// at once into the dictionary the preference window edits.
//
// The New Location window searches every enabled weather source for a city
// (on a thread of its own, the window staying live meanwhile), adds the city
// found or chosen as the new primary city and sends the whole dictionary to
// the menu program, or the city alone when no preference window is open.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/Location.h"
#include "platform/MainLoop.h"
#include "platform/ui/Controls.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "scrapers/AggrScraper.h"
#include "setup/CitySearch.h"
#include "setup/ComTeskPrefsControl.h"
#include "setup/SkyvaneDelivery.h"

class ComTeskPlimSetup;
class LocationManager;
class SkyvanePrefs;

class LocationManagerSetup : public TableDataSource, public TableViewDelegate {
public:
    // Makes the scraper of one source for a search from its configuration
    // texts (four for the National Weather Service, two for the others); null
    // leaves the source out.
    using ScraperFactory =
        std::function<std::unique_ptr<SuperScraper>(AggrScraper::ServiceType, const std::vector<std::string>& texts)>;
    // Replaces how the search makes its scrapers (tests use their own
    // sites); null goes back to the site scrapers.
    static void setScraperFactory(ScraperFactory factory);

    LocationManagerSetup();
    ~LocationManagerSetup() override;
    LocationManagerSetup(const LocationManagerSetup&) = delete;
    LocationManagerSetup& operator=(const LocationManagerSetup&) = delete;

    // Installs the favorite check box, hides the info list and keeps the
    // not-found text; the user-interface file calls it once it is loaded.
    void awakeFromNib();
    void setSetup(ComTeskPlimSetup* setup) { setupRef_ = setup; }

    // Loads the list from "locations", the first time only.
    void initWithPreferences(const PrefsRef& prefs);
    LocationManager* locationManager() const { return locMan_.get(); }

    // The pane.
    void setupManagePopup();
    void deleteManageAction(Control* sender);
    void primaryChangedAction(Control* sender);
    void infoDisclosureAction(Control* sender);
    bool infoShown() const { return infoScrollView && infoScrollView->superview(); }

    // The New Location window.
    void newManageAction(Control* sender);
    void searchAction(Control* sender);
    void locsAction(Control* sender);
    void closeNewLocAction(Control* sender);
    void controlTextDidBeginEditing();
    // Adds the city to the list as the primary city and sends the
    // preferences on (with no preference window open, the city alone, which
    // the menu program adds and stores); false when there is no list yet or
    // no city.
    bool setCurrentLocationTo(const Location* loc, long window);
    const std::vector<Location>& cities() const { return *cities_; }
    const WindowRef& newLocationWindow() const { return newLocationWindow_; }
    const std::string& newLocationNotFound() const { return newLocationNotFound_; }
    bool resultsShown() const { return locsView && locsView->window(); }
    // Whether a search is running (its answer not yet applied).
    bool searching() const { return search_ != nullptr; }

    // Both tables' data source and delegate.
    int numberOfRowsInTableView(TableView& table) override;
    plist::Value objectValue(TableView& table, const TableColumn& column, int row) override;
    void setObjectValue(TableView& table, const plist::Value& value, const TableColumn& column, int row) override;
    bool shouldEditTableColumn(TableView&, const TableColumn&, int) override { return false; }
    void tableViewSelectionDidChange(TableView& table) override;

    // Connected by the "Prefs" user-interface file: the New Location window's views...
    std::shared_ptr<TextField> locationTF;
    ViewRef newLocationView;
    std::shared_ptr<Box> newLocationBox, locsBox;
    std::shared_ptr<Button> newLocationButton;
    std::shared_ptr<TextField> newLocationNotFoundTF, numLocationsFoundTF;
    std::shared_ptr<ProgressIndicator> progressIndicator;
    std::shared_ptr<TableView> locsTableView;
    ViewRef locsView;
    // ... and the pane's.
    std::shared_ptr<Box> manageBox;
    std::shared_ptr<Button> manageDeleteButton;
    std::shared_ptr<TableView> manageTableView;
    std::shared_ptr<PopUpButton> managePrimaryPopup;
    std::shared_ptr<Box> infoBox;
    std::shared_ptr<ScrollView> infoScrollView;
    std::shared_ptr<TextView> infoTextView;
    SkyvanePrefs* prefs_ = nullptr;

private:
    // Writes the whole list into the edited dictionary's "locations".
    void storeLocations();
    void reloadManageTable();
    void showFavoriteLimit();
    // Starts one search of the text; the cities found go to cities_ when it
    // has ended (searchEnded).
    void search(Control* sender);
    // On the main thread once a search's thread is done: applies the answer
    // of the running search, drops that of a stopped one.
    void searchEnded(CitySearch* ended);
    void applySearch(CitySearch& done);
    // Stops the running search, whose answer is then dropped; false when
    // none was running.
    bool stopSearch();
    void registerSources(AggrScraper& aggr);
    void setBusy(bool busy, Control* sender);
    // Grows or shrinks a window by a view's height, top edge kept.
    static void growWindow(Window& window, View& grown, double height, bool animate);
    void showResults(bool show, bool animate);
    // True when the search started at least one source and none of them
    // could fetch its page.
    static bool everySourceFailedToFetch(const AggrScraper& aggr);
    // Logs and shows that an added city did not reach the menu program.
    void reportCityNotDelivered(const std::string& city, const Delivery& delivery);

    std::unique_ptr<std::vector<Location>> cities_;
    std::unique_ptr<LocationManager> locMan_;
    std::string newLocationNotFound_;
    WindowRef newLocationWindow_;
    ComTeskPlimSetup* setupRef_ = nullptr;
    std::shared_ptr<ButtonCell> favoriteCell_;
    // The running search, and the stopped ones whose threads are ending.
    std::unique_ptr<CitySearch> search_;
    std::vector<std::unique_ptr<CitySearch>> endingSearches_;
    // Carries the end of each search to the main thread; closed first at teardown.
    MainThreadChannel searchChannel_;
};
