// The status icon is deprecated in GTK 3; the presenter still uses it for the tray.
#define GDK_DISABLE_DEPRECATION_WARNINGS 1

// The tray menu on the screen beside its icon in a classic tray, whatever
// size it took on while it was closed; headings readable, lines and icon named.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "gtk/TrayHost.h"
#include "gtk/WindowManager.h"
#include "menu/MenuTestBundle.h"
#include "menu/PlimMenu.h"
#include "platform/ImageCanvas.h"
#include "platform/gtk/GtkPresenter.h"

namespace {

// Runs the main loop until `done`, for at most ten seconds.
template <typename Done>
bool runUntil(Done done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        g_usleep(5000);
    }
    return done();
}

// Lets GTK map, size and place what is shown.
void settle() {
    for (int i = 0; i < 40; ++i) {
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        g_usleep(5000);
    }
}

std::string describe(const GdkRectangle& r) {
    std::ostringstream out;
    out << r.width << "x" << r.height << " at " << r.x << "," << r.y;
    return out.str();
}

// What is wrong with the menu's place: past an edge of the screen, or not
// against the icon's top or bottom edge with the two overlapping across.
std::string placeProblems(const GdkRectangle& menu, const GdkRectangle& icon, int screenWidth, int screenHeight) {
    std::ostringstream out;
    if (menu.x < 0 || menu.y < 0 || menu.x + menu.width > screenWidth || menu.y + menu.height > screenHeight)
        out << "off the " << screenWidth << "x" << screenHeight << " screen; ";
    const bool againstIcon = menu.y == icon.y + icon.height || menu.y + menu.height == icon.y;
    const bool across = menu.x < icon.x + icon.width && menu.x + menu.width > icon.x;
    if (!againstIcon || !across) out << "not beside the icon, " << describe(icon) << "; ";
    return out.str();
}

// The WCAG contrast of the text a part of a menu line shows, less `cut` pixels at its right end: the background is
// the luminance most of its pixels have, the text the one that stands out from it most.
double textContrast(GtkWidget* part, int cut) {
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    GtkAllocation box;
    gtk_widget_get_allocation(part, &box);
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_parent_window(part), box.x, box.y, box.width - cut,
                                                 box.height);
    if (!shot) return 0;
    const int stride = gdk_pixbuf_get_rowstride(shot), channels = gdk_pixbuf_get_n_channels(shot);
    std::map<double, int> pixels;  // how many have each relative luminance (plus the 0.05 every ratio adds)
    for (int y = 0; y < gdk_pixbuf_get_height(shot); ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(shot); ++x) {
            const guchar* p = gdk_pixbuf_read_pixels(shot) + y * stride + x * channels;
            ++pixels[0.05 + 0.2126 * linear(p[0] / 255.) + 0.7152 * linear(p[1] / 255.) + 0.0722 * linear(p[2] / 255.)];
        }
    g_object_unref(shot);
    const double background = std::ranges::max_element(pixels, {}, [](const auto& p) { return p.second; })->first;
    return std::max(pixels.rbegin()->first / background, background / pixels.begin()->first);
}

}  // namespace

TEST(TrayMenuPlacement, TheMenuOpensBesideTheIconOnTheScreenAfterGrowingOrShrinkingWhileClosed) {
    ASSERT_TRUE(GtkPresenter::initialize()) << "no display";
    Application::shared().reset();
    GdkScreen* screen = gdk_screen_get_default();
    const int screenWidth = gdk_screen_get_width(screen), screenHeight = gdk_screen_get_height(screen);
    {
        // A tray at the top right corner, as panels put it.
        auto tray = std::make_unique<TrayHost>(screenWidth - 32, 0, 32, 32);
        ASSERT_TRUE(tray->owned()) << "another tray runs on this display";
        GtkPresenter presenter;

        StatusItemRef item = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
        ImageRef picture = Image::create({28, 19});
        ImageCanvas(*picture).fillRect({0, 0, 28, 19}, Color::calibratedRGB(1, 0.8, 0.1));
        item->setImage(picture);
        MenuRef menu = Menu::create("theMenu");
        MenuItemRef status = menu->addItem("Could not contact weather site  (3)");
        menu->addItem(MenuItem::separatorItem());
        menu->addItem("Quit");
        item->setMenu(menu);
        presenter.sync();
        GtkStatusIcon* icon = nullptr;
        GdkRectangle iconPlace{};
        ASSERT_TRUE(runUntil([&] {
            presenter.sync();
            icon = presenter.statusIconFor(item.get());
            return icon && gtk_status_icon_is_embedded(icon) &&
                   gtk_status_icon_get_geometry(icon, nullptr, &iconPlace, nullptr) && iconPlace.width > 1 &&
                   iconPlace.x + iconPlace.width == screenWidth;
        })) << "the icon never docked in the tray";

        // Opens the menu from the icon, measures it where it came to rest, closes it.
        auto openedPlace = [&] {
            g_signal_emit_by_name(icon, "activate");
            GtkWidget* open = presenter.menuFor(item.get());
            GdkRectangle place{-1, -1, 0, 0};
            if (!open || !gtk_widget_get_visible(open)) return place;
            settle();
            GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(open));
            gdk_window_get_origin(window, &place.x, &place.y);
            place.width = gdk_window_get_width(window);
            place.height = gdk_window_get_height(window);
            gtk_menu_shell_deactivate(GTK_MENU_SHELL(open));
            settle();
            return place;
        };
        const GdkRectangle narrow = openedPlace();
        EXPECT_EQ(placeProblems(narrow, iconPlace, screenWidth, screenHeight), "") << describe(narrow);

        // The weather comes in while the menu is closed: its lines get wider.
        menu->beginChanges();
        status->setTitle("Fair: Des Moines International Airport, Des Moines, IA");
        menu->insertItem(MenuItem::create("National Weather Service forecast for Des Moines and the whole county"), 1);
        menu->endChanges();
        presenter.sync();
        settle();
        const GdkRectangle grown = openedPlace();
        EXPECT_GT(grown.width, narrow.width + 100);
        EXPECT_EQ(placeProblems(grown, iconPlace, screenWidth, screenHeight), "") << "grown: " << describe(grown);
        EXPECT_EQ(placeProblems(openedPlace(), iconPlace, screenWidth, screenHeight), "") << "grown, again";

        // The city fails again: narrower than it was.
        menu->removeItemAtIndex(1);
        status->setTitle("Could not contact weather site  (3)");
        presenter.sync();
        settle();
        const GdkRectangle shrunk = openedPlace();
        EXPECT_LT(shrunk.width, grown.width - 100);
        EXPECT_EQ(placeProblems(shrunk, iconPlace, screenWidth, screenHeight), "") << "shrunk: " << describe(shrunk);

        // The tray goes first: GTK cannot take an icon of its own process
        // out of a tray that holds it.
        tray.reset();
        settle();
        StatusBar::systemStatusBar().removeStatusItem(item);
    }
    Application::shared().reset();
}

