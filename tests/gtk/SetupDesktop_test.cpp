// The setup application as a person uses it on a real display: layout of
// every window and state, the results list under the pointer, closing from
// the desktop, and text that reaches GTK as UTF-8; with a window manager,
// closing, minimising, placing and dragging as on a desktop.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtk/gtk-a11y.h>

#include "app/ComTeskUtilControl.h"
#include "gtk/PointerHand.h"
#include "gtk/WindowManager.h"
#include "model/LocationManager.h"
#include "platform/EnvScope.h"
#include "platform/gtk/GtkPresenter.h"
#include "platform/ui/Alert.h"
#include "setup/LineSearchScraper.h"
#include "setup/SetupFixture.h"
#include "support/CaptureStream.h"
#include "support/FixtureServer.h"

namespace {

// Syncs and lets GTK map, size and draw every window.
void settle(GtkPresenter& presenter) {
    for (int round = 0; round < 15; ++round) {
        presenter.sync();
        for (int i = 0; i < 500 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
        g_usleep(10000);
    }
}

GdkRectangle inToplevel(GtkWidget* widget) {
    GdkRectangle box;
    gtk_widget_get_allocation(widget, &box);
    gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), 0, 0, &box.x, &box.y);
    return box;
}

std::vector<GtkWidget*> children(GtkWidget* widget) {
    std::vector<GtkWidget*> out;
    if (!widget || !GTK_IS_CONTAINER(widget)) return out;
    GList* list = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* c = list; c; c = c->next) out.push_back(GTK_WIDGET(c->data));
    g_list_free(list);
    return out;
}

// The children of the window's content (its fixed layout and toolbar).
std::vector<GtkWidget*> parts(GtkWidget* window) { return children(gtk_bin_get_child(GTK_BIN(window))); }

std::string describeWidget(GtkWidget* w) {
    const char* text = GTK_IS_LABEL(w)    ? gtk_label_get_text(GTK_LABEL(w))
                       : GTK_IS_BUTTON(w) ? gtk_button_get_label(GTK_BUTTON(w))
                                          : nullptr;
    const GdkRectangle b = inToplevel(w);
    return std::string(G_OBJECT_TYPE_NAME(w)) + " \"" + (text ? text : "") + "\" at " + std::to_string(b.x) + "," +
           std::to_string(b.y) + " " + std::to_string(b.width) + "x" + std::to_string(b.height);
}

// What is wrong with the window's layout, one line each: a widget outside
// it, overlapping siblings, a control smaller than GTK needs to draw it.
std::string layoutProblems(GtkWidget* window) {
    std::ostringstream out;
    GtkAllocation whole;
    gtk_widget_get_allocation(window, &whole);
    // The window is as wide as its model says (a long text wraps instead).
    for (GtkWidget* part : parts(window))
        if (int requested = 0; GTK_IS_FIXED(part)) {
            gtk_widget_get_size_request(part, &requested, nullptr);
            if (whole.width != requested) out << "window " << whole.width << " wide, its content " << requested << "\n";
        }
    std::function<void(GtkWidget*)> walk = [&](GtkWidget* widget) {
        const GdkRectangle box = inToplevel(widget);
        if (box.x < 0 || box.y < 0 || box.x + box.width > whole.width || box.y + box.height > whole.height)
            out << "outside the window: " << describeWidget(widget) << "\n";
        if (!GTK_IS_FIXED(widget) && !GTK_IS_BOX(widget) && !GTK_IS_WINDOW(widget)) {
            int minW = 0, natW = 0, minH = 0, natH = 0;
            if (GTK_IS_LABEL(widget) && gtk_label_get_line_wrap(GTK_LABEL(widget))) {
                gtk_widget_get_preferred_height_for_width(widget, box.width, &minH, &natH);
                if (box.height < natH) out << "cut (" << natH << " high needed): " << describeWidget(widget) << "\n";
            } else {
                gtk_widget_get_preferred_width(widget, &minW, &natW);
                gtk_widget_get_preferred_height(widget, &minH, &natH);
                const bool cut = GTK_IS_LABEL(widget) || GTK_IS_BUTTON(widget) ? box.width < natW : box.width < minW;
                if (cut || box.height < minH)
                    out << "cut (" << natW << " wide needed): " << describeWidget(widget) << "\n";
            }
            return;
        }
        std::vector<GtkWidget*> shown = children(widget);
        std::erase_if(shown, [](GtkWidget* w) { return !gtk_widget_get_visible(w); });
        for (size_t i = 0; i < shown.size(); ++i)
            for (size_t j = i + 1; j < shown.size(); ++j) {
                const GdkRectangle a = inToplevel(shown[i]), b = inToplevel(shown[j]);
                if (gdk_rectangle_intersect(&a, &b, nullptr))
                    out << "overlap: " << describeWidget(shown[i]) << " / " << describeWidget(shown[j]) << "\n";
            }
        for (GtkWidget* child : shown) walk(child);
    };
    walk(window);
    return out.str();
}

// The label of the toolbar button shown pressed ("" for none).
std::string pressedToolbarItem(GtkWidget* window) {
    std::string pressed;
    for (GtkWidget* part : parts(window))
        for (GtkWidget* item : GTK_IS_TOOLBAR(part) ? children(part) : std::vector<GtkWidget*>{})
            if (GTK_IS_TOGGLE_TOOL_BUTTON(item) && gtk_toggle_tool_button_get_active(GTK_TOGGLE_TOOL_BUTTON(item)))
                pressed = gtk_tool_button_get_label(GTK_TOOL_BUTTON(item));
    return pressed;
}

