// The standalone program's status item on a private session bus: with a
// StatusNotifierWatcher of the test's own it is a StatusNotifierItem whose
// icon, label, tool tip and menu a panel reads over the bus; without one it
// is a tray icon and says once why nothing may show it.

#define GDK_DISABLE_DEPRECATION_WARNINGS 1

#include <gtest/gtest.h>

#include <gio/gio.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "appbus/CoreFixture.h"
#include "platform/gtk/DbusMenuExport.h"
#include "platform/gtk/GtkPresenter.h"
#include "platform/gtk/StatusItemView.h"
#include "platform/gtk/StatusNotifierItem.h"
#include "support/CaptureStream.h"
#include "tray/TestWatcher.h"

namespace {

using Variant = std::unique_ptr<GVariant, decltype(&g_variant_unref)>;
Variant own(GVariant* value) { return Variant(value, g_variant_unref); }

// A call over the bus, answered while the main loop runs (the item lives on
// the main thread). Null on an error or no answer.
Variant call(GDBusConnection* bus, const std::string& service, const std::string& path, const char* interface,
             const char* method, GVariant* parameters) {
    std::pair<GVariant*, bool> reply{nullptr, false};
    g_dbus_connection_call(bus, service.c_str(), path.c_str(), interface, method, parameters, nullptr,
                           G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
                           +[](GObject* source, GAsyncResult* result, gpointer data) {
                               auto* r = static_cast<std::pair<GVariant*, bool>*>(data);
                               *r = {g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr), true};
                           },
                           &reply);
    MainLoop::instance().runUntil([&] { return reply.second; }, 6000);
    return own(reply.first);
}

struct Line {
    int id = 0;
    std::string type;
    std::string label;
    bool visible = true;
    bool enabled = true;
    bool hasIcon = false;
    int iconWidth = 0, iconHeight = 0;
    std::vector<Line> children;
};

// The size of the picture in PNG bytes.
std::pair<int, int> pngSize(const guchar* bytes, gsize length) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    std::pair<int, int> size{0, 0};
    if (gdk_pixbuf_loader_write(loader, bytes, length, nullptr) && gdk_pixbuf_loader_close(loader, nullptr)) {
        GdkPixbuf* picture = gdk_pixbuf_loader_get_pixbuf(loader);
        size = {gdk_pixbuf_get_width(picture), gdk_pixbuf_get_height(picture)};
    }
    g_object_unref(loader);
    return size;
}

Line readLayout(GVariant* node) {
    Line line;
    GVariant *properties = nullptr, *children = nullptr;
    g_variant_get(node, "(i@a{sv}@av)", &line.id, &properties, &children);
    Variant ownedProperties = own(properties), ownedChildren = own(children);
    const gchar* text = nullptr;
    if (g_variant_lookup(properties, "label", "&s", &text)) line.label = text;
    if (g_variant_lookup(properties, "type", "&s", &text)) line.type = text;
    gboolean flag = TRUE;
    if (g_variant_lookup(properties, "visible", "b", &flag)) line.visible = flag;
    if (g_variant_lookup(properties, "enabled", "b", &flag)) line.enabled = flag;
    if (Variant icon = own(g_variant_lookup_value(properties, "icon-data", G_VARIANT_TYPE("ay")))) {
        line.hasIcon = true;
        gsize length = 0;
        const auto* bytes = static_cast<const guchar*>(g_variant_get_fixed_array(icon.get(), &length, 1));
        std::tie(line.iconWidth, line.iconHeight) = pngSize(bytes, length);
    }
    for (gsize i = 0; i < g_variant_n_children(children); ++i)
        line.children.push_back(readLayout(own(g_variant_get_variant(own(g_variant_get_child_value(children, i)).get())).get()));
    return line;
}

