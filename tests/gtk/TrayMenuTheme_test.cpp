// The status icon is deprecated in GTK 3; the presenter still uses it for the tray.
#define GDK_DISABLE_DEPRECATION_WARNINGS 1

// The classic tray's weather menu in the dark and the light theme: the lines' headings, which the program draws,
// as readable as the text beside them, also highlighted and after the theme changes while the menu is open; and
// each line named for screen readers by all its words, the icon by the program.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>

#include "gtk/GtkLoop.h"
#include "gtk/TrayHost.h"
#include "gtk/WindowManager.h"
#include "menu/MenuTestBundle.h"
#include "menu/PlimMenu.h"
#include "platform/gtk/GtkPresenter.h"

namespace {

// The WCAG contrast of the text a part of a menu line shows, less `cut` pixels at its right end: the background is
// the luminance most of its pixels have, the text the one that stands out from it most.
double textContrast(GdkPixbuf* shot, GtkWidget* part, int cut) {
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    GdkRectangle box;
    gtk_widget_get_allocation(part, &box);
    gtk_widget_translate_coordinates(part, gtk_widget_get_toplevel(part), 0, 0, &box.x, &box.y);
    const int stride = gdk_pixbuf_get_rowstride(shot), channels = gdk_pixbuf_get_n_channels(shot);
    std::map<double, int> pixels;  // how many have each relative luminance (plus the 0.05 every ratio adds)
    for (int y = box.y; y < box.y + box.height; ++y)
        for (int x = box.x; x < box.x + box.width - cut; ++x) {
            const guchar* p = gdk_pixbuf_read_pixels(shot) + y * stride + x * channels;
            ++pixels[0.05 + 0.2126 * linear(p[0] / 255.0) + 0.7152 * linear(p[1] / 255.0) +
                     0.0722 * linear(p[2] / 255.0)];
        }
    if (pixels.empty()) return 0;
    const double background = std::ranges::max_element(pixels, {}, [](const auto& p) { return p.second; })->first;
    return std::max(pixels.rbegin()->first / background, background / pixels.begin()->first);
}

}  // namespace