// Whether the window's picture holds more than one colour.
bool drawsSomething(GtkWidget* window) {
    GdkWindow* gdk = gtk_widget_get_window(window);
    GdkPixbuf* shot =
        gdk ? gdk_pixbuf_get_from_window(gdk, 0, 0, gdk_window_get_width(gdk), gdk_window_get_height(gdk)) : nullptr;
    if (!shot) return false;
    const guchar* pixels = gdk_pixbuf_get_pixels(shot);
    const int stride = gdk_pixbuf_get_rowstride(shot), channels = gdk_pixbuf_get_n_channels(shot);
    bool varied = false;
    for (int y = 0; y < gdk_pixbuf_get_height(shot) && !varied; ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(shot) && !varied; ++x)
            varied = std::memcmp(pixels + y * stride + x * channels, pixels, 3) != 0;
    g_object_unref(shot);
    return varied;
}

// The first button of the tree with the title.
std::shared_ptr<Button> findButton(const ViewRef& root, const std::string& title) {
    if (auto b = std::dynamic_pointer_cast<Button>(root); b && b->title() == title) return b;
    for (const ViewRef& v : root->subviews())
        if (auto found = findButton(v, title)) return found;
    return nullptr;
}

// Delivers an event made for `window` as if the display had sent it.
void send(GdkEventType type, GdkWindow* window, const std::function<void(GdkEvent*)>& fill = {}) {
    GdkEvent* event = gdk_event_new(type);
    event->any.window = GDK_WINDOW(g_object_ref(window));
    event->any.send_event = TRUE;
    if (fill) fill(event);
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// A close request as the window manager sends it.
void deleteEvent(GtkWidget* window) { send(GDK_DELETE, gtk_widget_get_window(window)); }

// A press or release of the first button at x, y of the tree view's rows.
void buttonEvent(GtkTreeView* tree, GdkEventType type, int x, int y) {
    send(type, gtk_tree_view_get_bin_window(tree), [&](GdkEvent* event) {
        event->button.time = static_cast<guint32>(g_get_monotonic_time() / 1000);
        event->button.x = x;
        event->button.y = y;
        event->button.button = 1;
        if (type == GDK_BUTTON_RELEASE) event->button.state = GDK_BUTTON1_MASK;
        gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
    });
}

std::string rowText(GtkTreeModel* model, int row, int column) {
    GtkTreeIter iter;
    gchar* text = nullptr;
    if (gtk_tree_model_iter_nth_child(model, &iter, nullptr, row)) gtk_tree_model_get(model, &iter, column, &text, -1);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

const char kTwelve[] =
    "Springfield, AL|n-al\nSpringfield, AR|n-ar\nSpringfield, CO|n-co\nSpringfield, FL|n-fl\n"
    "Springfield, GA|n-ga\nSpringfield, IL|n-il\nSpringfield, KY|n-ky\nSpringfield, MA|n-ma\n"
    "Springfield, MO|n-mo\nSpringfield, OH|n-oh\nSpringfield, OR|n-or\nSpringfield, VT|n-vt\n";

class SetupDesktopTest : public SetupTest {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(GtkPresenter::initialize()) << "no display"; }
    void SetUp() override {
        SetupTest::SetUp();
        useLineSearchSources(bundleRoot);
        env.set("http_proxy", ("http://127.0.0.1:" + std::to_string(server.port())).c_str());
        env.set("no_proxy", nullptr);
        server.route("n.example.com", "/search?q=Springfield", FixtureReply::page(kTwelve));
        server.route("n.example.com", "/search?q=Paris",
                     FixtureReply::page("Paris, KY|n-pky\nParis, TN|n-ptn\nParis, TX|n-ptx\n"));
        server.route("n.example.com", "/search?q=Nowhere", FixtureReply::page(""));
        presenter = std::make_unique<GtkPresenter>();
    }
    void TearDown() override {
        presenter.reset();
        SetupTest::TearDown();
    }

    LocationManagerSetup& open(const std::string& pane, bool firstRun = false) {
        setup.runPreferences(samplePrefs(), false, nullptr, pane, firstRun);
        settle(*presenter);
        return *setup.prefControl()->locManSetup_;
    }
    void search(LocationManagerSetup& loc, const std::string& text) {
        loc.locationTF->userType(text);
        ASSERT_TRUE(loc.newLocationButton->userClick());
        ASSERT_TRUE(searchEnds(loc));
        settle(*presenter);
    }
    GtkWidget* widget(const ViewRef& view) { return presenter->widgetFor(view.get()); }
    GtkWidget* window(const WindowRef& window) { return GTK_WIDGET(presenter->windowFor(window.get())); }
    void click(const std::shared_ptr<Button>& button) {
        ASSERT_TRUE(button);
        gtk_button_clicked(GTK_BUTTON(widget(button)));
        settle(*presenter);
    }

    FixtureServer server;
    EnvScope env;
    ComTeskPlimSetup setup;
    std::unique_ptr<GtkPresenter> presenter;
};

}  // namespace

