// The status icon is deprecated in GTK 3; the presenter still uses it for the tray.
#define GDK_DISABLE_DEPRECATION_WARNINGS 1

#include "platform/gtk/GtkPresenter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/ImageCanvas.h"
#include "platform/gtk/TableDrops.h"
#include "platform/ui/Controls.h"
#include "platform/ui/TableView.h"

namespace {

void pump() {
    for (int i = 0; i < 50 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
}

// The lines a GTK menu shows, top to bottom, each with its text: "---" for a
// separator, else the label, after the picture's size when there is one.
// Hidden lines are left out.
std::vector<std::pair<GtkWidget*, std::string>> menuLines(GtkWidget* menu) {
    std::vector<std::pair<GtkWidget*, std::string>> lines;
    GList* entries = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* e = entries; e; e = e->next) {
        GtkWidget* entry = GTK_WIDGET(e->data);
        if (!gtk_widget_get_visible(entry)) continue;
        std::string line = GTK_IS_SEPARATOR_MENU_ITEM(entry) ? "---" : "";
        GList* parts =
            line.empty() ? gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(entry)))) : nullptr;
        for (GList* p = parts; p; p = p->next) {
            if (GTK_IS_IMAGE(p->data) && gtk_widget_get_visible(GTK_WIDGET(p->data))) {
                GdkPixbuf* picture = gtk_image_get_pixbuf(GTK_IMAGE(p->data));
                line += "[" + std::to_string(gdk_pixbuf_get_width(picture)) + "x" +
                        std::to_string(gdk_pixbuf_get_height(picture)) + "] ";
            }
            if (GTK_IS_LABEL(p->data)) line += gtk_label_get_text(GTK_LABEL(p->data));
        }
        g_list_free(parts);
        lines.emplace_back(entry, line);
    }
    g_list_free(entries);
    return lines;
}

// The texts, with " [off]" after a line that cannot be chosen.
std::vector<std::string> shownLines(GtkWidget* menu) {
    std::vector<std::string> shown;
    for (const auto& [entry, text] : menuLines(menu))
        shown.push_back(text + (text != "---" && !gtk_widget_get_sensitive(entry) ? " [off]" : ""));
    return shown;
}

// Chooses the shown line with that text the way a click does: only when it can be chosen.
bool choose(GtkWidget* menu, const std::string& label) {
    for (const auto& [entry, text] : menuLines(menu))
        if (text == label && text != "---" && gtk_widget_is_sensitive(entry)) {
            gtk_menu_item_activate(GTK_MENU_ITEM(entry));
            return true;
        }
    return false;
}

// Whether the open menu's window, once laid out, is large enough for all its lines.
bool showsWhole(GtkWidget* menu) {
    for (int i = 0; i < 40; ++i) {
        g_usleep(5000);
        pump();
    }
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(gtk_widget_get_toplevel(menu)), &width, &height);
    GtkRequisition wanted;
    gtk_widget_get_preferred_size(menu, nullptr, &wanted);
    return height >= wanted.height && width >= wanted.width;
}

// Where the open menu's window is on the screen.
std::pair<int, int> placeOf(GtkWidget* menu) {
    int x = -1, y = -1;
    gdk_window_get_root_origin(gtk_widget_get_window(gtk_widget_get_toplevel(menu)), &x, &y);
    return {x, y};
}

// A status item with that menu, shown in the tray (no StatusNotifierWatcher on this bus).
GtkStatusIcon* showInTray(GtkPresenter& presenter, const StatusItemRef& item, const MenuRef& menu) {
    ImageRef icon = Image::create({28, 19});
    ImageCanvas(*icon).fillRect({0, 0, 28, 19}, Color::calibratedRGB(1, 0.8, 0.1));
    item->setImage(icon);
    item->setMenu(menu);
    presenter.sync();
    for (int i = 0; i < 200 && !presenter.statusIconFor(item.get()); ++i) g_main_context_iteration(nullptr, TRUE);
    return presenter.statusIconFor(item.get());
}

class GtkPresenterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(GtkPresenter::initialize()) << "no display"; }
    void SetUp() override { Application::shared().reset(); }
    void TearDown() override {
        presenter.reset();
        Application::shared().reset();
    }
    std::unique_ptr<GtkPresenter> presenter = std::make_unique<GtkPresenter>();
};

struct Cities : TableDataSource {
    int numberOfRowsInTableView(TableView&) override { return 3; }
    plist::Value objectValue(TableView&, const TableColumn& c, int row) override {
        if (c.identifier == "0") return row == 1;
        return std::string("City ") + std::to_string(row);
    }
    void setObjectValue(TableView&, const plist::Value&, const TableColumn&, int row) override { toggled = row; }
    int toggled = -1;
};

}  // namespace

