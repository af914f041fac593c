// The "Prefs" user-interface file: the preference window with its general,
// locations and sources panes, the New Location window's view, and the two
// pane controllers it creates and connects.

#include "model/PreferenceKeys.h"
#include "platform/ui/UIFile.h"
#include "setup/LocationManagerSetup.h"
#include "setup/SkyvanePrefs.h"
#include "setup/SourceSetup.h"

namespace {

std::shared_ptr<TextField> label(const Rect& frame, const std::string& text) {
    auto field = std::make_shared<TextField>(frame);
    field->setEditable(false);
    field->setStringValue(text);
    return field;
}

// A label beside a control: screen readers read the control by its text.
std::shared_ptr<TextField> labelFor(const ViewRef& control, const Rect& frame, const std::string& text) {
    auto field = label(frame, text);
    control->setLabelledBy(field);
    return field;
}

std::shared_ptr<Button> button(const Rect& frame, const std::string& title) {
    auto b = std::make_shared<Button>(frame);
    b->setTitle(title);
    return b;
}

std::shared_ptr<PopUpButton> popup(const Rect& frame, std::initializer_list<std::pair<const char*, int>> items) {
    auto p = std::make_shared<PopUpButton>(frame);
    for (const auto& [title, tag] : items) p->addItemWithTitle(title)->setTag(tag);
    return p;
}

// A pane of the window: the full width of the box, named for tests.
ViewRef pane(double height, const char* identifier) {
    auto view = std::make_shared<View>(Rect{0, 0, 400, height});
    view->setIdentifier(identifier);
    return view;
}

std::shared_ptr<TableView> table(const Rect& frame, std::initializer_list<TableColumn> columns,
                                 TableDataSource* source, TableViewDelegate* delegate = nullptr) {
    auto t = std::make_shared<TableView>(frame);
    for (const TableColumn& column : columns) t->addTableColumn(column);
    t->setDataSource(source);
    t->setDelegate(delegate);
    return t;
}

// Connects a control's action to its target.
void wire(Control& control, const void* target, const char* action, TargetAction<Control>::Handler handler) {
    control.setTarget(target);
    control.setAction(action, std::move(handler));
}

void addAll(const ViewRef& parent, std::initializer_list<ViewRef> views) {
    for (const ViewRef& v : views) parent->addSubview(v);
}

// A table inside a scroll view of the same frame.
std::shared_ptr<ScrollView> scrolled(const std::shared_ptr<TableView>& table) {
    auto scroll = std::make_shared<ScrollView>(table->frame());
    table->setFrameOrigin({0, 0});
    scroll->setDocumentView(table);
    return scroll;
}

// Rows are 40 points apart: pop-up buttons, buttons and text fields are 34
// points tall as the desktop draws them; labels sit level with their control.
void buildGeneralPane(SkyvanePrefs& owner) {
    owner.generalView = pane(316, "generalView");
    auto changed = [&owner](Control& sender) { owner.widgetChanged(sender); };

    owner.unitsPopup = popup({130, 272, 190, 34}, {{"Metric", kUnitsMetric}, {"US Standard", kUnitsUSStandard},
                                                    {"Both", kUnitsBoth}});
    owner.fontSizePopup = popup({130, 232, 190, 34}, {{"Smaller", kSmaller}, {"Larger", kLarger}});
    owner.iconSetPopup = popup({130, 192, 190, 34}, {{"Classic", kClassicIcon}, {"Sky", kSkyIcon}});
    owner.satImageView = std::make_shared<ImageView>(Rect{336, 185, 48, 48});
    owner.satImageView->setAccessibilityLabel("Icon preview");  // a picture only: named for screen readers
    owner.satSlider = std::make_shared<Slider>(Rect{130, 154, 190, 30}, 0, 1);
    owner.freqSlider = std::make_shared<Slider>(Rect{130, 118, 190, 30}, 15, 120);
    owner.freqTF = label({326, 124, 30, 18}, "");
    owner.checkboxMatrix = std::make_shared<Matrix>(Rect{20, 10, 360, 72}, 3, 3);
    const char* const titles[3][3] = {{"Forecast", "Humidity", "Visibility"},
                                      {"Feels Like", "Wind", "Sunrise/Sunset"},
                                      {"Radar", "Barometer", "Dew Point"}};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            owner.checkboxMatrix->cellAtRow(row, column)->setTitle(titles[row][column]);

    for (std::shared_ptr<Control> control :
         std::initializer_list<std::shared_ptr<Control>>{owner.unitsPopup, owner.fontSizePopup, owner.iconSetPopup,
                                                         owner.satSlider, owner.freqSlider, owner.checkboxMatrix}) {
        wire(*control, &owner, "widgetChanged:", changed);
    }
    addAll(owner.generalView,
           {labelFor(owner.unitsPopup, {20, 280, 100, 18}, "Units:"), owner.unitsPopup,
            labelFor(owner.fontSizePopup, {20, 240, 100, 18}, "Text size:"), owner.fontSizePopup,
            labelFor(owner.iconSetPopup, {20, 200, 100, 18}, "Icon style:"), owner.iconSetPopup, owner.satImageView,
            labelFor(owner.satSlider, {20, 160, 100, 18}, "Icon color:"), owner.satSlider,
            labelFor(owner.freqSlider, {20, 124, 100, 18}, "Update every:"), owner.freqSlider, owner.freqTF,
            label({358, 124, 36, 18}, "min"), labelFor(owner.checkboxMatrix, {20, 90, 200, 18}, "Show in the menu:"),
            owner.checkboxMatrix});
}

void buildLocationsPane(SkyvanePrefs& owner, LocationManagerSetup& loc) {
    owner.locView = pane(300, "locView");
    loc.manageTableView =
        table({10, 96, 380, 194}, {TableColumn("0", "Favorite", 72), TableColumn("1", "City", 298)}, &loc, &loc);
    // No label stands beside the table: it is read by the pane's name.
    loc.manageTableView->setAccessibilityLabel("Locations");

    loc.managePrimaryPopup = std::make_shared<PopUpButton>(Rect{110, 52, 190, 34});
    wire(*loc.managePrimaryPopup, &loc, "primaryChangedAction:", [&loc](Control& s) { loc.primaryChangedAction(&s); });
    loc.manageDeleteButton = button({310, 52, 80, 34}, "Delete");
    wire(*loc.manageDeleteButton, &loc, "deleteManageAction:", [&loc](Control& s) { loc.deleteManageAction(&s); });
    auto newButton = button({10, 10, 150, 34}, "New Location…");
    wire(*newButton, &loc, "newManageAction:", [&loc](Control& s) { loc.newManageAction(&s); });
    auto disclose = std::make_shared<Button>(Rect{240, 10, 150, 34}, ButtonType::Toggle);
    disclose->setTitle("Sources for City");
    wire(*disclose, &loc, "infoDisclosureAction:", [&loc](Control& s) { loc.infoDisclosureAction(&s); });

    // The table and its controls keep to the top of the pane; the info list
    // opens beneath them.
    loc.manageBox = std::make_shared<Box>(Rect{0, 0, 400, 300});
    loc.manageBox->setContentViewMargins({0, 0});
    loc.manageBox->setAutoresizingMask(kViewMinYMargin);
    addAll(loc.manageBox,
           {scrolled(loc.manageTableView), labelFor(loc.managePrimaryPopup, {10, 60, 95, 18}, "Primary city:"),
            loc.managePrimaryPopup, loc.manageDeleteButton, newButton, disclose});
    loc.infoBox = std::make_shared<Box>(Rect{0, 0, 400, 0});
    loc.infoBox->setContentViewMargins({0, 0});
    loc.infoTextView = std::make_shared<TextView>(Rect{0, 0, 380, 70});
    loc.infoTextView->setLabelledBy(disclose);  // the toggle that opens it heads the list
    loc.infoScrollView = std::make_shared<ScrollView>(Rect{10, 0, 380, 70});
    loc.infoScrollView->setDocumentView(loc.infoTextView);
    loc.infoBox->addSubview(loc.infoScrollView);
    addAll(owner.locView, {loc.manageBox, loc.infoBox});
}

void buildSourcesPane(SkyvanePrefs& owner, SourceSetup& sources) {
    owner.sourceView = pane(200, "sourceView");
    sources.sourceTable =
        table({10, 34, 380, 156}, {TableColumn("0", "Rank", 50), TableColumn("1", "Source", 320)}, &sources);
    sources.sourceTable->setAccessibilityLabel("Sources");  // the pane's name, as for the locations table
    addAll(owner.sourceView,
           {scrolled(sources.sourceTable), label({10, 8, 380, 18}, "Drag a source to change the order.")});
}

// From the top: the city field with Search, the result list while it is
// shown (the window grows by its height), then the message, the busy
// indicator and Close at the bottom.
void buildNewLocationView(LocationManagerSetup& loc) {
    loc.newLocationView = std::make_shared<View>(Rect{0, 0, 480, 146});
    loc.newLocationView->setIdentifier("newLocationView");
    // The search controls keep to the top when the result list opens beneath.
    loc.newLocationBox = std::make_shared<Box>(Rect{0, 62, 480, 84});
    loc.newLocationBox->setContentViewMargins({0, 0});
    loc.newLocationBox->setAutoresizingMask(kViewMinYMargin);
    loc.locationTF = std::make_shared<TextField>(Rect{20, 12, 350, 34});
    wire(*loc.locationTF, &loc, "searchAction:", [&loc](Control& s) { loc.searchAction(&s); });
    loc.locationTF->setBeginEditingHandler([&loc](TextField&) { loc.controlTextDidBeginEditing(); });
    loc.newLocationButton = button({380, 12, 80, 34}, "Search");
    wire(*loc.newLocationButton, &loc, "searchAction:", [&loc](Control& s) { loc.searchAction(&s); });
    addAll(loc.newLocationBox, {labelFor(loc.locationTF, {20, 56, 440, 18}, "City name (for example Sunnyvale, CA):"),
                                loc.locationTF, loc.newLocationButton});

    // The list opens directly under the field; its count heads it.
    loc.locsTableView = table({20, 4, 440, 138}, {TableColumn("0", "City", 420)}, &loc, &loc);
    loc.numLocationsFoundTF = label({20, 148, 300, 18}, "");
    loc.locsTableView->setLabelledBy(loc.numLocationsFoundTF);
    loc.locsView = std::make_shared<View>(Rect{0, 0, 480, 170});
    addAll(loc.locsView, {loc.numLocationsFoundTF, scrolled(loc.locsTableView)});
    loc.locsBox = std::make_shared<Box>(Rect{0, 62, 480, 0});
    loc.locsBox->setContentViewMargins({0, 0});

    // Three lines of room: the message about incomplete names is long.
    // It ends a point below the list's box, which GTK gives a point even when empty.
    loc.newLocationNotFoundTF = label({20, 7, 320, 54}, "No city of that name was found.");
    loc.progressIndicator = std::make_shared<ProgressIndicator>(Rect{352, 19, 16, 16});
    loc.progressIndicator->setHidden(true);
    auto close = button({380, 10, 80, 34}, "Close");
    wire(*close, &loc, "closeNewLocAction:", [&loc](Control& s) { loc.closeNewLocAction(&s); });
    // Tab goes round the field, its button and Close; the result list, once shown, comes in after the field.
    loc.locationTF->setNextKeyView(loc.newLocationButton);
    loc.newLocationButton->setNextKeyView(close);
    close->setNextKeyView(loc.locationTF);
    addAll(loc.newLocationView,
           {loc.newLocationBox, loc.locsBox, loc.newLocationNotFoundTF, loc.progressIndicator, close});
}

bool buildPrefs(SkyvanePrefs& owner) {
    owner.prefsWindow = Window::create({200, 300, 432, 54}, "Skyvane Preferences");
    const ViewRef& content = owner.prefsWindow->contentView();
    // The box takes what the window grows by; OK and Cancel stay at the bottom.
    owner.box = std::make_shared<Box>(Rect{0, 54, 432, 0});
    owner.box->setAutoresizingMask(kViewHeightSizable);
    auto ok = button({336, 10, 80, 34}, "OK");
    wire(*ok, &owner, "OKAction:", [&owner](Control& s) { owner.OKAction(&s); });
    auto cancel = button({246, 10, 80, 34}, "Cancel");
    wire(*cancel, &owner, "cancelAction:", [&owner](Control& s) { owner.cancelAction(&s); });
    addAll(content, {owner.box, cancel, ok});

    owner.locManSetup_ = std::make_shared<LocationManagerSetup>();
    owner.locManSetup_->prefs_ = &owner;
    owner.sourceSetup_ = std::make_shared<SourceSetup>();
    buildGeneralPane(owner);
    buildLocationsPane(owner, *owner.locManSetup_);
    buildSourcesPane(owner, *owner.sourceSetup_);
    buildNewLocationView(*owner.locManSetup_);

    owner.locManSetup_->awakeFromNib();
    owner.awakeFromNib();
    return true;
}

}  // namespace

void registerPrefsUIFile() {
    registerUIFile("Prefs", [](UIOwner& o) {
        auto* owner = dynamic_cast<SkyvanePrefs*>(&o);
        return owner && buildPrefs(*owner);
    });
}