TEST_F(SetupDesktopTest, EveryWindowAndStateIsLaidOutWithoutOverlapOrCutText) {
    LocationManagerSetup& loc = open("newloc");
    GtkWidget* newLoc = window(loc.newLocationWindow());
    ASSERT_NE(newLoc, nullptr);
    EXPECT_EQ(layoutProblems(newLoc), "") << "empty";
    EXPECT_TRUE(drawsSomething(newLoc));
    EXPECT_FALSE(gtk_window_get_deletable(GTK_WINDOW(newLoc)));

    // While the search holds the event loop the busy state is on screen: the
    // window is drawn with the spinner running and Search disabled.
    struct Busy {
        GtkWidget *spinner, *button;
        bool drawn;
        std::string problems;
    } busy{widget(loc.progressIndicator), widget(loc.newLocationButton), false, {}};
    const gulong id = g_signal_connect(newLoc, "draw", G_CALLBACK(+[](GtkWidget* w, cairo_t*, gpointer d) -> gboolean {
        auto* b = static_cast<Busy*>(d);
        gboolean active = FALSE;
        g_object_get(b->spinner, "active", &active, nullptr);
        if (!b->drawn && gtk_widget_get_visible(b->spinner) && active && !gtk_widget_get_sensitive(b->button)) {
            b->drawn = true;
            b->problems = layoutProblems(w);
        }
        return FALSE;
    }), &busy);
    search(loc, "Springfield");
    g_signal_handler_disconnect(newLoc, id);
    EXPECT_TRUE(busy.drawn);
    EXPECT_EQ(busy.problems, "") << "searching";
    ASSERT_EQ(loc.cities().size(), 12u);
    EXPECT_EQ(layoutProblems(newLoc), "") << "several results";
    // The search controls stay above the list.
    EXPECT_LT(inToplevel(widget(loc.locationTF)).y, inToplevel(gtk_widget_get_parent(widget(loc.locsTableView))).y);

    // No result, a second several-result search, none after several, and
    // the longest message the field shows.
    for (const std::string text : {"Nowhere", "Paris", "Springfield", "Nowhere", "Springfield 62704"}) {
        search(loc, text);
        EXPECT_EQ(layoutProblems(newLoc), "") << text;
        if (text == "Nowhere") {
            EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(widget(loc.newLocationNotFoundTF))),
                         "No city of that name was found.");
        }
    }
    loc.closeNewLocAction(nullptr);

    // The preference window, pane by pane.
    SkyvanePrefs& prefs = *setup.prefControl();
    open("general");
    GtkWidget* prefsWindow = window(prefs.prefsWindow);
    ASSERT_NE(prefsWindow, nullptr);
    for (const auto& [pane, title] : {std::pair{"general", "General"}, {"sources", "Sources"}, {"locations", "Locations"}}) {
        ASSERT_TRUE(prefs.prefsWindow->toolbar()->userClickItem(pane));
        settle(*presenter);
        EXPECT_EQ(layoutProblems(prefsWindow), "") << pane;
        EXPECT_EQ(pressedToolbarItem(prefsWindow), title);
    }
    click(findButton(prefs.locView, "Sources for City"));
    ASSERT_TRUE(loc.infoShown());
    EXPECT_EQ(layoutProblems(prefsWindow), "") << "sources for city";
    // The table header is in view, above the text of the info list.
    GtkWidget* manage = widget(loc.manageTableView);
    EXPECT_TRUE(gtk_tree_view_get_headers_visible(GTK_TREE_VIEW(manage)));
    EXPECT_LT(inToplevel(manage).y + inToplevel(manage).height, inToplevel(widget(loc.infoTextView)).y);
    EXPECT_TRUE(drawsSomething(prefsWindow));

    // The about box is drawn; the signup window made with it stays hidden.
    setup.runAboutBox();
    settle(*presenter);
    GtkWidget* about = window(setup.getUtil()->aboutWindow);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(about));
    EXPECT_TRUE(drawsSomething(about));
    EXPECT_EQ(window(setup.getUtil()->emailWindow), nullptr);
}

TEST_F(SetupDesktopTest, ADoubleClickAtTheEndOfALongListAddsTheCityClicked) {
    LocationManagerSetup& loc = open("newloc");
    search(loc, "Springfield");
    auto* tree = GTK_TREE_VIEW(widget(loc.locsTableView));
    ASSERT_NE(tree, nullptr);
    // The list takes the keyboard, row 0 selected.
    EXPECT_TRUE(gtk_widget_has_focus(GTK_WIDGET(tree)));
    EXPECT_EQ(loc.locsTableView->selectedRow(), 0);

    GtkAdjustment* scroll = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(tree));
    const double end = gtk_adjustment_get_upper(scroll) - gtk_adjustment_get_page_size(scroll);
    ASSERT_GT(end, 0) << "the list must be longer than its view";
    gtk_adjustment_set_value(scroll, end);
    settle(*presenter);

    GdkRectangle cell;
    GtkTreePath* path = gtk_tree_path_new_from_indices(11, -1);
    gtk_tree_view_get_cell_area(tree, path, gtk_tree_view_get_column(tree, 0), &cell);
    gtk_tree_path_free(path);
    const int x = cell.x + cell.width / 2, y = cell.y + cell.height / 2;
    // The first click selects the row; the presenter syncs before the second.
    for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) buttonEvent(tree, type, x, y);
    settle(*presenter);
    EXPECT_EQ(loc.locsTableView->selectedRow(), 11);
    EXPECT_DOUBLE_EQ(gtk_adjustment_get_value(scroll), end) << "the list kept its scroll position";
    // The double-click is whole in itself: the selecting click lies past the
    // double-click time first, however slowly the presenter synced, and both
    // presses go out back to back, so no press is paired by how loaded the
    // machine happened to be.
    gint doubleClickMs = 400;
    g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &doubleClickMs, nullptr);
    const gint64 pastReach = g_get_monotonic_time() + (doubleClickMs + 100) * G_GINT64_CONSTANT(1000);
    while (g_get_monotonic_time() < pastReach) settle(*presenter);
    for (GdkEventType type :
         {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE, GDK_BUTTON_PRESS, GDK_2BUTTON_PRESS, GDK_BUTTON_RELEASE})
        buttonEvent(tree, type, x, y);
    settle(*presenter);

    const Location& added = loc.locationManager()->primaryLocation();
    EXPECT_EQ(added.name, "Springfield, VT");
    EXPECT_EQ(added.serviceKeys.at("nws"), "n-vt");
    EXPECT_EQ(loc.locationManager()->numLocations(), 4);
    EXPECT_FALSE(loc.newLocationWindow());
}

