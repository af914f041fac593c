#include "platform/gtk/DbusMenuExport.h"

#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>

#include <vector>

#include "platform/gtk/GtkImages.h"
#include "platform/gtk/GtkSignals.h"

using namespace gtksignals;

namespace {

// The server follows each line under its root, and every line below it, with
// handlers of its own; when a line leaves a menu, it drops the handlers of
// that line alone. The lines below it let go here, or they would gain another
// set each time their submenu line is put back.
void releaseFromServer(DbusmenuServer* server, DbusmenuMenuitem* mi) {
    for (GList* l = dbusmenu_menuitem_get_children(mi); l; l = l->next) {
        auto* child = static_cast<DbusmenuMenuitem*>(l->data);
        g_signal_handlers_disconnect_matched(child, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, server);
        releaseFromServer(server, child);
    }
}

void takeOut(DbusmenuServer* server, DbusmenuMenuitem* parent, DbusmenuMenuitem* mi) {
    dbusmenu_menuitem_child_delete(parent, mi);
    releaseFromServer(server, mi);
}

// Takes the exported line out of the menu it is in.
void detach(DbusmenuServer* server, DbusmenuMenuitem* mi) {
    if (DbusmenuMenuitem* parent = dbusmenu_menuitem_get_parent(mi)) takeOut(server, parent, mi);
}

void removeChildren(DbusmenuServer* server, DbusmenuMenuitem* parent) {
    std::vector<DbusmenuMenuitem*> children;
    for (GList* l = dbusmenu_menuitem_get_children(parent); l; l = l->next)
        children.push_back(static_cast<DbusmenuMenuitem*>(l->data));
    for (DbusmenuMenuitem* child : children) takeOut(server, parent, child);
}

}  // namespace

struct DbusMenuExport::Line {
    DbusmenuServer* server = nullptr;
    std::weak_ptr<MenuItem> item;
    DbusmenuMenuitem* exported = nullptr;  // one reference of ours
    const Image* shownIcon = nullptr;      // the picture last sent, to send each picture once
    ImageRef keepIcon;

    ~Line() {
        if (exported) {
            detach(server, exported);
            g_object_unref(exported);
        }
    }
};

namespace {

// Underscores mark mnemonics in dbusmenu labels; a literal one is doubled.
std::string escapeMnemonics(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '_') out += '_';
    }
    return out;
}

}  // namespace

DbusMenuExport::DbusMenuExport(const std::string& objectPath) : path_(objectPath) {
    server_ = dbusmenu_server_new(path_.c_str());
    root_ = dbusmenu_menuitem_new();
    dbusmenu_server_set_root(server_, root_);
    g_signal_connect(root_, DBUSMENU_MENUITEM_SIGNAL_EVENT,
                     G_CALLBACK(+[](DbusmenuMenuitem*, const gchar* name, GVariant*, guint, gpointer self) -> gboolean {
                         auto* menu = static_cast<DbusMenuExport*>(self);
                         const std::string event = name ? name : "";
                         if (menu->openHandler_ && (event == DBUSMENU_MENUITEM_EVENT_OPENED ||
                                                    event == DBUSMENU_MENUITEM_EVENT_CLOSED))
                             menu->openHandler_(event == DBUSMENU_MENUITEM_EVENT_OPENED);
                         return FALSE;
                     }),
                     this);
}

DbusMenuExport::~DbusMenuExport() {
    g_signal_handlers_disconnect_by_data(root_, this);
    lines_.clear();
    g_object_unref(server_);
    g_object_unref(root_);
}

DbusmenuMenuitem* DbusMenuExport::exportedLine(const MenuItem* item) const {
    auto it = lines_.find(item);
    return it == lines_.end() ? nullptr : it->second->exported;
}