TEST(TrayMenuTheme, HeadingsAreReadableInTheDarkAndLightThemeAndLinesAreNamedByAllTheirWords) {
    ASSERT_TRUE(GtkPresenter::initialize()) << "no display";
    if (g_getenv("GTK_THEME")) GTEST_SKIP() << "GTK_THEME fixes the theme; this test switches it";
    Application::shared().reset();
    auto useTheme = [](bool dark) {
        g_object_set(gtk_settings_get_default(), "gtk-theme-name", "Adwaita", "gtk-application-prefer-dark-theme",
                     dark, nullptr);
        settle(60);
    };
    std::shared_ptr<void> lightAgain(nullptr, [&](void*) { useTheme(false); });
    useTheme(true);
    WindowManager manager;
    auto tray = std::make_unique<TrayHost>(gdk_screen_get_width(gdk_screen_get_default()) - 32, 0, 32, 32);
    ASSERT_TRUE(manager.running() && tray->owned()) << "no window manager, or another tray on this display";
    GtkPresenter presenter;
    MenuTestBundle bundle;
    MenuRef menu = Menu::create("theMenu");
    PlimMenu plim(menu, nullptr, bundle.bundle(), nullptr);
    // Detail lines as the weather controller sends them, and the words each line says; a forecast first.
    const std::vector<std::array<std::string, 3>> lines = {{"", "Lo 50", "Tonight Lo 50"},
        {"feels_like", "19°", "Feels Like: 19°"}, {"humidity", "69%", "Humidity: 69%"},
        {"wind", "NW 15 MPH", "Wind: NW 15 MPH"}, {"barometer", "30.12\"", "Barometer: 30.12\""},
        {"sunrise_sunset", "7:21 AM/4:38 PM", "Sunrise/Sunset: 7:21 AM/4:38 PM"},
        {"datafrom", "weather.gov", "Data From: weather.gov"}};
    for (unsigned i = 0; i < lines.size(); ++i) {
        plim.addItemAtIndex(i);
        plim.setMenuItem(i, i ? plist::Dict{{"type", "4"}, {"condType", lines[i][0]}, {"condData", lines[i][1]}}
                              : plist::Dict{{"type", "1"}, {"fcDay", "Tonight"}, {"code", "32"},
                                            {"fcHiLo", lines[i][1]}, {"curMin", "1400"}});
    }
    StatusItemRef item = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
    item->setImage(Image::create({28, 19}));
    item->setMenu(menu);
    GtkStatusIcon* icon = nullptr;
    auto docked = [&] { return (icon = presenter.statusIconFor(item.get())) && gtk_status_icon_is_embedded(icon); };
    ASSERT_TRUE(runUntil(docked)) << "the icon never docked in the tray";
    // The icon shows no words: screen readers name it by the program (found in the tray, which embeds it).
    auto plugName = [](auto& self, GList* widgets) -> const char* {
        const char* name = nullptr;
        for (GList* w = widgets; w && !name; w = w->next)
            if (g_type_is_a(G_OBJECT_TYPE(w->data), g_type_from_name("GtkPlug")))
                name = atk_object_get_name(gtk_widget_get_accessible(GTK_WIDGET(w->data)));
            else if (GTK_IS_CONTAINER(w->data))
                name = self(self, gtk_container_get_children(GTK_CONTAINER(w->data)));
        g_list_free(widgets);
        return name;
    };
    const char* iconName = plugName(plugName, gtk_window_list_toplevels());
    EXPECT_TRUE(iconName && *iconName) << "the icon in the tray has no name";
    g_signal_emit_by_name(icon, "activate");
    GtkWidget* open = presenter.menuFor(item.get());
    ASSERT_TRUE(open && gtk_widget_get_visible(open));
    GList* rows = gtk_container_get_children(GTK_CONTAINER(open));
    ASSERT_EQ(g_list_length(rows), lines.size());

    // The menu stays open while the theme changes under it; then the humidity line is highlighted.
    for (const auto& [dark, highlighted] : {std::pair{true, false}, {true, true}, {false, false}, {false, true}}) {
        useTheme(dark);
        if (highlighted) gtk_menu_shell_select_item(GTK_MENU_SHELL(open), GTK_WIDGET(g_list_nth_data(rows, 2)));
        settle(60);
        GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(open));
        GdkPixbuf* shot = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                     gdk_window_get_height(window));
        ASSERT_TRUE(shot);
        for (unsigned at = highlighted ? 2 : 0; at < (highlighted ? 3 : lines.size()); ++at) {
            GtkWidget* row = GTK_WIDGET(g_list_nth_data(rows, at));
            // Its picture (hidden), the heading drawn with the icon at its right, the value.
            GList* parts = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(row))));
            const ImageRef& headingIcon = menu->itemAtIndex(at)->imageIcon();
            // A highlighted line's value may be below 4.5 in a theme's own colours (light Adwaita's
            // white on blue is 3.8): its heading is then as readable as its value.
            EXPECT_GE(textContrast(shot, GTK_WIDGET(g_list_nth_data(parts, 1)),
                                   headingIcon ? static_cast<int>(headingIcon->size().width) : 0),
                      std::min(4.5, 0.9 * textContrast(shot, GTK_WIDGET(g_list_nth_data(parts, 2)), 0)))
                << lines[at][2] << (dark ? ", dark" : ", light") << (highlighted ? ", highlighted" : "");
            g_list_free(parts);
            EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(row)), lines[at][2].c_str());
        }
        g_object_unref(shot);
        gtk_menu_shell_deselect(GTK_MENU_SHELL(open));
    }
    g_list_free(rows);
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(open));
    // The tray goes first: GTK cannot take an icon of its own process out of a tray that holds it.
    tray.reset();
    settle(60);
    StatusBar::systemStatusBar().removeStatusItem(item);
}
