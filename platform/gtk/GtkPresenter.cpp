#include "platform/gtk/GtkPresenter.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/UIChanges.h"
#include "platform/gtk/GtkSignals.h"
#include "platform/gtk/GtkWindowEntry.h"
#include "platform/gtk/StatusItemView.h"

using namespace gtksignals;

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