TEST_F(GtkPresenterTest, WindowsShowTheirControlsWhereTheModelPutsThem) {
    WindowRef window = Window::create({100, 100, 400, 300}, "Preferences");
    auto ok = std::make_shared<Button>(Rect{10, 20, 100, 40});
    ok->setTitle("OK");
    auto hidden = std::make_shared<Button>(Rect{200, 20, 100, 30});
    hidden->setHidden(true);
    window->contentView()->addSubview(ok);
    window->contentView()->addSubview(hidden);
    int clicks = 0;
    ok->setTarget(this);
    ok->setAction("OKAction:", [&](Control&) { ++clicks; });

    EXPECT_EQ(presenter->windowFor(window.get()), nullptr);  // not shown yet
    window->makeKeyAndOrderFront();
    GtkWindow* gw = presenter->windowFor(window.get());
    ASSERT_NE(gw, nullptr);
    EXPECT_STREQ(gtk_window_get_title(gw), "Preferences");
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(gw)));

    GtkWidget* button = presenter->widgetFor(ok.get());
    ASSERT_TRUE(GTK_IS_BUTTON(button));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(button)), "OK");
    int y = -1, x = -1;
    gtk_container_child_get(GTK_CONTAINER(gtk_widget_get_parent(button)), button, "x", &x, "y", &y, nullptr);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 300 - 60);  // GTK counts from the top
    EXPECT_FALSE(gtk_widget_get_visible(presenter->widgetFor(hidden.get())));

    gtk_button_clicked(GTK_BUTTON(button));
    EXPECT_EQ(clicks, 1);

    // A model change reaches the widget at the next sync.
    ok->setTitle("Done");
    presenter->sync();
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(button)), "Done");
    ok->removeFromSuperview();
    presenter->sync();
    EXPECT_EQ(presenter->widgetFor(ok.get()), nullptr);

    // Closing the GTK window closes the model's window.
    gtk_window_close(gw);
    pump();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(gw)));
}

TEST_F(GtkPresenterTest, UserGesturesOnWidgetsDriveTheModel) {
    WindowRef window = Window::create({0, 0, 400, 300}, "General");
    auto check = std::make_shared<Button>(Rect{10, 250, 150, 20}, ButtonType::Switch);
    auto popup = std::make_shared<PopUpButton>(Rect{10, 200, 150, 26});
    for (auto [title, tag] : {std::pair{"Classic", 0}, std::pair{"Sky", 1}}) popup->addItemWithTitle(title)->setTag(tag);
    auto slider = std::make_shared<Slider>(Rect{10, 150, 200, 20}, 15, 120);
    auto field = std::make_shared<TextField>(Rect{10, 100, 200, 22});
    auto matrix = std::make_shared<Matrix>(Rect{10, 20, 300, 60}, 3, 3);
    for (ViewRef v : std::initializer_list<ViewRef>{check, popup, slider, field, matrix})
        window->contentView()->addSubview(v);
    int changes = 0;
    for (Control* c : std::initializer_list<Control*>{check.get(), popup.get(), slider.get(), matrix.get()}) {
        c->setTarget(this);
        c->setAction("widgetChanged:", [&](Control&) { ++changes; });
    }
    window->makeKeyAndOrderFront();

    gtk_button_clicked(GTK_BUTTON(presenter->widgetFor(check.get())));
    EXPECT_EQ(check->state(), kOnState);
    gtk_combo_box_set_active(GTK_COMBO_BOX(presenter->widgetFor(popup.get())), 1);
    EXPECT_EQ(popup->selectedItem()->tag(), 1);
    gtk_range_set_value(GTK_RANGE(presenter->widgetFor(slider.get())), 60);
    EXPECT_DOUBLE_EQ(slider->floatValue(), 60);
    gtk_entry_set_text(GTK_ENTRY(presenter->widgetFor(field.get())), "Boston");
    EXPECT_EQ(field->stringValue(), "Boston");
    GtkWidget* cell = gtk_grid_get_child_at(GTK_GRID(presenter->widgetFor(matrix.get())), 1, 2);
    gtk_button_clicked(GTK_BUTTON(cell));
    EXPECT_EQ(matrix->cellAtRow(2, 1)->state(), kOnState);
    EXPECT_EQ(changes, 4);

    // The program's own changes do not come back as user gestures.
    popup->selectItemWithTag(0);
    slider->setFloatValue(30);
    presenter->sync();
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(presenter->widgetFor(popup.get()))), 0);
    EXPECT_EQ(changes, 4);
    popup->setEnabled(false);
    presenter->sync();
    EXPECT_FALSE(gtk_widget_get_sensitive(presenter->widgetFor(popup.get())));
}

