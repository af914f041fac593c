// The exported menu's lines stay followed by the menu server once each, however
// often the menu around them is rebuilt: the handlers the server puts on the
// lines of a submenu must not pile up with every refresh.

#include "platform/gtk/DbusMenuExport.h"

#include <gtest/gtest.h>

#include <libdbusmenu-glib/menuitem.h>

#include <string>
#include <vector>

namespace {

// How many handlers the line has for the signal (blocked ones are not counted
// twice: each found handler is blocked until the count is done).
int handlers(DbusmenuMenuitem* line, const char* signal) {
    const guint id = g_signal_lookup(signal, DBUSMENU_TYPE_MENUITEM);
    std::vector<gulong> found;
    while (gulong handler = g_signal_handler_find(
               line, GSignalMatchType(G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_UNBLOCKED), id, 0, nullptr, nullptr, nullptr)) {
        g_signal_handler_block(line, handler);
        found.push_back(handler);
    }
    for (gulong handler : found) g_signal_handler_unblock(line, handler);
    return static_cast<int>(found.size());
}

}  // namespace

TEST(DbusMenuExportHandlers, SubmenuLinesKeepOneServerHandlerAcrossRebuilds) {
    // Weather lines that are new items at each refresh, before a submenu of
    // cities whose first city has a submenu of its own.
    MenuRef cities = Menu::create("cities");
    MenuItemRef desMoines = cities->addItem("Des Moines, IA");
    MenuRef forecast = Menu::create("forecast");
    MenuItemRef tomorrow = forecast->addItem("Tomorrow");
    desMoines->setSubmenu(forecast);
    MenuItemRef sanAntonio = cities->addItem("San Antonio, TX");
    MenuItemRef locations = MenuItem::create("Locations");
    locations->setSubmenu(cities);
    MenuItemRef more = MenuItem::create("More");
    more->setSubmenu(Menu::create("more"));

    MenuRef menu = Menu::create("theMenu");
    DbusMenuExport exported("/Test/DbusMenuExportHandlers");
    const std::vector<MenuItemRef> below{desMoines, sanAntonio, tomorrow};
    for (int refresh = 0; refresh < 12; ++refresh) {
        menu->removeAllItems();
        menu->addItem("72\xA1 " + std::to_string(refresh));
        menu->addItem(locations);
        menu->addItem("Update Now");
        // Every third refresh the submenu line moves into another submenu
        // and back.
        if (refresh % 3 == 1) {
            more->submenu()->addItem(locations);
            menu->addItem(more);
            exported.show(menu);
            menu->removeItem(more.get());
            menu->insertItem(locations, 1);
        }
        exported.show(menu);
        for (const MenuItemRef& item : below) {
            DbusmenuMenuitem* line = exported.exportedLine(item.get());
            ASSERT_NE(line, nullptr) << item->title();
            EXPECT_EQ(handlers(line, DBUSMENU_MENUITEM_SIGNAL_PROPERTY_CHANGED), 1)
                << item->title() << " after refresh " << refresh;
            EXPECT_EQ(handlers(line, DBUSMENU_MENUITEM_SIGNAL_CHILD_ADDED), 1)
                << item->title() << " after refresh " << refresh;
        }
    }
    // A line taken out of the menu is no longer followed at all.
    cities->removeItem(desMoines.get());
    exported.show(menu);
    EXPECT_EQ(exported.exportedLine(desMoines.get()), nullptr);
    EXPECT_EQ(exported.exportedLine(tomorrow.get()), nullptr);
    EXPECT_EQ(handlers(exported.exportedLine(sanAntonio.get()), DBUSMENU_MENUITEM_SIGNAL_PROPERTY_CHANGED), 1);
}
