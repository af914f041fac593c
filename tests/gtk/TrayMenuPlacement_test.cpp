// The status icon is deprecated in GTK 3; the presenter still uses it for the tray.
#define GDK_DISABLE_DEPRECATION_WARNINGS 1

// The tray menu on the screen beside its icon in a classic tray, whatever
// size it took on while it was closed.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "gtk/GtkLoop.h"
#include "gtk/TrayHost.h"
#include "platform/ImageCanvas.h"
#include "platform/gtk/GtkPresenter.h"

namespace {

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