TEST_F(GtkPresenterTest, TablesToolbarsAndAlerts) {
    WindowRef window = Window::create({0, 0, 400, 300}, "Locations");
    Cities cities;
    auto table = std::make_shared<TableView>(Rect{10, 10, 380, 200});
    table->addTableColumn(TableColumn("0", "", 20, std::make_shared<ButtonCell>()));
    table->addTableColumn(TableColumn("1", "City"));
    table->setDataSource(&cities);
    window->contentView()->addSubview(table);
    struct Panes : ToolbarDelegate {
        std::string shown;
        ToolbarItemRef itemForItemIdentifier(Toolbar&, const std::string& id, bool) override {
            auto item = std::make_shared<ToolbarItem>(id);
            item->setLabel(id);
            item->setTarget(this);
            item->setAction("showPane:", [this](ToolbarItem& i) { shown = i.itemIdentifier(); });
            return item;
        }
        std::vector<std::string> defaultItemIdentifiers(Toolbar&) override { return {"general", "sources"}; }
    } panes;
    auto toolbar = std::make_shared<Toolbar>("myToolbar");
    toolbar->setDelegate(&panes);
    window->setToolbar(toolbar);
    window->makeKeyAndOrderFront();

    GtkTreeView* tree = GTK_TREE_VIEW(presenter->widgetFor(table.get()));
    ASSERT_TRUE(GTK_IS_TREE_VIEW(tree));
    GtkTreeModel* model = gtk_tree_view_get_model(tree);
    EXPECT_EQ(gtk_tree_model_iter_n_children(model, nullptr), 3);
    GtkTreeIter iter;
    ASSERT_TRUE(gtk_tree_model_iter_nth_child(model, &iter, nullptr, 2));
    gchar* name = nullptr;
    gtk_tree_model_get(model, &iter, 1, &name, -1);
    EXPECT_STREQ(name, "City 2");
    g_free(name);
    GtkTreePath* path = gtk_tree_path_new_from_indices(2, -1);
    gtk_tree_selection_select_path(gtk_tree_view_get_selection(tree), path);
    gtk_tree_path_free(path);
    EXPECT_EQ(table->selectedRow(), 2);

    // The toolbar's second button sends its item's action.
    GtkWidget* layout = gtk_bin_get_child(GTK_BIN(presenter->windowFor(window.get())));
    GList* children = gtk_container_get_children(GTK_CONTAINER(layout));
    ASSERT_TRUE(GTK_IS_TOOLBAR(children->data));
    GtkToolItem* second = gtk_toolbar_get_nth_item(GTK_TOOLBAR(children->data), 1);
    g_list_free(children);
    gtk_button_clicked(GTK_BUTTON(gtk_bin_get_child(GTK_BIN(second))));
    EXPECT_EQ(panes.shown, "sources");

    // An alert sheet is a dialog on the window; its button ends the alert.
    AlertRef alert = Alert::create("Problem", "You can have at most 6 favorite cities.", "OK");
    int code = 99;
    alert->beginSheet(window.get(), [&](int c) { code = c; });
    GtkWidget* dialog = presenter->dialogFor(alert.get());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), presenter->windowFor(window.get()));
    gtk_dialog_response(GTK_DIALOG(dialog), 1000 + kAlertDefaultReturn);
    EXPECT_EQ(code, kAlertDefaultReturn);
    EXPECT_FALSE(alert->isShowing());
    EXPECT_EQ(presenter->dialogFor(alert.get()), nullptr);
}

