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
#include <vector>

#include "appbus/CoreFixture.h"
#include "platform/gtk/DbusMenuExport.h"
#include "platform/gtk/GtkPresenter.h"
#include "platform/gtk/StatusItemView.h"
#include "platform/gtk/StatusNotifierItem.h"
#include "support/CaptureStream.h"

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

// The smallest StatusNotifierWatcher: it takes registrations and tells
// that a host is there.
class TestWatcher {
public:
    TestWatcher() {
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        bus_ = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
        static const char* xml = R"xml(<node><interface name="org.kde.StatusNotifierWatcher">
            <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
            <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
            <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
            <property name="ProtocolVersion" type="i" access="read"/>
            </interface></node>)xml";
        GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(xml, nullptr);
        static const GDBusInterfaceVTable vtable = {
            +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant* args,
                GDBusMethodInvocation* invocation, gpointer self) {
                if (std::string(method) == "RegisterStatusNotifierItem") {
                    const gchar* service = nullptr;
                    g_variant_get(args, "(&s)", &service);
                    static_cast<TestWatcher*>(self)->items.push_back(service);
                }
                g_dbus_method_invocation_return_value(invocation, nullptr);
            },
            +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property, GError**,
                gpointer) -> GVariant* {
                return std::string(property) == "ProtocolVersion" ? g_variant_new_int32(0)
                                                                  : g_variant_new_boolean(TRUE);
            },
            nullptr,
            {}};
        registration_ = g_dbus_connection_register_object(bus_, "/StatusNotifierWatcher", info->interfaces[0],
                                                          &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(info);
        own(g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                        "RequestName", g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 4u),
                                        nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr));
    }
    ~TestWatcher() {
        g_dbus_connection_unregister_object(bus_, registration_);
        g_dbus_connection_close_sync(bus_, nullptr, nullptr);
        g_object_unref(bus_);
    }
    GDBusConnection* bus() const { return bus_; }

    std::vector<std::string> items;

private:
    GDBusConnection* bus_ = nullptr;
    guint registration_ = 0;
};

struct Line {
    int id = 0;
    std::string type;
    std::string label;
    bool hasIcon = false;
    std::vector<Line> children;
};

Line readLayout(GVariant* node) {
    Line line;
    GVariant *properties = nullptr, *children = nullptr;
    g_variant_get(node, "(i@a{sv}@av)", &line.id, &properties, &children);
    Variant ownedProperties = own(properties), ownedChildren = own(children);
    const gchar* text = nullptr;
    if (g_variant_lookup(properties, "label", "&s", &text)) line.label = text;
    if (g_variant_lookup(properties, "type", "&s", &text)) line.type = text;
    line.hasIcon = own(g_variant_lookup_value(properties, "icon-data", nullptr)) != nullptr;
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
        EXPECT_EQ(line.label, DbusMenuExport::lineLabel(item)) << i;
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

    // The icon: the rendered weather icon at its own pixel size first.
    const ImageRef icon = core->statusItem()->image();
    ASSERT_TRUE(icon);
    gint32 width = 0, height = 0;
    GVariant* bytes = nullptr;
    Variant pixmaps = own(g_variant_lookup_value(properties.get(), "IconPixmap", G_VARIANT_TYPE("a(iiay)")));
    ASSERT_NE(pixmaps, nullptr);
    ASSERT_GE(g_variant_n_children(pixmaps.get()), 1u);
    g_variant_get_child(pixmaps.get(), 0, "(ii@ay)", &width, &height, &bytes);
    Variant ownedBytes = own(bytes);
    ASSERT_EQ(width, icon->pixelsWide());
    ASSERT_EQ(height, icon->pixelsHigh());
    gsize length = 0;
    const auto* argb = static_cast<const uint8_t*>(g_variant_get_fixed_array(bytes, &length, 1));
    ASSERT_EQ(length, static_cast<gsize>(width * height * 4));
    int differing = 0, visible = 0;
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const Pixel p = icon->pixelAt(x, height - 1 - row);  // counted from the bottom
            const uint8_t* q = argb + (row * width + x) * 4;
            if (p.a == 0 && q[0] == 0) continue;
            ++visible;
            differing += std::abs(q[0] - p.a) > 1 || std::abs(q[1] - p.r) > 1 || std::abs(q[2] - p.g) > 1 ||
                         std::abs(q[3] - p.b) > 1;
        }
    EXPECT_GT(visible, 100);
    EXPECT_EQ(differing, 0);

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
    // The weather icon alone fills the slot; the temperature is in the tool tip.
    GdkPixbuf* shown = gtk_status_icon_get_pixbuf(tray);
    ASSERT_NE(shown, nullptr);
    const int slot = gtk_status_icon_get_size(tray) > 0 ? gtk_status_icon_get_size(tray) : 22;
    EXPECT_EQ(std::max(gdk_pixbuf_get_width(shown), gdk_pixbuf_get_height(shown)), slot);
    EXPECT_LT(gdk_pixbuf_get_height(shown), gdk_pixbuf_get_width(shown));  // the icon's own proportions
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
