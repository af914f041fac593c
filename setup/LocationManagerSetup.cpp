#include "setup/LocationManagerSetup.h"

#include <iostream>

#include "model/LocationManager.h"
#include "model/LocationManagerMac.h"
#include "model/PreferenceKeys.h"
#include "platform/Bundle.h"
#include "platform/ui/Alert.h"
#include "setup/ComTeskPlimSetup.h"
#include "setup/SkyvanePrefs.h"
#include "util/LocalizedFormat.h"

namespace {

const char kFavoriteColumn[] = "0";
// At most this many cities are favorites.
constexpr unsigned int kMaxFavorites = 6;

}  // namespace

LocationManagerSetup::LocationManagerSetup() : cities_(std::make_unique<std::vector<Location>>()) {}

LocationManagerSetup::~LocationManagerSetup() {
    // No search's end reaches this object any more; each search stops and
    // its thread is waited for (its fetches end at once).
    searchChannel_.close();
    search_.reset();
    endingSearches_.clear();
    if (newLocationWindow_) newLocationWindow_->setContentView(nullptr);
}

void LocationManagerSetup::awakeFromNib() {
    favoriteCell_ = std::make_shared<ButtonCell>(ButtonType::Switch);
    favoriteCell_->setSmallControlSize(true);
    favoriteCell_->setTitle("");
    favoriteCell_->setEnabled(true);
    favoriteCell_->setState(kOffState);
    favoriteCell_->setTarget(this);
    if (manageTableView)
        if (TableColumn* column = manageTableView->tableColumnWithIdentifier(kFavoriteColumn))
            column->dataCell = favoriteCell_;
    // The info list starts hidden; this object keeps it meanwhile.
    if (infoScrollView) infoScrollView->removeFromSuperview();
    if (newLocationNotFoundTF) {
        newLocationNotFound_ = newLocationNotFoundTF->stringValue();
        newLocationNotFoundTF->setStringValue("");
    }
}

void LocationManagerSetup::initWithPreferences(const PrefsRef& prefs) {
    if (locMan_ || !prefs) return;
    std::vector<Location> list;
    auto it = prefs->find(kLocations);
    if (it != prefs->end()) LocationManagerMac::arrayToLocationList(it->second, list);
    locMan_ = std::make_unique<LocationManager>(list);
    setupManagePopup();
    reloadManageTable();
}

void LocationManagerSetup::storeLocations() {
    if (!locMan_ || !prefs_ || !prefs_->prefs()) return;
    (*prefs_->prefs())[kLocations] = LocationManagerMac::arrayFromLocationList(locMan_->locationList());
}

void LocationManagerSetup::reloadManageTable() {
    if (!manageTableView) return;
    manageTableView->reloadData();
    manageTableView->setNeedsDisplay();
}

int LocationManagerSetup::numberOfRowsInTableView(TableView& table) {
    if (&table == manageTableView.get()) return locMan_ ? locMan_->numLocations() : 0;
    return static_cast<int>(cities_->size());
}

plist::Value LocationManagerSetup::objectValue(TableView& table, const TableColumn& column, int row) {
    if (row < 0) return {};
    if (&table == manageTableView.get()) {
        if (!locMan_) return {};
        const auto index = static_cast<unsigned int>(row);
        if (column.identifier == kFavoriteColumn) return plist::Value(locMan_->isFavoriteAtIndex(index));
        return plist::Value(locMan_->locNameAtIndex(index));
    }
    if (row >= static_cast<int>(cities_->size())) return {};
    return plist::Value((*cities_)[row].name);
}

void LocationManagerSetup::setObjectValue(TableView& table, const plist::Value&, const TableColumn&, int row) {
    // The value is ignored: a click toggles the favorite mark.
    if (&table != manageTableView.get() || !locMan_ || row < 0) return;
    const auto index = static_cast<unsigned int>(row);
    if (!locMan_->isFavoriteAtIndex(index) && locMan_->numFavorites() >= kMaxFavorites) {
        showFavoriteLimit();
        return;
    }
    locMan_->toggleFavoriteStatus(index);
    reloadManageTable();
    storeLocations();
}

