#include "platform/gtk/GtkPresenter.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/UIChanges.h"
#include "platform/gtk/GtkImages.h"
#include "platform/gtk/GtkSignals.h"
#include "platform/gtk/GtkWindowEntry.h"
#include "platform/gtk/StatusItemView.h"

using namespace gtksignals;

namespace {

void setImage(GtkImage* widget, const Image* image) {
    GdkPixbuf* pb = pixbufFromImage(image);
    gtk_image_set_from_pixbuf(widget, pb);
    if (pb) g_object_unref(pb);
}

}  // namespace


bool GtkPresenter::initialize() { return gtk_init_check(nullptr, nullptr); }

GtkPresenter::GtkPresenter() {
    Application::shared().setPresenter(this);
    StatusBar& bar = StatusBar::systemStatusBar();
    bar.setItemAddedHandler([this](const StatusItemRef& item) { addStatusItem(item); });
    bar.setItemRemovedHandler([this](const StatusItemRef& item) { removeStatusItem(item); });
    for (const auto& item : bar.items()) addStatusItem(item);
    timer_ = g_timeout_add(50, +[](gpointer self) -> gboolean {
        auto* presenter = static_cast<GtkPresenter*>(self);
        if (uiChangeCount() != presenter->shownChanges_) presenter->sync();
        return G_SOURCE_CONTINUE;
    }, this);
    sync();
}

GtkPresenter::~GtkPresenter() {
    if (timer_) g_source_remove(timer_);
    if (Application::shared().presenter() == this) Application::shared().setPresenter(nullptr);
    StatusBar::systemStatusBar().setItemAddedHandler(nullptr);
    StatusBar::systemStatusBar().setItemRemovedHandler(nullptr);
    for (auto& [alert, dialog] : dialogs_) gtk_widget_destroy(dialog);
}

void GtkPresenter::sync() {
    shownChanges_ = uiChangeCount();
    syncing = true;
    std::set<const Window*> alive;
    for (const auto& window : Application::shared().windows()) {
        alive.insert(window.get());
        syncWindow(window);
    }
    for (auto it = windows_.begin(); it != windows_.end();)
        // A window never shown has no entry yet (its slot is empty).
        it = it->second && alive.count(it->first) && !it->second->window.expired() ? std::next(it)
                                                                                   : windows_.erase(it);
    for (const auto& item : StatusBar::systemStatusBar().items()) syncStatusItem(item);
    syncing = false;
}

void GtkPresenter::addStatusItem(const StatusItemRef& item) {
    items_[item.get()] = std::make_unique<StatusItemView>(item);
}

void GtkPresenter::removeStatusItem(const StatusItemRef& item) { items_.erase(item.get()); }

void GtkPresenter::syncStatusItem(const StatusItemRef& item) {
    auto it = items_.find(item.get());
    if (it != items_.end()) it->second->sync();
}

GtkWidget* GtkPresenter::buildMenu(const MenuRef& menu) {
    GtkWidget* gtkMenu = gtk_menu_new();
    for (const auto& item : menu->items()) {
        GtkWidget* entry;
        if (item->isSeparatorItem()) {
            entry = gtk_separator_menu_item_new();
        } else {
            entry = gtk_menu_item_new();
            GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
            if (item->image()) {
                GtkWidget* image = gtk_image_new();
                setImage(GTK_IMAGE(image), item->image().get());
                gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
            }
            GtkWidget* label = gtk_label_new(item->title().c_str());
            gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
            gtk_container_add(GTK_CONTAINER(entry), row);
            gtk_widget_set_sensitive(entry, item->isEnabled());
            if (item->submenu()) gtk_menu_item_set_submenu(GTK_MENU_ITEM(entry), buildMenu(item->submenu()));
            connect<MenuItem>(entry, "activate", +[](GtkMenuItem*, gpointer d) {
                if (auto i = target<MenuItem>(d)) i->userChoose();
            }, std::weak_ptr<MenuItem>(item));
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(gtkMenu), entry);
    }
    gtk_widget_show_all(gtkMenu);
    return gtkMenu;
}

StatusItemView* GtkPresenter::statusItemViewFor(const StatusItem* item) const {
    auto it = items_.find(item);
    return it == items_.end() ? nullptr : it->second.get();
}

GtkStatusIcon* GtkPresenter::statusIconFor(const StatusItem* item) const {
    StatusItemView* view = statusItemViewFor(item);
    return view ? view->trayIcon() : nullptr;
}

GtkWidget* GtkPresenter::menuFor(const StatusItem* item) const {
    StatusItemView* view = statusItemViewFor(item);
    return view ? view->popupMenu() : nullptr;
}

GtkWidget* GtkPresenter::dialogFor(const Alert* alert) const {
    auto it = dialogs_.find(alert);
    return it == dialogs_.end() ? nullptr : it->second;
}
