#include "platform/gtk/GtkMenuMirror.h"

#include <cmath>
#include <map>

#include "platform/gtk/GtkImages.h"
#include "platform/gtk/GtkSignals.h"
#include "platform/internal/LabelPictureDrawing.h"

using namespace gtksignals;

namespace {

// Draws the line's label picture in the colour the theme gives the line's
// text in its present state (highlighted or not), on the window's surface
// and so at the display's scale. GTK draws it again whenever the theme, its
// colours or the line's state change.
gboolean drawLabel(GtkWidget* area, cairo_t* cr, gpointer label) {
    const auto& shown = *static_cast<std::shared_ptr<const LabelPicture>*>(label);
    if (!shown) return FALSE;
    GtkStyleContext* style = gtk_widget_get_style_context(area);
    GdkRGBA text;
    gtk_style_context_get_color(style, gtk_style_context_get_state(style), &text);
    ImageCanvas canvas(cr, shown->size.height);
    drawLabelPicture(canvas, *shown, Color::calibratedRGB(text.red, text.green, text.blue, text.alpha));
    return FALSE;
}

}  // namespace

struct GtkMenuMirror::Entry {
    std::weak_ptr<MenuItem> item;
    const MenuItem* key = nullptr;
    GtkWidget* widget = nullptr;  // the GtkMenuItem, owned by the GTK menu
    GtkWidget* image = nullptr;
    GtkWidget* labelPicture = nullptr;  // draws a label picture itself
    GtkWidget* label = nullptr;
    ImageRef shownImage;  // kept, so that a new picture never shares the old one's address
    std::shared_ptr<const LabelPicture> shownLabel;
    std::unique_ptr<GtkMenuMirror> submenu;

    explicit Entry(const MenuItemRef& from) : item(from), key(from.get()) {
        if (from->isSeparatorItem()) {
            widget = gtk_separator_menu_item_new();
            return;
        }
        widget = gtk_menu_item_new();
        GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
        image = gtk_image_new();
        labelPicture = gtk_drawing_area_new();
        // Centred in the line's height, as an image's picture is.
        gtk_widget_set_valign(labelPicture, GTK_ALIGN_CENTER);
        g_signal_connect(labelPicture, "draw", G_CALLBACK(drawLabel), &shownLabel);
        label = gtk_label_new("");
        gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(row), labelPicture, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
        gtk_container_add(GTK_CONTAINER(widget), row);
        gtk_widget_show(row);
        gtk_widget_show(label);
        connect<MenuItem>(widget, "activate", +[](GtkMenuItem*, gpointer d) {
            if (auto chosen = target<MenuItem>(d)) chosen->userChoose();
        }, std::weak_ptr<MenuItem>(from));
    }
    ~Entry() {
        submenu.reset();
        if (labelPicture) g_signal_handlers_disconnect_by_data(labelPicture, &shownLabel);
        gtk_widget_destroy(widget);
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    // Shows the item's state; true when anything changed.
    bool show(const MenuItem& from, bool leading) {
        bool changed = false;
        if (from.isSeparatorItem()) {
            // A separator above every line separates nothing.
            if (gtk_widget_get_visible(widget) == leading) {
                gtk_widget_set_visible(widget, !leading);
                changed = true;
            }
            return changed;
        }
        if (!gtk_widget_get_visible(widget)) {
            gtk_widget_show(widget);
            changed = true;
        }
        if (from.title() != gtk_label_get_text(GTK_LABEL(label))) {
            gtk_label_set_text(GTK_LABEL(label), from.title().c_str());
            changed = true;
        }
        if (from.image() != shownImage || from.labelPicture() != shownLabel) {
            shownImage = from.image();
            shownLabel = from.labelPicture();
            // A label picture is drawn here in the theme's colours; any
            // other picture is shown as it is.
            GdkPixbuf* pb = shownLabel ? nullptr : pixbufFromImage(shownImage.get());
            gtk_image_set_from_pixbuf(GTK_IMAGE(image), pb);
            if (pb) g_object_unref(pb);
            gtk_widget_set_visible(image, pb != nullptr);
            if (shownLabel)
                gtk_widget_set_size_request(labelPicture, static_cast<int>(std::ceil(shownLabel->size.width)),
                                            static_cast<int>(std::ceil(shownLabel->size.height)));
            gtk_widget_set_visible(labelPicture, shownLabel != nullptr);
            gtk_widget_queue_draw(labelPicture);
            changed = true;
        }
        // Screen readers hear the whole line, the label picture's words too.
        const std::string spoken = from.lineText();
        AtkObject* accessible = gtk_widget_get_accessible(widget);
        const char* named = atk_object_get_name(accessible);
        if (spoken != (named ? named : "")) atk_object_set_name(accessible, spoken.c_str());
        if (gtk_widget_get_sensitive(widget) != from.isEnabled()) {
            gtk_widget_set_sensitive(widget, from.isEnabled());
            changed = true;
        }
        if (submenu && submenu->menu() != from.submenu()) {
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), nullptr);
            submenu.reset();
            changed = true;
        }
        if (!submenu && from.submenu()) {
            submenu = std::make_unique<GtkMenuMirror>(from.submenu());
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), submenu->widget());
            changed = true;
        }
        if (submenu) changed = submenu->sync() || changed;
        return changed;
    }
};