TEST_F(GtkPresenterTest, StatusItemsWithoutAWatcherAreTrayIconsWithARealMenu) {
    StatusItemRef item = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
    item->setTitle("72\xA1");
    MenuRef menu = Menu::create("theMenu");
    int updates = 0;
    MenuItemRef update = menu->addItem("Update Now");
    update->setTarget(this);
    update->setAction("menuItemClicked:", [&](MenuItem&) { ++updates; });
    menu->addItem(MenuItem::separatorItem());
    menu->addItem("Quit")->setEnabled(false);
    GtkStatusIcon* statusIcon = showInTray(*presenter, item, menu);
    ASSERT_NE(statusIcon, nullptr);
    GdkPixbuf* shown = gtk_status_icon_get_pixbuf(statusIcon);
    ASSERT_NE(shown, nullptr);
    // The picture alone fills the slot, in its own proportions (22 x 15),
    // centred on a transparent square; the title is the tool tip.
    ASSERT_EQ(gdk_pixbuf_get_width(shown), 22);
    ASSERT_EQ(gdk_pixbuf_get_height(shown), 22);
    ASSERT_TRUE(gdk_pixbuf_get_has_alpha(shown));
    auto alphaAt = [shown](int x, int y) {
        return gdk_pixbuf_read_pixels(shown)[y * gdk_pixbuf_get_rowstride(shown) + x * 4 + 3];
    };
    for (auto [y, alpha] : {std::pair{0, 0}, {2, 0}, {3, 255}, {11, 255}, {17, 255}, {18, 0}, {21, 0}})
        EXPECT_EQ(alphaAt(11, y), alpha) << "row " << y;
    EXPECT_EQ(alphaAt(0, 11), 255);
    EXPECT_EQ(alphaAt(21, 11), 255);
    gchar* tip = gtk_status_icon_get_tooltip_text(statusIcon);
    EXPECT_STREQ(tip, "72\xC2\xB0");
    g_free(tip);

    g_signal_emit_by_name(statusIcon, "activate");
    EXPECT_TRUE(item->isMenuDown());
    GtkWidget* gtkMenu = presenter->menuFor(item.get());
    ASSERT_NE(gtkMenu, nullptr);
    GList* entries = gtk_container_get_children(GTK_CONTAINER(gtkMenu));
    ASSERT_EQ(g_list_length(entries), 3u);
    EXPECT_TRUE(GTK_IS_SEPARATOR_MENU_ITEM(g_list_nth_data(entries, 1)));
    EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(g_list_nth_data(entries, 2))));
    gtk_menu_item_activate(GTK_MENU_ITEM(g_list_nth_data(entries, 0)));
    g_list_free(entries);
    EXPECT_EQ(updates, 1);
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(gtkMenu));
    pump();
    EXPECT_FALSE(item->isMenuDown());

    StatusBar::systemStatusBar().removeStatusItem(item);
    EXPECT_EQ(presenter->statusIconFor(item.get()), nullptr);
}

TEST_F(GtkPresenterTest, AnOpenStatusMenuFollowsItsModel) {
    StatusItemRef item = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
    MenuRef menu = Menu::create("theMenu");
    int updates = 0, preferences = 0, cities = 0;
    auto counting = [this](const MenuItemRef& line, int& count) {
        line->setTarget(this);
        line->setAction("menuItemClicked:", [&count](MenuItem&) { ++count; });
    };
    // The menu during the first update: no weather lines yet above the
    // separator that they go above.
    menu->addItem(MenuItem::separatorItem());
    MenuItemRef update = menu->addItem("Updating\u2026");
    update->setEnabled(false);
    counting(update, updates);
    MenuItemRef prefs = menu->addItem("Preferences\u2026");
    prefs->setEnabled(false);
    counting(prefs, preferences);
    menu->addItem(MenuItem::separatorItem());
    menu->addItem("Quit");
    GtkStatusIcon* statusIcon = showInTray(*presenter, item, menu);
    ASSERT_NE(statusIcon, nullptr);
    g_signal_emit_by_name(statusIcon, "activate");
    GtkWidget* open = presenter->menuFor(item.get());
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(gtk_widget_get_visible(open));
    const std::vector<std::string> updating = {"Updating\u2026 [off]", "Preferences\u2026 [off]", "---", "Quit"};
    EXPECT_EQ(shownLines(open), updating) << "no separator above the first line";
    ASSERT_TRUE(showsWhole(open));
    const std::pair<int, int> place = placeOf(open);
    EXPECT_FALSE(choose(open, "Preferences\u2026"));
    EXPECT_EQ(preferences, 0);

    // The update ends while the menu is open: the weather lines are built
    // (added empty, then filled) in one batch, which the open menu shows
    // only when it is complete.
    menu->beginChanges();
    MenuItemRef city = MenuItem::create("");
    MenuItemRef favorite = MenuItem::create("");
    menu->insertItem(city, 0);
    menu->insertItem(favorite, 1);
    presenter->sync();
    pump();
    EXPECT_EQ(shownLines(open), updating);
    city->setTitle("Fair: Des Moines, IA");
    counting(city, cities);
    favorite->setTitle("35\xA1  Boston, MA");
    favorite->setImage(Image::create({25, 16}));
    menu->endChanges();
    update->setTitle("Update Now");
    update->setEnabled(true);
    prefs->setEnabled(true);
    presenter->sync();
    pump();
    EXPECT_EQ(presenter->menuFor(item.get()), open);
    EXPECT_TRUE(gtk_widget_get_visible(open)) << "still open";
    EXPECT_TRUE(showsWhole(open)) << "grown to its new lines, without scrolling";
    EXPECT_EQ(placeOf(open), place);
    EXPECT_TRUE(item->isMenuDown());
    EXPECT_EQ(shownLines(open), (std::vector<std::string>{"Fair: Des Moines, IA", "[25x16] 35\u00B0  Boston, MA", "---",
                                                          "Update Now", "Preferences\u2026", "---", "Quit"}));
    // Lines enabled or added while it was open reach their targets.
    EXPECT_TRUE(choose(open, "Update Now"));
    EXPECT_TRUE(choose(open, "Preferences\u2026"));
    EXPECT_TRUE(choose(open, "Fair: Des Moines, IA"));
    EXPECT_EQ((std::vector<int>{updates, preferences, cities}), (std::vector<int>{1, 1, 1}));

    // The next update: the status line changes in place, a line that goes
    // leaves the open menu, and the menu keeps its place at its new size.
    update->setTitle("Updating\u2026");
    update->setEnabled(false);
    menu->removeItem(favorite.get());
    presenter->sync();
    pump();
    EXPECT_EQ(shownLines(open), (std::vector<std::string>{"Fair: Des Moines, IA", "---", "Updating\u2026 [off]",
                                                          "Preferences\u2026", "---", "Quit"}));
    EXPECT_FALSE(choose(open, "Updating\u2026"));
    EXPECT_EQ(updates, 1);
    EXPECT_TRUE(showsWhole(open));
    EXPECT_EQ(placeOf(open), place);

    gtk_menu_shell_deactivate(GTK_MENU_SHELL(open));
    pump();
    EXPECT_FALSE(item->isMenuDown());
    StatusBar::systemStatusBar().removeStatusItem(item);
}