DbusmenuMenuitem* DbusMenuExport::lineFor(const MenuItemRef& item, bool leading) {
    auto& line = lines_[item.get()];
    if (line && line->item.lock() != item) line.reset();  // a new item at an old address
    if (!line) {
        line = std::make_unique<Line>();
        line->server = server_;
        line->item = item;
        line->exported = dbusmenu_menuitem_new();
        connect<MenuItem>(line->exported, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED,
                          +[](DbusmenuMenuitem*, guint, gpointer d) {
                              if (auto chosen = target<MenuItem>(d)) chosen->userChoose();
                          },
                          std::weak_ptr<MenuItem>(item));
    }
    DbusmenuMenuitem* mi = line->exported;
    if (item->isSeparatorItem()) {
        dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_TYPE, "separator");
        // A separator above every line separates nothing.
        dbusmenu_menuitem_property_set_bool(mi, DBUSMENU_MENUITEM_PROP_VISIBLE, !leading);
        return mi;
    }
    dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_LABEL, escapeMnemonics(item->lineText()).c_str());
    dbusmenu_menuitem_property_set_bool(mi, DBUSMENU_MENUITEM_PROP_ENABLED, item->isEnabled());
    // A label image's own icon is the line's icon; its text is in the label.
    const ImageRef& icon = item->imageText().empty() ? item->image() : item->imageIcon();
    if (icon.get() != line->shownIcon) {
        const std::string png = squarePngBytes(icon.get());
        if (png.empty())
            dbusmenu_menuitem_property_remove(mi, DBUSMENU_MENUITEM_PROP_ICON_DATA);
        else
            dbusmenu_menuitem_property_set_byte_array(mi, DBUSMENU_MENUITEM_PROP_ICON_DATA,
                                                      reinterpret_cast<const guchar*>(png.data()), png.size());
        line->shownIcon = icon.get();
        line->keepIcon = icon;
    }
    if (item->state() != 0) {
        dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE, DBUSMENU_MENUITEM_TOGGLE_CHECK);
        dbusmenu_menuitem_property_set_int(mi, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE, item->state() > 0 ? 1 : 2);
    } else {
        dbusmenu_menuitem_property_remove(mi, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE);
    }
    if (item->submenu())
        dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY,
                                       DBUSMENU_MENUITEM_CHILD_DISPLAY_SUBMENU);
    else
        dbusmenu_menuitem_property_remove(mi, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY);
    return mi;
}

void DbusMenuExport::showMenu(const Menu& menu, DbusmenuMenuitem* parent, std::map<const MenuItem*, bool>& seen) {
    std::vector<DbusmenuMenuitem*> wanted;
    bool leading = true;
    for (const MenuItemRef& item : menu.items()) {
        seen[item.get()] = true;
        DbusmenuMenuitem* mi = lineFor(item, leading);
        leading = leading && item->isSeparatorItem();
        wanted.push_back(mi);
        if (item->submenu()) showMenu(*item->submenu(), mi, seen);
        else removeChildren(server_, mi);
    }
    std::vector<DbusmenuMenuitem*> current;
    for (GList* l = dbusmenu_menuitem_get_children(parent); l; l = l->next)
        current.push_back(static_cast<DbusmenuMenuitem*>(l->data));
    if (current == wanted) return;
    removeChildren(server_, parent);
    for (DbusmenuMenuitem* mi : wanted) {
        detach(server_, mi);  // a line that moved here from another menu
        dbusmenu_menuitem_child_append(parent, mi);
    }
}

void DbusMenuExport::show(const MenuRef& menu) {
    // In the middle of a rebuild the host keeps the lines it has; it gets
    // the new ones, in one layout update, when the rebuild ends.
    if (menu && menu->isChanging()) return;
    std::map<const MenuItem*, bool> seen;
    if (menu) {
        showMenu(*menu, root_, seen);
    } else {
        removeChildren(server_, root_);
    }
    for (auto it = lines_.begin(); it != lines_.end();)
        it = seen.count(it->first) && !it->second->item.expired() ? std::next(it) : lines_.erase(it);
}