void LocationManagerSetup::showFavoriteLimit() {
    Bundle& bundle = setupRef_ ? setupRef_->bundle() : Bundle::mainBundle();
    const std::string title = bundle.localizedString("problem", "", "Util");
    const std::string ok = bundle.localizedString("ok", "", "Util");
    const std::string message = formatWithArguments(bundle.localizedString("favoritelimit", "", "Skyvane"),
                                                    {std::to_string(kMaxFavorites)});
    Alert::create(title, message, ok)->beginSheet(manageTableView ? manageTableView->window() : nullptr);
}

void LocationManagerSetup::deleteManageAction(Control*) {
    if (!locMan_ || !manageTableView) return;
    // No selection gives an index out of range, which the list ignores.
    locMan_->removeLocationAtIndex(static_cast<unsigned int>(manageTableView->selectedRow()));
    storeLocations();
    reloadManageTable();
    setupManagePopup();
}

void LocationManagerSetup::setupManagePopup() {
    if (!locMan_ || !managePrimaryPopup) return;
    managePrimaryPopup->removeAllItems();
    for (int i = 0; i < locMan_->numLocations(); ++i) {
        managePrimaryPopup->addItemWithTitle(locMan_->locNameAtIndex(i));
        if (locMan_->isPrimaryAtIndex(i)) managePrimaryPopup->selectItemAtIndex(i);
    }
}

void LocationManagerSetup::primaryChangedAction(Control*) {
    if (!locMan_ || !managePrimaryPopup) return;
    const int index = managePrimaryPopup->indexOfSelectedItem();
    if (index < 0) return;
    locMan_->makePrimary(static_cast<unsigned int>(index));
    storeLocations();
}

void LocationManagerSetup::tableViewSelectionDidChange(TableView& table) {
    if (&table == locsTableView.get()) {
        newLocationButton->setTitle("Choose");
        newLocationButton->setEnabled(table.numberOfSelectedRows() > 0);
        return;
    }
    if (!locMan_) return;
    if (manageDeleteButton) manageDeleteButton->setEnabled(locMan_->numLocations() > 1);

    std::string text;
    const int row = manageTableView ? manageTableView->selectedRow() : -1;
    if (row >= 0 && row < locMan_->numLocations()) {
        const Location& city = locMan_->locationList()[row];
        const plist::Value& order = prefs_ ? prefs_->pref(kSourcePreference) : plist::Value();
        for (const plist::Value& entry : order.isArray() ? order.asArray() : plist::Array{}) {
            const int64_t source = entry.asInt();
            const char* key = source == kWeatherGov ? kWeatherGovKey
                              : source == kAol      ? kAolKey
                              : source == kUg       ? kUgKey
                              : source == kUsa      ? kUsaKey
                                                    : nullptr;
            const std::string& miss = AggrScraper::KeyNotInDb;
            if (!key || getHash(city.serviceKeys, key, miss.c_str()) == miss) continue;
            if (!text.empty()) text += "\n";
            text += kSourceToString[source];
        }
    }
    if (infoTextView) infoTextView->setString(text);
}

void LocationManagerSetup::growWindow(Window& window, View& grown, double height, bool animate) {
    Rect frame = window.frame();
    frame.size.height += height;
    frame.origin.y -= height;
    View* holder = grown.superview();
    if (holder) {
        Rect inner = holder->frame();
        inner.size.height += height;
        holder->setFrame(inner);
    }
    // The content view follows the window's frame.
    window.setFrame(frame, true, animate);
}

void LocationManagerSetup::infoDisclosureAction(Control*) {
    if (!infoScrollView || !infoBox || !manageBox) return;
    Window* window = infoBox->window();
    if (!window) return;
    const double height = infoScrollView->frame().height();
    const double change = infoShown() ? -height : height;
    if (change < 0)
        infoScrollView->removeFromSuperview();
    else
        infoBox->addSubview(infoScrollView);
    infoBox->sizeToFit();
    // The table keeps to the top of the pane (its autoresizing); the list opens beneath it.
    growWindow(*window, *manageBox, change, false);
}