void expectSameLines(const Menu& menu, const Line& exported) {
    ASSERT_EQ(exported.children.size(), menu.items().size()) << menu.title();
    for (size_t i = 0; i < menu.items().size(); ++i) {
        const MenuItem& item = *menu.items()[i];
        const Line& line = exported.children[i];
        if (item.isSeparatorItem()) {
            EXPECT_EQ(line.type, "separator") << i;
            continue;
        }
        EXPECT_EQ(line.label, item.lineText()) << i;
        // A label image's text is in the label, its icon (if any) is the line's icon.
        const bool icon = item.imageText().empty() ? static_cast<bool>(item.image()) : static_cast<bool>(item.imageIcon());
        EXPECT_EQ(line.hasIcon, icon) << item.title();
        if (item.submenu()) expectSameLines(*item.submenu(), line);
    }
}

int findLine(const Line& menu, const std::string& label) {
    for (const Line& line : menu.children) {
        if (line.label == label) return line.id;
        if (int id = findLine(line, label)) return id;
    }
    return 0;
}

class StatusNotifierTest : public CoreFixture {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(GtkPresenter::initialize()) << "no display"; }

    bool showsWeather(ComTeskPlim& core) {
        return waitFor([&] {
            return !core.statusItem()->title().empty() && core.menu()->itemWithTag(ComTeskPlim::kUpdate)->isEnabled();
        });
    }
};

}  // namespace