GtkMenuMirror::GtkMenuMirror(const MenuRef& menu) : menu_(menu) {
    widget_ = GTK_WIDGET(g_object_ref_sink(gtk_menu_new()));
    // Placing the menu clamps it to the screen with the window's size, which
    // changes only when the new size is allocated: it is placed again then.
    g_signal_connect(widget_, "size-allocate", G_CALLBACK(+[](GtkWidget* widget, GdkRectangle*, gpointer self) {
                         auto* mirror = static_cast<GtkMenuMirror*>(self);
                         if (!mirror->placeAgain_) return;
                         mirror->placeAgain_ = false;
                         gtk_menu_reposition(GTK_MENU(widget));
                     }),
                     this);
    sync();
}

GtkMenuMirror::~GtkMenuMirror() {
    g_signal_handlers_disconnect_by_data(widget_, this);
    entries_.clear();
    gtk_widget_destroy(widget_);
    g_object_unref(widget_);
}

bool GtkMenuMirror::sync() {
    MenuRef menu = menu_.lock();
    if (!menu) return false;
    // A menu never shown is built from what there is, even mid-batch: an
    // empty menu would be worse than a half-built one.
    if (menu->isChanging() && synced_) return false;
    synced_ = true;

    std::map<const MenuItem*, std::unique_ptr<Entry>> old;
    for (auto& entry : entries_) {
        const MenuItem* key = entry->key;
        old[key] = std::move(entry);
    }
    entries_.clear();
    bool changed = false;
    bool leading = true;
    for (const MenuItemRef& item : menu->items()) {
        auto it = old.find(item.get());
        std::unique_ptr<Entry> entry;
        // A new item at a dead item's address is a new line.
        if (it != old.end() && it->second->item.lock() == item) {
            entry = std::move(it->second);
            old.erase(it);
        } else {
            entry = std::make_unique<Entry>(item);
            gtk_menu_shell_append(GTK_MENU_SHELL(widget_), entry->widget);
            changed = true;
        }
        changed = entry->show(*item, leading) || changed;
        leading = leading && item->isSeparatorItem();
        entries_.push_back(std::move(entry));
    }
    if (!old.empty()) changed = true;
    old.clear();  // lines the model no longer has

    std::vector<Entry*> order;
    for (auto& entry : entries_) order.push_back(entry.get());
    place(order);
    if (changed && gtk_widget_get_visible(widget_)) {
        // Open: sized anew for its lines and put back where it was opened.
        placeAgain_ = true;
        gtk_widget_queue_resize(widget_);
        gtk_menu_reposition(GTK_MENU(widget_));
    }
    return changed;
}

void GtkMenuMirror::place(const std::vector<Entry*>& order) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget_));
    bool same = g_list_length(children) == order.size();
    GList* l = children;
    for (size_t i = 0; same && i < order.size(); ++i, l = l->next) same = l->data == order[i]->widget;
    g_list_free(children);
    if (same) return;
    for (size_t i = 0; i < order.size(); ++i)
        gtk_menu_reorder_child(GTK_MENU(widget_), order[i]->widget, static_cast<int>(i));
}
