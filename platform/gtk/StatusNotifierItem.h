#pragma once
// A status item on the session bus as a StatusNotifierItem
// (org.kde.StatusNotifierItem), the way today's panels show tray items:
// the picture as an ARGB pixmap at its own pixel size and larger, the title
// as the item's label (XAyatanaLabel), the tool tip, and the path of its
// menu, which the panel reads with com.canonical.dbusmenu.

#include <gio/gio.h>

#include <functional>
#include <string>

#include "platform/Image.h"

class StatusNotifierItem {
public:
    static constexpr const char* kObjectPath = "/StatusNotifierItem";

    // Exports the item on the connection under a bus name of its own.
    // `id` names the program, `title` is its human-readable name.
    StatusNotifierItem(GDBusConnection* bus, const std::string& id, const std::string& title,
                       const std::string& menuPath);
    ~StatusNotifierItem();
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // False when the object or its name could not be had.
    bool exported() const { return registration_ != 0 && !busName_.empty(); }
    // The name a watcher is told (RegisterStatusNotifierItem).
    const std::string& busName() const { return busName_; }

    // Shows these; the panel is told of each part that changed.
    void show(const ImageRef& icon, const std::string& label, const std::string& toolTip);

    // The panel asks for the menu or activates the item at a screen position.
    void setActivateHandler(std::function<void(int x, int y)> handler) { activate_ = std::move(handler); }

private:
    static void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* getProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                                 GError**, gpointer self);
    GVariant* iconPixmaps() const;
    GVariant* toolTipValue() const;
    void emit(const char* signal, GVariant* parameters = nullptr);

    GDBusConnection* bus_;
    guint registration_ = 0;
    std::string busName_;
    std::string id_;
    std::string title_;
    std::string menuPath_;
    ImageRef icon_;
    std::string label_;
    std::string toolTip_;
    std::function<void(int, int)> activate_;
};