TEST_F(SetupDesktopTest, ClosingNewLocationFromTheDesktopLetsItOpenAgain) {
    LocationManagerSetup& loc = open("locations");
    SkyvanePrefs& prefs = *setup.prefControl();
    for (int round = 0; round < 2; ++round) {
        click(findButton(prefs.locView, "New Location…"));
        GtkWidget* newLoc = window(loc.newLocationWindow());
        ASSERT_NE(newLoc, nullptr) << "round " << round;
        // Held, so that it can still be asked about after the close destroys it.
        g_object_ref(newLoc);
        EXPECT_TRUE(gtk_widget_get_visible(newLoc));
        EXPECT_TRUE(gtk_widget_has_focus(widget(loc.locationTF))) << "the city field takes the keyboard";
        deleteEvent(newLoc);
        settle(*presenter);
        EXPECT_FALSE(loc.newLocationWindow()) << "round " << round;
        EXPECT_FALSE(gtk_widget_get_visible(newLoc));
        g_object_unref(newLoc);
    }
    // A request from the menu program opens it too.
    open("newloc");
    ASSERT_TRUE(loc.newLocationWindow());
    EXPECT_TRUE(gtk_widget_get_visible(window(loc.newLocationWindow())));
    EXPECT_FALSE(Application::shared().isTerminated());

    // Closing the preference window from the desktop is Cancel: the menu
    // program gets the opening values back and the window closes.
    loc.closeNewLocAction(nullptr);
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    setup.runPreferences(samplePrefs(), false, &menu.name, "locations", false);
    settle(*presenter);
    deleteEvent(window(prefs.prefsWindow));
    settle(*presenter);
    EXPECT_EQ(menu.nextCall(), "setPreferences " + describe(plist::Value(samplePrefs())));
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    EXPECT_EQ(prefs.prefs(), nullptr);
    EXPECT_TRUE(Application::shared().isTerminated());
}

TEST_F(SetupDesktopTest, AFirstRunSetupQuitsWhenNewLocationIsClosedFromTheDesktop) {
    LocationManagerSetup& loc = open("newloc", true);
    GtkWidget* newLoc = window(loc.newLocationWindow());
    ASSERT_NE(newLoc, nullptr);
    EXPECT_FALSE(Application::shared().isTerminated());
    deleteEvent(newLoc);
    settle(*presenter);
    EXPECT_FALSE(loc.newLocationWindow());
    EXPECT_TRUE(Application::shared().isTerminated());
}

TEST_F(SetupDesktopTest, CityNamesReachGtkAsUtf8) {
    plist::Dict prefs = samplePrefs();
    plist::Array cities = prefs["locations"].asArray();
    cities.emplace_back(plist::Dict{{"city", "Montr\xE9" "al, QC"}, {"locStatus", 0}});
    prefs["locations"] = cities;
    setup.runPreferences(prefs, false, nullptr, "locations", false);
    settle(*presenter);
    LocationManagerSetup& loc = *setup.prefControl()->locManSetup_;
    // 0xE9 read as Mac Roman, as every other text of the engine.
    const std::string shown = "Montr\xC3\x88" "al, QC";
    EXPECT_EQ(rowText(gtk_tree_view_get_model(GTK_TREE_VIEW(widget(loc.manageTableView))), 3, 1), shown);
    EXPECT_EQ(rowText(gtk_combo_box_get_model(GTK_COMBO_BOX(widget(loc.managePrimaryPopup))), 3, 0), shown);
}

// ---- A search that waits on a site, and Escape.

namespace {

// A press of the key in the window, as the display delivers it (to the window, then its focused widget).
void keyPress(GtkWidget* window, guint keyval) {
    send(GDK_KEY_PRESS, gtk_widget_get_window(window), [&](GdkEvent* event) {
        event->key.time = static_cast<guint32>(g_get_monotonic_time() / 1000);
        event->key.keyval = keyval;
        GdkKeymapKey* keys = nullptr;
        gint count = 0;
        if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keyval, &keys,
                                              &count) && count > 0)
            event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        g_free(keys);
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    });
}

void escape(GtkWidget* window) { keyPress(window, GDK_KEY_Escape); }

// Runs the loop (and the presenter) until done() holds, at most timeoutMs.
bool runUntil(GtkPresenter& presenter, const std::function<bool()>& done, int timeoutMs = 10000) {
    const gint64 end = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
    while (!done()) {
        if (g_get_monotonic_time() > end) return false;
        presenter.sync();
        for (int i = 0; i < 100 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
        g_usleep(5000);
    }
    return true;
}

}  // namespace