TEST(TableDrops, GtkDropPositionsBecomeTableDrops) {
    auto at = [](int row, GtkTreeViewDropPosition pos) { return tableDropFor(row, pos, 4); };
    EXPECT_EQ(at(3, GTK_TREE_VIEW_DROP_BEFORE).row, 3);
    EXPECT_EQ(at(3, GTK_TREE_VIEW_DROP_BEFORE).operation, DropOperation::Above);
    EXPECT_EQ(at(2, GTK_TREE_VIEW_DROP_AFTER).row, 3);
    // The middle of a row: its upper half is before it, its lower half after.
    EXPECT_EQ(at(2, GTK_TREE_VIEW_DROP_INTO_OR_BEFORE).row, 2);
    EXPECT_EQ(at(2, GTK_TREE_VIEW_DROP_INTO_OR_BEFORE).operation, DropOperation::Above);
    EXPECT_EQ(at(2, GTK_TREE_VIEW_DROP_INTO_OR_AFTER).row, 3);
    EXPECT_EQ(at(2, GTK_TREE_VIEW_DROP_INTO_OR_AFTER).operation, DropOperation::Above);
    EXPECT_EQ(at(-1, GTK_TREE_VIEW_DROP_BEFORE).row, 4);  // below the last row: the end
    EXPECT_EQ(at(9, GTK_TREE_VIEW_DROP_AFTER).row, 4);
}

TEST_F(GtkPresenterTest, TablesRegisteredForDragsTakeDrops) {
    WindowRef window = Window::create({0, 0, 300, 200}, "Sources");
    Cities cities;
    auto ordered = std::make_shared<TableView>(Rect{0, 0, 300, 100});
    ordered->addTableColumn(TableColumn("1", "Source"));
    ordered->setDataSource(&cities);
    ordered->registerForDraggedTypes({"toMoveIndex", "toMove"});
    auto plain = std::make_shared<TableView>(Rect{0, 100, 300, 100});
    plain->addTableColumn(TableColumn("1", "City"));
    plain->setDataSource(&cities);
    window->contentView()->addSubview(ordered);
    window->contentView()->addSubview(plain);
    window->makeKeyAndOrderFront();
    EXPECT_NE(gtk_drag_dest_get_target_list(presenter->widgetFor(ordered.get())), nullptr);
    EXPECT_EQ(gtk_drag_dest_get_target_list(presenter->widgetFor(plain.get())), nullptr);
}
