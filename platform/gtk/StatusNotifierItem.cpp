#include "platform/gtk/StatusNotifierItem.h"

#include <unistd.h>

#include <iostream>

#include "platform/gtk/GtkImages.h"

namespace {

constexpr const char* kInterface = "org.kde.StatusNotifierItem";

constexpr const char* kIntrospection = R"xml(
<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconThemePath" type="s" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <property name="XAyatanaLabel" type="s" access="read"/>
    <property name="XAyatanaLabelGuide" type="s" access="read"/>
    <property name="XAyatanaOrderingIndex" type="u" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <method name="ProvideXdgActivationToken"><arg name="token" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
    <signal name="XAyatanaNewLabel"><arg name="label" type="s"/><arg name="guide" type="s"/></signal>
  </interface>
</node>)xml";

GDBusInterfaceInfo* interfaceInfo() {
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    return node ? node->interfaces[0] : nullptr;
}

GVariant* emptyPixmaps() { return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0); }

GVariant* pixmapValue(const ArgbPixmap& p) {
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, p.argb.data(), p.argb.size(), 1);
    return g_variant_new("(ii@ay)", p.width, p.height, bytes);
}

// A bus name of this process's own for the item.
std::string ownName(GDBusConnection* bus) {
    static int counter = 0;
    const std::string name =
        "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", name.c_str(), 4u /* do not queue */), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
        5000, nullptr, &error);
    if (!reply) {
        std::cerr << "StatusNotifierItem: cannot own the bus name " << name << ": " << error->message << std::endl;
        g_error_free(error);
        return "";
    }
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
    return result == 1 ? name : "";  // 1: the primary owner
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(GDBusConnection* bus, const std::string& id, const std::string& title,
                                       const std::string& menuPath)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))), id_(id), title_(title), menuPath_(menuPath) {
    static const GDBusInterfaceVTable vtable = {&StatusNotifierItem::methodCall, &StatusNotifierItem::getProperty,
                                                nullptr, {}};
    GError* error = nullptr;
    registration_ = g_dbus_connection_register_object(bus_, kObjectPath, interfaceInfo(), &vtable, this, nullptr,
                                                      &error);
    if (!registration_) {
        std::cerr << "StatusNotifierItem: cannot export the item: " << error->message << std::endl;
        g_error_free(error);
        return;
    }
    busName_ = ownName(bus_);
}

StatusNotifierItem::~StatusNotifierItem() {
    if (registration_) g_dbus_connection_unregister_object(bus_, registration_);
    if (!busName_.empty())
        g_dbus_connection_call(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "ReleaseName", g_variant_new("(s)", busName_.c_str()), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    g_object_unref(bus_);
}

void StatusNotifierItem::show(const ImageRef& icon, const std::string& label, const std::string& toolTip) {
    if (icon != icon_) {
        icon_ = icon;
        emit("NewIcon");
    }
    if (label != label_) {
        label_ = label;
        emit("XAyatanaNewLabel", g_variant_new("(ss)", label_.c_str(), ""));
    }
    if (toolTip != toolTip_) {
        toolTip_ = toolTip;
        emit("NewToolTip");
    }
}

void StatusNotifierItem::emit(const char* signal, GVariant* parameters) {
    if (!exported()) {
        if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
        return;
    }
    g_dbus_connection_emit_signal(bus_, nullptr, kObjectPath, kInterface, signal, parameters, nullptr);
}

GVariant* StatusNotifierItem::iconPixmaps() const {
    if (!icon_) return emptyPixmaps();
    // The picture at its own size, and larger for larger panels: the panel
    // picks the one that fits its slot.
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    for (int scale : {1, 2, 3}) {
        const ArgbPixmap p = argbPixmap(*icon_, scale);
        if (p.width > 0) g_variant_builder_add_value(&builder, pixmapValue(p));
    }
    return g_variant_builder_end(&builder);
}

GVariant* StatusNotifierItem::toolTipValue() const {
    // The first line is the tool tip's title, the rest its text.
    const size_t newline = toolTip_.find('\n');
    const std::string title = toolTip_.substr(0, newline);
    const std::string text = newline == std::string::npos ? "" : toolTip_.substr(newline + 1);
    return g_variant_new("(s@a(iiay)ss)", "", emptyPixmaps(), title.c_str(), text.c_str());
}

GVariant* StatusNotifierItem::getProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                          const gchar* property, GError**, gpointer self) {
    auto* item = static_cast<StatusNotifierItem*>(self);
    const std::string name = property;
    if (name == "Category") return g_variant_new_string("ApplicationStatus");
    if (name == "Id") return g_variant_new_string(item->id_.c_str());
    if (name == "Title") return g_variant_new_string(item->title_.c_str());
    if (name == "Status") return g_variant_new_string("Active");
    if (name == "WindowId") return g_variant_new_int32(0);
    if (name == "IconPixmap") return item->iconPixmaps();
    if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap") return emptyPixmaps();
    if (name == "ToolTip") return item->toolTipValue();
    if (name == "ItemIsMenu") return g_variant_new_boolean(TRUE);
    if (name == "Menu") return g_variant_new_object_path(item->menuPath_.c_str());
    if (name == "XAyatanaLabel") return g_variant_new_string(item->label_.c_str());
    if (name == "XAyatanaOrderingIndex") return g_variant_new_uint32(0);
    return g_variant_new_string("");  // icon names, theme path, label guide, attention movie
}

void StatusNotifierItem::methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                                    GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
    auto* item = static_cast<StatusNotifierItem*>(self);
    const std::string name = method;
    if (name == "Activate" || name == "ContextMenu" || name == "SecondaryActivate") {
        gint32 x = 0, y = 0;
        g_variant_get(parameters, "(ii)", &x, &y);
        g_dbus_method_invocation_return_value(invocation, nullptr);
        if (item->activate_) item->activate_(x, y);
        return;
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);  // scrolling and tokens mean nothing here
}