TEST_F(SetupDesktopTest, ASearchOfASiteThatNeverAnswersKeepsTheWindowLiveAndEndsWithIt) {
    // The sources would wait two minutes; only stopping the search ends the fetch sooner.
    useLineSearchSources(bundleRoot, nullptr, 120);
    server.route("n.example.com", "/search?q=Stalled", FixtureReply::stall());
    LocationManagerSetup& loc = open("locations");
    SkyvanePrefs& prefs = *setup.prefControl();
    const std::pair<const char*, void (*)(GtkWidget*)> ways[] = {{"the window manager's close", deleteEvent},
                                                                  {"Escape", escape}};
    size_t stalls = 0;
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        click(findButton(prefs.locView, "New Location…"));
        const WindowRef model = loc.newLocationWindow();
        ASSERT_TRUE(model);
        GtkWidget* newLoc = window(model);
        GtkWidget* spinner = widget(loc.progressIndicator);
        ASSERT_NE(newLoc, nullptr);
        ASSERT_NE(spinner, nullptr);
        // Draws of the spinner while it turns.
        int turns = 0;
        const gulong id = g_signal_connect(spinner, "draw", G_CALLBACK(+[](GtkWidget* w, cairo_t*, gpointer d) -> gboolean {
            gboolean active = FALSE;
            g_object_get(w, "active", &active, nullptr);
            if (active && gtk_widget_get_mapped(w)) ++*static_cast<int*>(d);
            return FALSE;
        }), &turns);

        const size_t requests = server.requestCount();
        loc.locationTF->userType("Stalled");
        ASSERT_TRUE(loc.newLocationButton->userClick());
        ASSERT_TRUE(server.waitForRequests(requests + 1));
        // The event loop runs during the search: the spinner is drawn turning,
        // Search is disabled, and a key typed reaches the field.
        EXPECT_TRUE(runUntil(*presenter, [&] { return turns >= 3; })) << turns << " draws of the spinner";
        EXPECT_FALSE(gtk_widget_get_sensitive(widget(loc.newLocationButton)));
        keyPress(newLoc, GDK_KEY_End);
        keyPress(newLoc, GDK_KEY_x);
        EXPECT_TRUE(runUntil(*presenter, [&] { return loc.locationTF->stringValue() == "Stalledx"; }))
            << loc.locationTF->stringValue();
        EXPECT_TRUE(loc.searching());
        g_signal_handler_disconnect(spinner, id);

        // Closing ends the window as the event is handled, and the search with it.
        close(newLoc);
        EXPECT_FALSE(model->isVisible());
        EXPECT_FALSE(gtk_widget_get_visible(newLoc));
        EXPECT_FALSE(loc.newLocationWindow());
        EXPECT_FALSE(loc.searching());
        EXPECT_TRUE(server.waitForStallsLeft(++stalls, 20000)) << "the stalled fetch went on";
        settle(*presenter);
        EXPECT_TRUE(prefs.prefsWindow->isVisible());
    }
    // Opened again after the stopped searches, the window is idle.
    click(findButton(prefs.locView, "New Location…"));
    ASSERT_TRUE(loc.newLocationWindow());
    EXPECT_FALSE(gtk_widget_get_visible(widget(loc.progressIndicator)));
    EXPECT_TRUE(gtk_widget_get_sensitive(widget(loc.newLocationButton)));
}

TEST_F(SetupDesktopTest, EscapeClosesEachWindowAsItsOwnButtonDoes) {
    // In the about box it is the box's button: the only window gone, the program ends.
    setup.runAboutBox();
    settle(*presenter);
    const WindowRef about = setup.getUtil()->aboutWindow;
    ASSERT_TRUE(about && about->isVisible());
    EXPECT_FALSE(Application::shared().isTerminated());
    escape(window(about));
    EXPECT_FALSE(about->isVisible());
    EXPECT_TRUE(Application::shared().isTerminated());

    // New Location over the locations pane takes the keys of both windows
    // while it is up (a modal sheet): Escape is its Close and leaves the
    // preference window open.
    LocationManagerSetup& loc = open("locations");
    SkyvanePrefs& prefs = *setup.prefControl();
    GtkWidget* prefsWindow = window(prefs.prefsWindow);
    for (bool inSheet : {true, false}) {
        click(findButton(prefs.locView, "New Location…"));
        ASSERT_TRUE(loc.newLocationWindow());
        GtkWidget* sheet = window(loc.newLocationWindow());
        escape(inSheet ? sheet : prefsWindow);
        EXPECT_FALSE(loc.newLocationWindow()) << inSheet;
        EXPECT_TRUE(prefs.prefsWindow->isVisible()) << inSheet;
        settle(*presenter);
    }

    // In the preference window it is Cancel: the window goes and the menu
    // program has the opening values back.
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    setup.runPreferences(samplePrefs(), false, &menu.name, "locations", false);
    settle(*presenter);
    escape(prefsWindow);
    EXPECT_FALSE(prefs.prefsWindow->isVisible());
    EXPECT_EQ(prefs.prefs(), nullptr);
    settle(*presenter);
    EXPECT_FALSE(gtk_widget_get_visible(prefsWindow));
}

// ---- Preferences that cannot reach the menu program ----

namespace {

// The GTK dialog of the alert on screen, or null.
GtkWidget* shownAlertDialog() {
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next)
        if (GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) found = GTK_WIDGET(w->data);
    g_list_free(windows);
    return found;
}

std::string dialogText(GtkWidget* dialog, const char* property) {
    gchar* text = nullptr;
    g_object_get(dialog, property, &text, nullptr);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

}  // namespace

