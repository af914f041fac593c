// The status icon is deprecated in GTK 3; the presenter still uses it for the tray.
#define GDK_DISABLE_DEPRECATION_WARNINGS 1

// The classic tray's weather menu in the dark and the light theme: the lines' headings, which the program draws,
// as readable as the text beside them, also highlighted and after the theme changes while the menu is open; and
// each line named for screen readers by all its words.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>

#include "gtk/TrayHost.h"
#include "gtk/WindowManager.h"
#include "menu/MenuTestBundle.h"
#include "menu/PlimMenu.h"
#include "platform/gtk/GtkPresenter.h"

namespace {

void settle() {
    for (int i = 0; i < 60; ++i) {
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        g_usleep(5000);
    }
}

// The WCAG contrast ratio of two screen pixels.
double contrast(const guchar* a, const guchar* b) {
    auto luminance = [](const guchar* p) {
        double sum = 0.05;
        for (int c = 0; c < 3; ++c) {
            const double v = p[c] / 255.0, linear = v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            sum += std::array{0.2126, 0.7152, 0.0722}[c] * linear;
        }
        return sum;
    };
    return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
}

// The contrast of the text in a part of a line: the value is its text label, the heading what the line shows
// left of it but its icon. The background is the colour most pixels have, the text the one that stands out most.
double textContrast(GdkPixbuf* shot, GtkWidget* line, bool value, int iconWidth) {
    GtkWidget* box = gtk_bin_get_child(GTK_BIN(line));
    int x = 0, y = 0, valueX = 0;
    GList* parts = gtk_container_get_children(GTK_CONTAINER(box));
    for (GList* p = parts; p; p = p->next)
        if (GTK_IS_LABEL(p->data)) gtk_widget_translate_coordinates(GTK_WIDGET(p->data), line, 0, 0, &valueX, &x);
    g_list_free(parts);
    gtk_widget_translate_coordinates(line, gtk_widget_get_toplevel(line), 0, 0, &x, &y);
    const int headingEnd = valueX - gtk_box_get_spacing(GTK_BOX(box)) - iconWidth;
    const int from = x + (value ? valueX : 0), to = x + (value ? gtk_widget_get_allocated_width(line) : headingEnd);
    std::map<std::array<guchar, 3>, int> counts;
    for (int row = y; row < y + gtk_widget_get_allocated_height(line); ++row)
        for (int col = from; col < to; ++col) {
            const guchar* p = gdk_pixbuf_read_pixels(shot) + row * gdk_pixbuf_get_rowstride(shot) +
                              col * gdk_pixbuf_get_n_channels(shot);
            ++counts[{p[0], p[1], p[2]}];
        }
    if (counts.empty()) return 0;
    const auto background = std::ranges::max_element(counts, {}, [](const auto& c) { return c.second; });
    double most = 1;
    for (const auto& [pixel, count] : counts) most = std::max(most, contrast(pixel.data(), background->first.data()));
    return most;
}

}  // namespace

TEST(TrayMenuTheme, HeadingsAreReadableInTheDarkAndLightThemeAndLinesAreNamedByAllTheirWords) {
    ASSERT_TRUE(GtkPresenter::initialize()) << "no display";
    if (g_getenv("GTK_THEME")) GTEST_SKIP() << "GTK_THEME fixes the theme; this test switches it";
    Application::shared().reset();
    auto useTheme = [](bool dark) {
        g_object_set(gtk_settings_get_default(), "gtk-theme-name", "Adwaita", "gtk-application-prefer-dark-theme",
                     dark, nullptr);
        settle();
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
        auto text = [](const std::string& t) { return plist::Value(t); };
        plim.setMenuItem(i, i == 0 ? plist::Dict{{"type", text("1")}, {"fcDay", text("Tonight")}, {"code", text("32")},
                                                 {"fcHiLo", text(lines[i][1])}, {"curMin", text("1400")}}
                                   : plist::Dict{{"type", text("4")}, {"condType", text(lines[i][0])},
                                                 {"condData", text(lines[i][1])}});
    }
    StatusItemRef item = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
    item->setImage(Image::create({28, 19}));
    item->setMenu(menu);
    GtkStatusIcon* icon = nullptr;
    for (int i = 0; i < 400 && !(icon && gtk_status_icon_is_embedded(icon)); ++i, settle())
        icon = presenter.statusIconFor(item.get());
    ASSERT_TRUE(icon && gtk_status_icon_is_embedded(icon)) << "the icon never docked in the tray";
    g_signal_emit_by_name(icon, "activate");
    GtkWidget* open = presenter.menuFor(item.get());
    ASSERT_TRUE(open && gtk_widget_get_visible(open));
    GList* rows = gtk_container_get_children(GTK_CONTAINER(open));
    ASSERT_EQ(g_list_length(rows), lines.size());

    // The menu stays open while the theme changes under it; then the humidity line is highlighted.
    for (const bool dark : {true, false})
        for (GtkWidget* highlighted : {static_cast<GtkWidget*>(nullptr), GTK_WIDGET(g_list_nth_data(rows, 2))}) {
            useTheme(dark);
            if (highlighted) gtk_menu_shell_select_item(GTK_MENU_SHELL(open), highlighted);
            settle();
            GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(open));
            GdkPixbuf* shot = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                         gdk_window_get_height(window));
            int at = 0;
            for (GList* row = rows; shot && row; row = row->next, ++at) {
                if (highlighted && row->data != highlighted) continue;
                // A highlighted line's value may be below 4.5 in a theme's own colours (light Adwaita's
                // white on blue is 3.8): its heading is then as readable as its value.
                const ImageRef& headingIcon = menu->itemAtIndex(at)->imageIcon();
                const double value = textContrast(shot, GTK_WIDGET(row->data), true, 0);
                EXPECT_GE(textContrast(shot, GTK_WIDGET(row->data), false,
                                       headingIcon ? static_cast<int>(headingIcon->size().width) : 0),
                          std::min(4.5, 0.9 * value))
                    << lines[at][2] << (dark ? ", dark" : ", light") << (highlighted ? ", highlighted" : "");
                AtkObject* spoken = gtk_widget_get_accessible(GTK_WIDGET(row->data));
                EXPECT_STREQ(atk_object_get_name(spoken), lines[at][2].c_str());
            }
            ASSERT_TRUE(shot);
            g_object_unref(shot);
            gtk_menu_shell_deselect(GTK_MENU_SHELL(open));
        }
    g_list_free(rows);
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(open));
    // The tray goes first: GTK cannot take an icon of its own process out of a tray that holds it.
    tray.reset();
    settle();
    StatusBar::systemStatusBar().removeStatusItem(item);
}