TEST_F(StatusNotifierTest, WithAWatcherTheItemIsOnTheBusWithIconLabelToolTipAndMenu) {
    TestWatcher watcher;
    store(earlierPrefs("advance_mode", {city("Des Moines, IA", Location::kPrimary)}));
    auto presenter = std::make_unique<GtkPresenter>();
    auto core = std::make_unique<ComTeskPlim>();
    StatusItemView* view = presenter->statusItemViewFor(core->statusItem().get());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(waitFor([&] { return view->shown() == StatusItemView::Shown::NotifierItem; }));
    ASSERT_EQ(watcher.items, (std::vector<std::string>{view->notifierItem()->busName()}));
    EXPECT_EQ(presenter->statusIconFor(core->statusItem().get()), nullptr);  // not in a tray as well
    ASSERT_TRUE(showsWeather(*core));
    presenter->sync();
    auto itemCall = [&](const std::string& path, const char* interface, const char* method, GVariant* parameters) {
        return call(watcher.bus(), watcher.items[0], path, interface, method, parameters);
    };
    const char* const item = StatusNotifierItem::kObjectPath;
    Variant all = itemCall(item, "org.freedesktop.DBus.Properties", "GetAll",
                           g_variant_new("(s)", "org.kde.StatusNotifierItem"));
    ASSERT_NE(all, nullptr);
    Variant properties = own(g_variant_get_child_value(all.get(), 0));

    // The icon: the rendered weather icon at its own pixel size first,
    // centred on a transparent square (panels stretch pixmaps to squares).
    const ImageRef icon = core->statusItem()->image();
    ASSERT_TRUE(icon);
    gint32 side = 0, height = 0;
    GVariant* bytes = nullptr;
    Variant pixmaps = own(g_variant_lookup_value(properties.get(), "IconPixmap", G_VARIANT_TYPE("a(iiay)")));
    ASSERT_NE(pixmaps, nullptr);
    ASSERT_GE(g_variant_n_children(pixmaps.get()), 1u);
    g_variant_get_child(pixmaps.get(), 0, "(ii@ay)", &side, &height, &bytes);
    Variant ownedBytes = own(bytes);
    ASSERT_GT(icon->pixelsWide(), icon->pixelsHigh());
    ASSERT_EQ(side, icon->pixelsWide());
    ASSERT_EQ(height, side);
    const int top = (side - icon->pixelsHigh()) / 2;
    gsize length = 0;
    const auto* argb = static_cast<const uint8_t*>(g_variant_get_fixed_array(bytes, &length, 1));
    ASSERT_EQ(length, static_cast<gsize>(side * side * 4));
    int differing = 0, visible = 0, outside = 0;
    for (int row = 0; row < side; ++row)
        for (int x = 0; x < side; ++x) {
            const uint8_t* q = argb + (row * side + x) * 4;
            const int y = row - top;
            if (y < 0 || y >= icon->pixelsHigh()) {
                outside += q[0] != 0;
                continue;
            }
            const Pixel p = icon->pixelAt(x, icon->pixelsHigh() - 1 - y);  // counted from the bottom
            if (p.a == 0 && q[0] == 0) continue;
            ++visible;
            differing += std::abs(q[0] - p.a) > 1 || std::abs(q[1] - p.r) > 1 || std::abs(q[2] - p.g) > 1 ||
                         std::abs(q[3] - p.b) > 1;
        }
    EXPECT_GT(visible, 100);
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(outside, 0) << "the padding is transparent";

    // The label is the temperature title; the tool tip names the city, its conditions and temperature.
    const gchar *label = nullptr, *tipTitle = nullptr, *tipText = nullptr, *menuPath = nullptr;
    ASSERT_TRUE(g_variant_lookup(properties.get(), "XAyatanaLabel", "&s", &label));
    EXPECT_EQ(label, core->statusItem()->title());
    ASSERT_TRUE(g_variant_lookup(properties.get(), "ToolTip", "(&s@a(iiay)&s&s)", nullptr, nullptr, &tipTitle, &tipText));
    EXPECT_EQ(std::string(tipTitle), "Des Moines, IA");
    EXPECT_NE(std::string(tipText).find(label), std::string::npos) << tipText;
    ASSERT_TRUE(g_variant_lookup(properties.get(), "Menu", "&o", &menuPath));
    const std::string menu = menuPath;

    // The exported menu has the model's lines and labels, images included.
    Variant layout = itemCall(menu, "com.canonical.dbusmenu", "GetLayout",
                              g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
    ASSERT_NE(layout, nullptr);
    const Line root = readLayout(own(g_variant_get_child_value(layout.get(), 1)).get());
    expectSameLines(*core->menu(), root);
    EXPECT_TRUE(std::ranges::any_of(core->menu()->items(), [](const MenuItemRef& i) { return !i->imageText().empty(); }))
        << "no detail or forecast line to show";
    // Line pictures (25 x 16) arrive as squares, so a panel does not stretch them.
    int pictures = 0;
    for (const Line& line : root.children)
        if (line.hasIcon) {
            ++pictures;
            EXPECT_EQ(line.iconWidth, line.iconHeight) << line.label;
            EXPECT_EQ(line.iconWidth, 25) << line.label;
        }
    EXPECT_GT(pictures, 0);

    // Choosing "Update Now" through the bus refreshes the weather; the
    // pictures of the refresh (animation frames, the icon with its warning
    // badge) reach the panel as new icons.
    auto menuEvent = [&](int id, const char* event) {
        return itemCall(menu, "com.canonical.dbusmenu", "Event",
                        g_variant_new("(isvu)", id, event, g_variant_new_int32(0), 0u)) != nullptr;
    };
    int newIcons = 0;
    const guint subscription = g_dbus_connection_signal_subscribe(
        watcher.bus(), nullptr, "org.kde.StatusNotifierItem", "NewIcon", item, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*, gpointer count) {
            ++*static_cast<int*>(count);
        },
        &newIcons, nullptr);
    const int update = findLine(root, "Update Now");
    ASSERT_NE(update, 0);
    const size_t fetched = server.requests().size();
    ASSERT_TRUE(menuEvent(update, "clicked"));
    EXPECT_TRUE(waitFor([&] { return server.requests().size() > fetched; }));
    EXPECT_TRUE(showsWeather(*core));
    presenter->sync();
    EXPECT_TRUE(waitFor([&] { return newIcons > 0; }, 3000));
    g_dbus_connection_signal_unsubscribe(watcher.bus(), subscription);

    // The panel opens the menu: no tool tip over it.
    ASSERT_TRUE(menuEvent(0, "opened"));
    ASSERT_TRUE(waitFor([&] { return core->statusItem()->isMenuDown(); }));
    presenter->sync();
    Variant tip = itemCall(item, "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.kde.StatusNotifierItem", "ToolTip"));
    ASSERT_NE(tip, nullptr);
    Variant tipValue = own(g_variant_get_variant(own(g_variant_get_child_value(tip.get(), 0)).get()));
    g_variant_get(tipValue.get(), "(&s@a(iiay)&s&s)", nullptr, nullptr, &tipTitle, &tipText);
    EXPECT_STREQ(tipTitle, "");

    core->deactivate();
    core.reset();
}