TEST(TrayMenuPlacement, HeadingsAreReadableInTheDarkAndLightThemeAndLinesAndTheIconAreNamed) {
    ASSERT_TRUE(GtkPresenter::initialize()) << "no display";
    if (g_getenv("GTK_THEME")) GTEST_SKIP() << "GTK_THEME fixes the theme; this test switches it";
    Application::shared().reset();
    WindowManager manager;
    auto tray = std::make_unique<TrayHost>(gdk_screen_get_width(gdk_screen_get_default()) - 32, 0, 32, 32);
    ASSERT_TRUE(manager.running() && tray->owned()) << "no window manager, or another tray on this display";
    GtkPresenter presenter;
    MenuTestBundle bundle;
    MenuRef menu = Menu::create("theMenu");
    PlimMenu plim(menu, nullptr, bundle.bundle(), nullptr);
    // A forecast and a detail line as the weather controller sends them, and the words each says.
    plim.addItemAtIndex(0);
    plim.setMenuItem(0, {{"type", "1"}, {"fcDay", "Tonight"}, {"code", "32"}, {"fcHiLo", "Lo 50"}, {"curMin", "1400"}});
    plim.addItemAtIndex(1);
    plim.setMenuItem(1, {{"type", "4"}, {"condType", "humidity"}, {"condData", "69%"}});
    const std::string said[] = {"Tonight Lo 50", "Humidity: 69%"};
    StatusItemRef item = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
    item->setImage(Image::create({28, 19}));
    item->setMenu(menu);
    GtkStatusIcon* icon = nullptr;
    auto docked = [&] { return (icon = presenter.statusIconFor(item.get())) && gtk_status_icon_is_embedded(icon); };
    ASSERT_TRUE(runUntil(docked)) << "the icon never docked in the tray";
    EXPECT_TRUE(gtk_status_icon_get_title(icon) && *gtk_status_icon_get_title(icon)) << "no name for screen readers";
    g_signal_emit_by_name(icon, "activate");
    GtkWidget* open = presenter.menuFor(item.get());
    ASSERT_TRUE(open && gtk_widget_get_visible(open));
    GList* rows = gtk_container_get_children(GTK_CONTAINER(open));
    ASSERT_EQ(g_list_length(rows), 2u);
    // The menu stays open while the theme changes under it; then the detail line is highlighted.
    for (const auto& [dark, highlighted] : {std::pair{true, false}, {true, true}, {false, false}, {false, true}}) {
        g_object_set(gtk_settings_get_default(), "gtk-theme-name", "Adwaita", "gtk-application-prefer-dark-theme",
                     dark, nullptr);
        if (highlighted) gtk_menu_shell_select_item(GTK_MENU_SHELL(open), GTK_WIDGET(g_list_nth_data(rows, 1)));
        settle();
        for (unsigned at = highlighted; at < 2; ++at) {
            GtkWidget* row = GTK_WIDGET(g_list_nth_data(rows, at));
            // Its image (hidden), heading (drawn with an icon at its right) and value.
            GList* parts = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(row))));
            const ImageRef& drawnIcon = menu->itemAtIndex(at)->imageIcon();
            // A highlighted value may be below 4.5 in a theme's own colours (light Adwaita's white on blue is 3.8).
            EXPECT_GE(textContrast(GTK_WIDGET(g_list_nth_data(parts, 1)), drawnIcon ? int(drawnIcon->size().width) : 0),
                      std::min(4.5, 0.9 * textContrast(GTK_WIDGET(g_list_nth_data(parts, 2)), 0)))
                << said[at] << (dark ? ", dark" : ", light") << (highlighted ? ", highlighted" : "");
            g_list_free(parts);
            EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(row)), said[at].c_str());
        }
        gtk_menu_shell_deselect(GTK_MENU_SHELL(open));
    }
    g_list_free(rows);
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(open));
    tray.reset();  // first, as above
    settle();
    StatusBar::systemStatusBar().removeStatusItem(item);
}