TEST_F(SetupDesktopTest, OKWithTheMenuProgramGoneKeepsTheEditsUntilItIsBack) {
    std::optional<FakeSkyvane> menu;
    menu.emplace();
    ASSERT_TRUE(menu->ready);
    const std::string name = menu->name;
    setup.runPreferences(samplePrefs(), true, &name, "general", false);
    settle(*presenter);
    SkyvanePrefs& prefs = *setup.prefControl();
    GtkWidget* prefsWindow = window(prefs.prefsWindow);

    // The menu program quits while the window is open; then the units change.
    menu.reset();
    GtkWidget* units = widget(prefs.unitsPopup);
    ASSERT_TRUE(GTK_IS_COMBO_BOX(units));
    gtk_combo_box_set_active(GTK_COMBO_BOX(units), 0);
    settle(*presenter);
    ASSERT_EQ(prefs.pref("units"), plist::Value(0));

    // OK: the alert says why, over the window, which stays with the edit.
    click(findButton(prefs.prefsWindow->contentView(), "OK"));
    GtkWidget* dialog = shownAlertDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialogText(dialog, "text"), "Skyvane did not receive your changes");
    EXPECT_EQ(dialogText(dialog, "secondary-text"),
              "Skyvane isn't running, so your changes could not be applied. Start Skyvane and try again.");
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), GTK_WINDOW(prefsWindow));
    EXPECT_TRUE(gtk_widget_get_visible(prefsWindow));
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(units)), 0);
    gtk_dialog_response(GTK_DIALOG(dialog), 1000 + kAlertDefaultReturn);
    settle(*presenter);
    EXPECT_EQ(shownAlertDialog(), nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(prefsWindow));

    // The menu program is back under its name: OK stores the edit and closes.
    menu.emplace();
    ASSERT_TRUE(menu->ready);
    click(findButton(prefs.prefsWindow->contentView(), "OK"));
    const std::string saved = menu->nextCall();
    EXPECT_EQ(saved.rfind("setPreferences {", 0), 0u) << saved;
    EXPECT_NE(saved.find("units=i:0;"), std::string::npos) << saved;
    EXPECT_EQ(shownAlertDialog(), nullptr);
    EXPECT_FALSE(gtk_widget_get_visible(prefsWindow));
    EXPECT_TRUE(Application::shared().isTerminated());
}

// ---- Dragging a source in the sources pane ----

namespace {

// The middle of a row, a fraction of its height down, in screen coordinates.
GdkPoint rowPoint(GtkTreeView* tree, int row, double down) {
    GdkRectangle area;
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    gtk_tree_view_get_background_area(tree, path, gtk_tree_view_get_column(tree, 1), &area);
    gtk_tree_path_free(path);
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_tree_view_get_bin_window(tree), &x, &y);
    return {x + area.x + area.width / 2, y + area.y + static_cast<int>(area.height * down)};
}

// Presses on the middle of row `from`, moves in small steps to `down` (a
// fraction of its height) of row `to` and lets go, as a hand does.
void dragRow(GtkPresenter& presenter, GtkTreeView* tree, int from, int to, double down) {
    const GdkPoint start = rowPoint(tree, from, 0.5), end = rowPoint(tree, to, down);
    auto moveTo = [&](int x, int y) {
        pointerMoveTo(x, y);
        settle(presenter);
    };
    moveTo(start.x, start.y);
    pointerButton(true);
    settle(presenter);
    constexpr int kSteps = 8;
    for (int step = 1; step <= kSteps; ++step)
        moveTo(start.x + (end.x - start.x) * step / kSteps, start.y + (end.y - start.y) * step / kSteps);
    pointerButton(false);
    settle(presenter);
}

}  // namespace