TEST_F(StatusNotifierTest, TheExportedMenuChangesOnlyToSettledMenusEachWithANewRevision) {
    TestWatcher watcher;
    auto presenter = std::make_unique<GtkPresenter>();
    StatusItemRef item = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
    item->setImage(Image::create({28, 19}));
    MenuRef menu = Menu::create("theMenu");
    menu->addItem(MenuItem::separatorItem());  // the weather lines go above it
    MenuItemRef update = menu->addItem("Updating\u2026");
    update->setEnabled(false);
    menu->addItem("Quit");
    item->setMenu(menu);
    StatusItemView* view = presenter->statusItemViewFor(item.get());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(waitFor([&] { return view->shown() == StatusItemView::Shown::NotifierItem; }));
    presenter->sync();
    const std::string path = view->exportedMenu()->objectPath();
    const std::string service = view->notifierItem()->busName();

    struct Told {
        std::vector<guint> revisions;  // of each LayoutUpdated
        int propertyUpdates = 0;
    } told;
    auto subscribe = [&](const char* signal, GDBusSignalCallback callback) {
        return g_dbus_connection_signal_subscribe(watcher.bus(), nullptr, "com.canonical.dbusmenu", signal, path.c_str(),
                                                  nullptr, G_DBUS_SIGNAL_FLAGS_NONE, callback, &told, nullptr);
    };
    const guint layoutUpdates = subscribe("LayoutUpdated", +[](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                                               const gchar*, GVariant* args, gpointer data) {
        guint revision = 0;
        gint parent = 0;
        g_variant_get(args, "(ui)", &revision, &parent);
        static_cast<Told*>(data)->revisions.push_back(revision);
    });
    const guint propertyUpdates =
        subscribe("ItemsPropertiesUpdated", +[](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                                const gchar*, GVariant*, gpointer data) {
            ++static_cast<Told*>(data)->propertyUpdates;
        });
    auto layout = [&] {
        Variant reply = call(watcher.bus(), service, path, "com.canonical.dbusmenu", "GetLayout",
                             g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
        guint revision = 0;
        if (reply) g_variant_get_child(reply.get(), 0, "u", &revision);
        return std::pair{revision, reply ? readLayout(own(g_variant_get_child_value(reply.get(), 1)).get()) : Line{}};
    };
    auto labels = [](const Line& root) {
        std::vector<std::string> shown;
        for (const Line& line : root.children)
            if (line.visible) shown.push_back(line.type == "separator" ? "---" : line.label + (line.enabled ? "" : " [off]"));
        return shown;
    };
    auto settle = [] { MainLoop::instance().runUntil([] { return false; }, 300); };

    // The menu server joins the bus on its own, a moment after the item is shown.
    const std::vector<std::string> updating = {"Updating\u2026 [off]", "Quit"};
    ASSERT_TRUE(waitFor([&] { return labels(layout().second) == updating; }, 5000))
        << "no separator above the first line";
    const guint first = layout().first;
    settle();
    told = {};

    // A rebuild adds empty lines and fills them; the panel is told nothing
    // until it is complete, then once.
    menu->beginChanges();
    MenuItemRef city = MenuItem::create("");
    MenuItemRef favorite = MenuItem::create("");
    menu->insertItem(city, 0);
    menu->insertItem(favorite, 1);
    presenter->sync();
    settle();
    EXPECT_TRUE(told.revisions.empty());
    EXPECT_EQ(told.propertyUpdates, 0);
    EXPECT_EQ(layout().first, first);
    EXPECT_EQ(labels(layout().second), updating);
    city->setTitle("Could not contact weather site  (5)");
    favorite->setTitle("35\xA1  Boston, MA");
    favorite->setImage(Image::create({25, 16}));
    menu->endChanges();
    presenter->sync();
    ASSERT_TRUE(waitFor([&] { return !told.revisions.empty(); }, 3000));
    settle();
    ASSERT_EQ(told.revisions.size(), 1u);
    EXPECT_GT(told.revisions[0], first);
    auto [rebuilt, after] = layout();
    EXPECT_EQ(rebuilt, told.revisions[0]);
    EXPECT_EQ(labels(after), (std::vector<std::string>{"Could not contact weather site  (5)", "35\u00B0  Boston, MA",
                                                       "---", "Updating\u2026 [off]", "Quit"}));

    // The update ends: the status line changes in place.
    update->setTitle("Update Now");
    update->setEnabled(true);
    presenter->sync();
    ASSERT_TRUE(waitFor([&] { return told.propertyUpdates > 0; }, 3000));
    EXPECT_EQ(labels(layout().second), (std::vector<std::string>{"Could not contact weather site  (5)",
                                                                 "35\u00B0  Boston, MA", "---", "Update Now", "Quit"}));

    // A line that goes is a new layout with a newer revision.
    menu->removeItem(favorite.get());
    presenter->sync();
    ASSERT_TRUE(waitFor([&] { return told.revisions.size() == 2; }, 3000));
    EXPECT_GT(told.revisions[1], told.revisions[0]);
    EXPECT_EQ(layout().first, told.revisions[1]);
    expectSameLines(*menu, layout().second);

    g_dbus_connection_signal_unsubscribe(watcher.bus(), layoutUpdates);
    g_dbus_connection_signal_unsubscribe(watcher.bus(), propertyUpdates);
    StatusBar::systemStatusBar().removeStatusItem(item);
}

TEST_F(StatusNotifierTest, WithoutAWatcherTheItemIsATrayIconAndSaysWhyNothingShowsIt) {
    store(earlierPrefs("advance_mode", {city("Des Moines, IA", Location::kPrimary)}));
    CaptureStderr log;
    auto presenter = std::make_unique<GtkPresenter>();
    auto core = std::make_unique<ComTeskPlim>();
    StatusItemView* view = presenter->statusItemViewFor(core->statusItem().get());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(waitFor([&] { return view->shown() == StatusItemView::Shown::TrayIcon; }));
    ASSERT_TRUE(showsWeather(*core));
    presenter->sync();

    GtkStatusIcon* tray = presenter->statusIconFor(core->statusItem().get());
    ASSERT_NE(tray, nullptr);
    // The weather icon alone fills the slot's width, in its own proportions,
    // centred on a transparent square; the temperature is in the tool tip.
    GdkPixbuf* shown = gtk_status_icon_get_pixbuf(tray);
    ASSERT_NE(shown, nullptr);
    const int slot = gtk_status_icon_get_size(tray) > 0 ? gtk_status_icon_get_size(tray) : 22;
    ASSERT_EQ(gdk_pixbuf_get_width(shown), slot);
    ASSERT_EQ(gdk_pixbuf_get_height(shown), slot);
    ASSERT_TRUE(gdk_pixbuf_get_has_alpha(shown));
    const guchar* topRow = gdk_pixbuf_read_pixels(shown);
    int opaque = 0;
    for (int x = 0; x < slot; ++x) opaque += topRow[x * 4 + 3] != 0;
    EXPECT_EQ(opaque, 0) << "the top row is padding";
    g_autofree gchar* tip = gtk_status_icon_get_tooltip_text(tray);
    ASSERT_NE(tip, nullptr);
    EXPECT_NE(std::string(tip).find("Des Moines, IA"), std::string::npos) << tip;
    EXPECT_NE(std::string(tip).find(core->statusItem()->title()), std::string::npos) << tip;

    core->deactivate();
    core.reset();
    const std::string said = log.text();
    EXPECT_NE(said.find("the weather icon cannot be shown: there is no StatusNotifierWatcher on the session bus and "
                        "no system tray on the display"),
              std::string::npos)
        << said;
}