TEST_F(SetupDesktopTest, TheMovedSourceStaysSelectedAfterADragWithThePointer) {
    setup.runPreferences(samplePrefs(), true, nullptr, "sources", false);
    settle(*presenter);
    SourceSetup& sources = *setup.prefControl()->sourceSetup_;
    auto* tree = GTK_TREE_VIEW(widget(sources.sourceTable));
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(pointerHandAvailable()) << "no XTest on the display";

    // The first source dropped on the top edge of the fourth row (above it).
    dragRow(*presenter, tree, 0, 3, 0.1);

    ASSERT_EQ(sources.sources(), (std::vector<int>{5, 6, 1, 3}));
    EXPECT_EQ(sources.sourceTable->selectedRows(), (std::set<int>{2}));
    // The highlight on screen is on the moved source too.
    GtkTreeModel* model = nullptr;
    GList* selected = gtk_tree_selection_get_selected_rows(gtk_tree_view_get_selection(tree), &model);
    std::vector<int> shown;
    for (GList* r = selected; r; r = r->next) shown.push_back(gtk_tree_path_get_indices(static_cast<GtkTreePath*>(r->data))[0]);
    g_list_free_full(selected, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    EXPECT_EQ(shown, (std::vector<int>{2}));
    EXPECT_EQ(rowText(model, 2, 1), "weather.gov");
}

// ---- With a window manager on the display ----

namespace {

class SetupWindowManagerTest : public SetupDesktopTest {
protected:
    void SetUp() override {
        SetupDesktopTest::SetUp();
        manager.emplace();
        ASSERT_TRUE(manager->running()) << "openbox did not start on the display";
    }
    void TearDown() override {
        SetupDesktopTest::TearDown();
        manager.reset();
    }

    // Preferences opened by a menu program that then ends; with `edit`, a
    // control changed afterwards. Closing the window by `close` ends it, its
    // edits and the setup program within a second, and the log says why
    // nothing was sent back.
    void closesWithTheMenuProgramGone(void (*close)(GtkWidget*), bool edit) {
        std::optional<FakeSkyvane> menu;
        menu.emplace();
        ASSERT_TRUE(menu->ready);
        const std::string name = menu->name;
        setup.runPreferences(samplePrefs(), true, &name, "general", false);
        SkyvanePrefs& prefs = *setup.prefControl();
        GtkWidget* prefsWindow = window(prefs.prefsWindow);
        ASSERT_NE(prefsWindow, nullptr);
        ASSERT_TRUE(runUntil(*presenter, [&] { return WindowManager::active(prefsWindow); }));

        menu.reset();
        ASSERT_TRUE(MainLoop::instance().runUntil([&] { return !RemoteObject::lookup(name, kSkyvanePublic); }, 10000));
        CaptureStderr err;
        if (edit) {
            gtk_combo_box_set_active(GTK_COMBO_BOX(widget(prefs.unitsPopup)), 0);
            settle(*presenter);
            ASSERT_EQ(prefs.pref("units"), plist::Value(0));
        }
        close(prefsWindow);
        EXPECT_TRUE(runUntil(*presenter, [&] { return !gtk_widget_get_visible(prefsWindow); }, 1000));
        EXPECT_FALSE(prefs.prefsWindow->isVisible());
        EXPECT_EQ(prefs.prefs(), nullptr);
        EXPECT_EQ(shownAlertDialog(), nullptr);
        EXPECT_TRUE(Application::shared().isTerminated());
        EXPECT_NE(err.text().find("Skyvane isn't running: Preferences closed without sending back the values it "
                                  "opened with"),
                  std::string::npos);
    }

    std::optional<WindowManager> manager;
};

// Whether the window is above every other window of the screen.
bool onTop(GtkWidget* window) {
    GList* stack = gdk_screen_get_window_stack(gtk_widget_get_screen(window));
    GList* top = g_list_last(stack);
    const bool result = top && top->data == gtk_widget_get_window(window);
    g_list_free_full(stack, g_object_unref);
    return result;
}

std::string nameOf(AtkObject* o) { const char* name = atk_object_get_name(o); return name ? name : ""; }
using Names = std::multiset<std::string>;
// Each pop-up, slider, field, table, lone picture and wordless button as screen readers name it ("<-": by its label).
Names namedControls(GtkWidget* window) {
    Names out;
    std::function<void(GtkWidget*)> walk = [&](GtkWidget* widget) {
        for (GtkWidget* child : children(widget)) walk(child);
        AtkObject* object = gtk_widget_get_accessible(widget);
        const AtkRole role = atk_object_get_role(object);
        const bool wordless = role == ATK_ROLE_PUSH_BUTTON && !g_strcmp0(gtk_button_get_label(GTK_BUTTON(widget)), "");
        const bool picture = role == ATK_ROLE_ICON && !gtk_widget_get_ancestor(widget, GTK_TYPE_BUTTON);
        const std::set controls{ATK_ROLE_COMBO_BOX, ATK_ROLE_SLIDER, ATK_ROLE_TEXT, ATK_ROLE_TABLE};
        if (!wordless && !picture && !controls.contains(role)) return;
        AtkRelationSet* relations = atk_object_ref_relation_set(object);
        AtkRelation* by = atk_relation_set_get_relation_by_type(relations, ATK_RELATION_LABELLED_BY);
        GPtrArray* labels = by ? atk_relation_get_target(by) : nullptr;
        const bool linked = labels && labels->len == 1 && nameOf(ATK_OBJECT(labels->pdata[0])) == nameOf(object);
        g_object_unref(relations);
        std::string line = atk_role_get_name(role) + std::string(linked ? " <- " : ": ") + nameOf(object);
        for (int cell = 0; ATK_IS_TABLE(object) && cell < atk_object_get_n_accessible_children(object); ++cell) {
            AtkObject* child = atk_object_ref_accessible_child(object, cell);
            if (GTK_IS_BOOLEAN_CELL_ACCESSIBLE(child)) line += " [" + nameOf(child) + "]";
            g_object_unref(child);
        }
        out.insert(line);
    };
    if (window) walk(window);
    return out;
}

}  // namespace

TEST_F(SetupWindowManagerTest, EscapeClosesPreferencesWithEditsWhenTheMenuProgramHasEnded) {
    closesWithTheMenuProgramGone(escape, true);
}

TEST_F(SetupWindowManagerTest, TheWindowManagersCloseClosesPreferencesWhenTheMenuProgramHasEnded) {
    closesWithTheMenuProgramGone(WindowManager::askToClose, false);
}

TEST_F(SetupWindowManagerTest, PreferencesOpensCentredAndComesBackWhenAskedForWhileMinimised) {
    // The pointer in a corner, where the window would go if it asked for no place.
    ASSERT_TRUE(pointerHandAvailable()) << "no XTest on the display";
    pointerMoveTo(0, 0);
    setup.runPreferences(samplePrefs(), true, nullptr, "general", false);
    SkyvanePrefs& prefs = *setup.prefControl();
    GtkWidget* prefsWindow = window(prefs.prefsWindow);
    ASSERT_NE(prefsWindow, nullptr);
    ASSERT_TRUE(runUntil(*presenter, [&] { return WindowManager::active(prefsWindow); }));

    // In the middle of the screen's work area (its frame a few points off
    // for the title bar the window manager adds).
    GdkRectangle frame, area;
    gdk_window_get_frame_extents(gtk_widget_get_window(prefsWindow), &frame);
    gdk_monitor_get_workarea(gdk_display_get_monitor_at_window(gdk_display_get_default(),
                                                               gtk_widget_get_window(prefsWindow)),
                             &area);
    EXPECT_NEAR(frame.x + frame.width / 2, area.x + area.width / 2, 30);
    EXPECT_NEAR(frame.y + frame.height / 2, area.y + area.height / 2, 30);

    // The about box comes over it, then the preference window is minimised.
    setup.runAboutBox();
    GtkWidget* about = window(setup.getUtil()->aboutWindow);
    ASSERT_NE(about, nullptr);
    ASSERT_TRUE(runUntil(*presenter, [&] { return WindowManager::active(about); }));
    gtk_window_iconify(GTK_WINDOW(prefsWindow));
    ASSERT_TRUE(runUntil(*presenter, [&] { return WindowManager::iconified(prefsWindow); }));

    // Preferences… from the menu: the window is back, on top and active.
    setup.runPreferences(samplePrefs(), true, nullptr, "general", false);
    EXPECT_TRUE(runUntil(*presenter, [&] {
        return !WindowManager::iconified(prefsWindow) && WindowManager::active(prefsWindow) && onTop(prefsWindow);
    })) << "iconified " << WindowManager::iconified(prefsWindow) << ", active " << WindowManager::active(prefsWindow)
        << ", on top " << onTop(prefsWindow);
    EXPECT_TRUE(prefs.prefsWindow->isVisible());
    EXPECT_TRUE(gtk_widget_get_mapped(prefsWindow));
}

TEST_F(SetupWindowManagerTest, ASourceDroppedOnTheMiddleOfARowMovesBeforeOrAfterIt) {
    setup.runPreferences(samplePrefs(), true, nullptr, "sources", false);
    SourceSetup& sources = *setup.prefControl()->sourceSetup_;
    auto* tree = GTK_TREE_VIEW(widget(sources.sourceTable));
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(runUntil(*presenter, [&] { return WindowManager::active(window(setup.prefControl()->prefsWindow)); }));
    ASSERT_TRUE(pointerHandAvailable()) << "no XTest on the display";
    ASSERT_EQ(sources.sources(), (std::vector<int>{1, 5, 6, 3}));

    // The upper half of a row puts the source before it.
    dragRow(*presenter, tree, 0, 2, 0.4);
    EXPECT_EQ(sources.sources(), (std::vector<int>{5, 1, 6, 3}));
    // The lower half after it.
    dragRow(*presenter, tree, 3, 0, 0.6);
    EXPECT_EQ(sources.sources(), (std::vector<int>{5, 3, 1, 6}));
    // The very middle moves it to one side or the other.
    dragRow(*presenter, tree, 0, 2, 0.5);
    const std::vector<int> order = sources.sources();
    EXPECT_TRUE(order == (std::vector<int>{3, 5, 1, 6}) || order == (std::vector<int>{3, 1, 5, 6}))
        << ::testing::PrintToString(order);
    EXPECT_EQ(sources.sourceTable->selectedRows().size(), 1u);
}

TEST_F(SetupWindowManagerTest, ScreenReadersReadEveryControlByTheLabelBesideIt) {
    LocationManagerSetup& loc = open("general");
    SkyvanePrefs& prefs = *setup.prefControl();
    auto names = [&](const WindowRef& shown) { settle(*presenter); return namedControls(window(shown)); };
    const std::string city = "text <- City name (for example Sunnyvale, CA):", primary = "combo box <- Primary city:",
                      favorites = "table: Locations [Favorite] [Favorite] [Favorite]";
    setup.runAboutBox();
    EXPECT_EQ(names(setup.getUtil()->aboutWindow), (Names{"push button <- Skyvane Setup", "text: Credits"}));
    for (const auto& [pane, expected] : std::vector<std::pair<std::string, Names>>{
             {"general", {"combo box <- Icon style:", "combo box <- Text size:", "combo box <- Units:",
                          "icon: Icon preview", "slider <- Icon color:", "slider <- Update every:"}},
             {"sources", {"table: Sources"}}, {"locations", {primary, favorites}}}) {
        prefs.prefsWindow->toolbar()->userClickItem(pane);
        EXPECT_EQ(names(prefs.prefsWindow), expected) << pane;
    }
    click(findButton(prefs.locView, "Sources for City"));
    EXPECT_EQ(names(prefs.prefsWindow), (Names{primary, favorites, "text <- Sources for City"}));
    loc.newManageAction(nullptr);
    EXPECT_EQ(names(loc.newLocationWindow()), Names{city});
    search(loc, "Paris");
    EXPECT_EQ(names(loc.newLocationWindow()), (Names{"table <- Found 3 cities", city}));
    GtkWidget* newLocation = window(loc.newLocationWindow());
    std::set<std::string> reached;  // Tab goes round New Location's field, list, Choose and Close
    for (int press = 0; press < 4; ++press) {
        keyPress(newLocation, GDK_KEY_Tab);
        reached.insert(nameOf(gtk_widget_get_accessible(gtk_window_get_focus(GTK_WINDOW(newLocation)))));
    }
    EXPECT_EQ(reached, (std::set<std::string>{city.substr(8), "Found 3 cities", "Choose", "Close"}));
}
