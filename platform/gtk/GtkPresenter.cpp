// GDK's status icon is deprecated in GTK 3 but remains the way to put an
// icon into an X11 system tray without further libraries.
#define GDK_DISABLE_DEPRECATION_WARNINGS 1

#include "platform/gtk/GtkPresenter.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/UIChanges.h"
#include "platform/gtk/GtkImages.h"
#include "platform/gtk/TableDrops.h"
#include "platform/ui/Controls.h"
#include "platform/ui/TableView.h"

namespace {

// True while the presenter writes the model's values into widgets: the
// widgets' change signals then come from the presenter, not from the user.
bool syncing = false;

template <class T>
struct Target {
    std::weak_ptr<T> ref;
    int row = 0;
    int column = 0;
};

template <class T, class Callback>
void connect(gpointer widget, const char* signal, Callback callback, std::weak_ptr<T> ref, int row = 0,
             int column = 0) {
    g_signal_connect_data(
        widget, signal, G_CALLBACK(callback), new Target<T>{std::move(ref), row, column},
        [](gpointer data, GClosure*) { delete static_cast<Target<T>*>(data); }, GConnectFlags(0));
}

template <class T>
std::shared_ptr<T> target(gpointer data) {
    return static_cast<Target<T>*>(data)->ref.lock();
}

GtkJustification justification(TextAlignment a) {
    switch (a) {
        case TextAlignment::Center: return GTK_JUSTIFY_CENTER;
        case TextAlignment::Right: return GTK_JUSTIFY_RIGHT;
        default: return GTK_JUSTIFY_LEFT;
    }
}

void setImage(GtkImage* widget, const Image* image) {
    GdkPixbuf* pb = pixbufFromImage(image);
    gtk_image_set_from_pixbuf(widget, pb);
    if (pb) g_object_unref(pb);
}

// One view's widgets: `outer` sits in the parent's container, subviews go
// into `container` (null for views that hold none).
struct ViewWidget {
    std::weak_ptr<View> view;
    GtkWidget* outer = nullptr;
    GtkWidget* container = nullptr;
    GtkWidget* inner = nullptr;  // the control inside a scroller or frame
    std::vector<std::string> shownTitles;
};

GtkWidget* makeWidget(const ViewRef& view, ViewWidget& w) {
    std::weak_ptr<View> weak = view;
    if (auto popup = std::dynamic_pointer_cast<PopUpButton>(view)) {
        w.outer = gtk_combo_box_text_new();
        connect<View>(w.outer, "changed", +[](GtkComboBox* box, gpointer d) {
            if (syncing) return;
            if (auto p = std::dynamic_pointer_cast<PopUpButton>(target<View>(d)))
                p->userSelect(gtk_combo_box_get_active(box));
        }, weak);
    } else if (auto button = std::dynamic_pointer_cast<Button>(view)) {
        w.outer = button->buttonType() == ButtonType::Switch ? gtk_check_button_new_with_label("")
                                                              : gtk_button_new_with_label("");
        connect<View>(w.outer, "clicked", +[](GtkButton*, gpointer d) {
            if (syncing) return;
            if (auto b = std::dynamic_pointer_cast<Button>(target<View>(d))) b->userClick();
        }, weak);
    } else if (auto matrix = std::dynamic_pointer_cast<Matrix>(view)) {
        w.outer = gtk_grid_new();
        for (int r = 0; r < matrix->numberOfRows(); ++r)
            for (int c = 0; c < matrix->numberOfColumns(); ++c) {
                GtkWidget* check = gtk_check_button_new_with_label("");
                gtk_grid_attach(GTK_GRID(w.outer), check, c, r, 1, 1);
                connect<View>(check, "clicked", +[](GtkButton*, gpointer d) {
                    if (syncing) return;
                    auto* t = static_cast<Target<View>*>(d);
                    if (auto m = std::dynamic_pointer_cast<Matrix>(t->ref.lock())) m->userClickCell(t->row, t->column);
                }, weak, r, c);
            }
    } else if (auto slider = std::dynamic_pointer_cast<Slider>(view)) {
        const double lo = std::min(slider->minValue(), slider->maxValue());
        const double hi = std::max(lo + 1e-6, std::max(slider->minValue(), slider->maxValue()));
        w.outer = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, lo, hi, (hi - lo) / 100);
        gtk_scale_set_draw_value(GTK_SCALE(w.outer), FALSE);
        connect<View>(w.outer, "value-changed", +[](GtkRange* range, gpointer d) {
            if (syncing) return;
            if (auto s = std::dynamic_pointer_cast<Slider>(target<View>(d))) s->userSlide(gtk_range_get_value(range));
        }, weak);
    } else if (auto field = std::dynamic_pointer_cast<TextField>(view)) {
        if (field->isEditable()) {
            w.outer = gtk_entry_new();
            connect<View>(w.outer, "changed", +[](GtkEditable* e, gpointer d) {
                if (syncing) return;
                if (auto f = std::dynamic_pointer_cast<TextField>(target<View>(d)))
                    f->userType(gtk_entry_get_text(GTK_ENTRY(e)));
            }, weak);
            connect<View>(w.outer, "activate", +[](GtkEntry*, gpointer d) {
                if (auto f = std::dynamic_pointer_cast<TextField>(target<View>(d))) f->userPressReturn();
            }, weak);
        } else {
            w.outer = gtk_label_new("");
            gtk_label_set_xalign(GTK_LABEL(w.outer), 0);
            gtk_label_set_line_wrap(GTK_LABEL(w.outer), TRUE);
        }
    } else if (std::dynamic_pointer_cast<ImageView>(view)) {
        w.outer = gtk_image_new();
    } else if (auto table = std::dynamic_pointer_cast<TableView>(view)) {
        w.outer = gtk_scrolled_window_new(nullptr, nullptr);
        w.inner = gtk_tree_view_new();
        gtk_container_add(GTK_CONTAINER(w.outer), w.inner);
        GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(w.inner));
        connect<View>(selection, "changed", +[](GtkTreeSelection* s, gpointer d) {
            if (syncing) return;
            auto t = std::dynamic_pointer_cast<TableView>(target<View>(d));
            GtkTreeModel* model = nullptr;
            GtkTreeIter iter;
            if (!t || !gtk_tree_selection_get_selected(s, &model, &iter)) return;
            GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
            t->userSelectRow(gtk_tree_path_get_indices(path)[0]);
            gtk_tree_path_free(path);
        }, weak);
        connect<View>(w.inner, "row-activated", +[](GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer d) {
            if (auto t = std::dynamic_pointer_cast<TableView>(target<View>(d)))
                t->userDoubleClickRow(gtk_tree_path_get_indices(path)[0]);
        }, weak);
        if (!table->registeredDraggedTypes().empty()) enableTableRowDrags(w.inner, weak);
    } else if (std::dynamic_pointer_cast<TextView>(view)) {
        w.outer = gtk_scrolled_window_new(nullptr, nullptr);
        w.inner = gtk_text_view_new();
        gtk_text_view_set_editable(GTK_TEXT_VIEW(w.inner), FALSE);
        gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(w.inner), GTK_WRAP_WORD);
        gtk_container_add(GTK_CONTAINER(w.outer), w.inner);
    } else if (std::dynamic_pointer_cast<ProgressIndicator>(view)) {
        w.outer = gtk_spinner_new();
    } else if (std::dynamic_pointer_cast<Box>(view)) {
        w.outer = gtk_frame_new(nullptr);
        w.container = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(w.outer), w.container);
    } else if (std::dynamic_pointer_cast<ScrollView>(view)) {
        w.outer = gtk_scrolled_window_new(nullptr, nullptr);
        w.container = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(w.outer), w.container);
    } else {
        w.outer = gtk_fixed_new();
        w.container = w.outer;
    }
    g_object_ref_sink(w.outer);
    return w.outer;
}

void updateTable(TableView& table, ViewWidget& w) {
    GtkTreeView* tree = GTK_TREE_VIEW(w.inner);
    const auto& columns = table.tableColumns();
    std::vector<std::string> ids;
    for (const auto& c : columns) ids.push_back(c.identifier + "\n" + c.title);
    if (ids != w.shownTitles) {
        while (GtkTreeViewColumn* c = gtk_tree_view_get_column(tree, 0)) gtk_tree_view_remove_column(tree, c);
        for (size_t i = 0; i < columns.size(); ++i) {
            const bool check = dynamic_cast<ButtonCell*>(columns[i].dataCell.get()) != nullptr;
            GtkCellRenderer* renderer = check ? gtk_cell_renderer_toggle_new() : gtk_cell_renderer_text_new();
            if (check) {
                connect<View>(renderer, "toggled", +[](GtkCellRendererToggle*, gchar* path, gpointer d) {
                    auto* t = static_cast<Target<View>*>(d);
                    auto tv = std::dynamic_pointer_cast<TableView>(t->ref.lock());
                    if (!tv || t->column >= static_cast<int>(tv->tableColumns().size())) return;
                    tv->userClickCell(tv->tableColumns()[static_cast<size_t>(t->column)].identifier, std::atoi(path));
                }, w.view, 0, static_cast<int>(i));
            }
            GtkTreeViewColumn* column = gtk_tree_view_column_new_with_attributes(
                columns[i].title.c_str(), renderer, check ? "active" : "text", static_cast<int>(i), nullptr);
            gtk_tree_view_column_set_fixed_width(column, static_cast<int>(columns[i].width));
            gtk_tree_view_append_column(tree, column);
        }
        w.shownTitles = ids;
    }
    std::vector<GType> types;
    for (const auto& c : columns)
        types.push_back(dynamic_cast<ButtonCell*>(c.dataCell.get()) ? G_TYPE_BOOLEAN : G_TYPE_STRING);
    GtkListStore* store = gtk_list_store_newv(static_cast<int>(types.size()), types.data());
    const auto rows = table.renderedRows();
    for (size_t r = 0; r < rows.size(); ++r) {
        GtkTreeIter iter;
        gtk_list_store_append(store, &iter);
        for (size_t c = 0; c < columns.size(); ++c) {
            if (types[c] == G_TYPE_BOOLEAN)
                gtk_list_store_set(store, &iter, static_cast<int>(c), rows[r][c] == "[x]", -1);
            else
                gtk_list_store_set(store, &iter, static_cast<int>(c), rows[r][c].c_str(), -1);
        }
    }
    gtk_tree_view_set_model(tree, GTK_TREE_MODEL(store));
    g_object_unref(store);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(tree);
    gtk_tree_selection_unselect_all(selection);
    for (int row : table.selectedRows()) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_selection_select_path(selection, path);
        gtk_tree_path_free(path);
    }
}

void updateWidget(const ViewRef& view, ViewWidget& w) {
    if (auto control = std::dynamic_pointer_cast<Control>(view))
        gtk_widget_set_sensitive(w.inner ? w.inner : w.outer, control->isEnabled());
    if (auto popup = std::dynamic_pointer_cast<PopUpButton>(view)) {
        std::vector<std::string> titles;
        for (const auto& item : popup->menu()->items()) titles.push_back(item->title());
        if (titles != w.shownTitles) {
            gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(w.outer));
            for (const auto& t : titles) gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w.outer), t.c_str());
            w.shownTitles = titles;
        }
        gtk_combo_box_set_active(GTK_COMBO_BOX(w.outer), popup->indexOfSelectedItem());
    } else if (auto button = std::dynamic_pointer_cast<Button>(view)) {
        gtk_button_set_label(GTK_BUTTON(w.outer), button->title().c_str());
        if (GTK_IS_TOGGLE_BUTTON(w.outer))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.outer), button->state() != kOffState);
        if (button->image()) {
            GtkWidget* image = gtk_image_new();
            setImage(GTK_IMAGE(image), button->image().get());
            gtk_button_set_image(GTK_BUTTON(w.outer), image);
            gtk_button_set_always_show_image(GTK_BUTTON(w.outer), TRUE);
        }
    } else if (auto matrix = std::dynamic_pointer_cast<Matrix>(view)) {
        for (int r = 0; r < matrix->numberOfRows(); ++r)
            for (int c = 0; c < matrix->numberOfColumns(); ++c) {
                GtkWidget* check = gtk_grid_get_child_at(GTK_GRID(w.outer), c, r);
                auto cell = matrix->cellAtRow(r, c);
                if (!check || !cell) continue;
                gtk_button_set_label(GTK_BUTTON(check), cell->title().c_str());
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), cell->state() != kOffState);
                gtk_widget_set_sensitive(check, matrix->isEnabled() && cell->isEnabled());
            }
    } else if (auto slider = std::dynamic_pointer_cast<Slider>(view)) {
        gtk_range_set_value(GTK_RANGE(w.outer), slider->floatValue());
    } else if (auto field = std::dynamic_pointer_cast<TextField>(view)) {
        if (GTK_IS_ENTRY(w.outer)) {
            if (field->stringValue() != gtk_entry_get_text(GTK_ENTRY(w.outer)))
                gtk_entry_set_text(GTK_ENTRY(w.outer), field->stringValue().c_str());
        } else {
            gtk_label_set_text(GTK_LABEL(w.outer), field->stringValue().c_str());
        }
    } else if (auto imageView = std::dynamic_pointer_cast<ImageView>(view)) {
        setImage(GTK_IMAGE(w.outer), imageView->image().get());
    } else if (auto table = std::dynamic_pointer_cast<TableView>(view)) {
        updateTable(*table, w);
    } else if (auto text = std::dynamic_pointer_cast<TextView>(view)) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.inner));
        gtk_text_buffer_set_text(buffer, text->string().c_str(), -1);
        gtk_text_view_set_justification(GTK_TEXT_VIEW(w.inner), justification(text->alignment()));
    } else if (auto progress = std::dynamic_pointer_cast<ProgressIndicator>(view)) {
        if (progress->isAnimating())
            gtk_spinner_start(GTK_SPINNER(w.outer));
        else
            gtk_spinner_stop(GTK_SPINNER(w.outer));
    } else if (auto box = std::dynamic_pointer_cast<Box>(view)) {
        gtk_frame_set_label(GTK_FRAME(w.outer), box->title().empty() ? nullptr : box->title().c_str());
    }
}

}  // namespace

struct GtkPresenter::WindowEntry {
    std::weak_ptr<Window> window;
    GtkWidget* gtkWindow = nullptr;
    GtkWidget* layout = nullptr;   // toolbar above content
    GtkWidget* toolbar = nullptr;
    GtkWidget* content = nullptr;  // the content view's fixed container
    std::map<const View*, ViewWidget> views;
    std::set<std::string> toolbarShown;

    ~WindowEntry() {
        for (auto& [view, w] : views) g_object_unref(w.outer);
        if (gtkWindow) gtk_widget_destroy(gtkWindow);
    }
};

struct GtkPresenter::ItemEntry {
    std::weak_ptr<StatusItem> item;
    GtkStatusIcon* icon = nullptr;
    GtkWidget* menu = nullptr;

    ~ItemEntry() {
        if (menu) gtk_widget_destroy(menu);
        if (icon) g_object_unref(icon);
    }
};

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

void GtkPresenter::syncWindow(const WindowRef& window) {
    auto& entry = windows_[window.get()];
    if (entry && entry->window.lock() != window) entry.reset();  // a new window at an old address
    if (!entry) {
        if (!window->isVisible()) return;  // windows are made when first shown
        entry = std::make_unique<WindowEntry>();
        entry->window = window;
        entry->gtkWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        entry->layout = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_container_add(GTK_CONTAINER(entry->gtkWindow), entry->layout);
        gtk_widget_show(entry->layout);
        std::weak_ptr<Window> weak = window;
        connect<Window>(entry->gtkWindow, "delete-event", +[](GtkWidget*, GdkEvent*, gpointer d) -> gboolean {
            if (auto w = target<Window>(d)) w->close();
            return TRUE;  // the model decides what goes
        }, weak);
    }
    GtkWindow* gw = GTK_WINDOW(entry->gtkWindow);
    gtk_window_set_title(gw, window->title().c_str());
    const Rect frame = window->frame();
    gtk_window_set_default_size(gw, static_cast<int>(frame.width()), static_cast<int>(frame.height()));
    gtk_window_resize(gw, std::max(1, static_cast<int>(frame.width())), std::max(1, static_cast<int>(frame.height())));

    // The toolbar.
    if (window->toolbar() && !entry->toolbar) {
        entry->toolbar = gtk_toolbar_new();
        gtk_box_pack_start(GTK_BOX(entry->layout), entry->toolbar, FALSE, FALSE, 0);
        for (const auto& item : window->toolbar()->items()) {
            GtkWidget* icon = gtk_image_new();
            setImage(GTK_IMAGE(icon), item->image().get());
            GtkToolItem* button = gtk_tool_button_new(icon, item->label().c_str());
            gtk_tool_item_set_tooltip_text(button, item->toolTip().c_str());
            gtk_toolbar_insert(GTK_TOOLBAR(entry->toolbar), button, -1);
            struct ToolbarTarget {
                std::weak_ptr<Window> window;
                std::string id;
            };
            g_signal_connect_data(button, "clicked", G_CALLBACK(+[](GtkToolButton*, gpointer d) {
                auto* t = static_cast<ToolbarTarget*>(d);
                if (auto w = t->window.lock(); w && w->toolbar()) w->toolbar()->userClickItem(t->id);
            }), new ToolbarTarget{window, item->itemIdentifier()},
                                  [](gpointer d, GClosure*) { delete static_cast<ToolbarTarget*>(d); }, GConnectFlags(0));
        }
        gtk_widget_show_all(entry->toolbar);
    }

    // The content view and its tree.
    const ViewRef& content = window->contentView();
    std::set<const View*> visited;
    std::function<void(const ViewRef&, GtkWidget*, double)> place = [&](const ViewRef& view, GtkWidget* parent,
                                                                          double parentHeight) {
        visited.insert(view.get());
        ViewWidget& w = entry->views[view.get()];
        if (w.view.lock() != view) {
            if (w.outer) {
                gtk_widget_destroy(w.outer);
                g_object_unref(w.outer);
            }
            w = ViewWidget{};
            w.view = view;
            makeWidget(view, w);
            gtk_widget_show_all(w.outer);  // its own parts; subviews follow their model
        }
        const Rect f = view->frame();
        const int x = static_cast<int>(f.x());
        const int y = static_cast<int>(parentHeight - f.maxY());  // GTK counts from the top
        GtkWidget* current = gtk_widget_get_parent(w.outer);
        if (current != parent) {
            if (current) gtk_container_remove(GTK_CONTAINER(current), w.outer);
            if (GTK_IS_FIXED(parent))
                gtk_fixed_put(GTK_FIXED(parent), w.outer, x, y);
            else
                gtk_box_pack_start(GTK_BOX(parent), w.outer, TRUE, TRUE, 0);
        } else if (GTK_IS_FIXED(parent)) {
            gtk_fixed_move(GTK_FIXED(parent), w.outer, x, y);
        }
        gtk_widget_set_size_request(w.outer, std::max(1, static_cast<int>(f.width())),
                                    std::max(1, static_cast<int>(f.height())));
        updateWidget(view, w);
        gtk_widget_set_visible(w.outer, !view->isHidden());
        if (w.container)
            for (const auto& sub : view->subviews()) place(sub, w.container, f.height());
    };
    if (content) {
        place(content, entry->layout, frame.height());
        entry->content = entry->views[content.get()].outer;
    }
    for (auto it = entry->views.begin(); it != entry->views.end();) {
        if (visited.count(it->first)) {
            ++it;
            continue;
        }
        if (GtkWidget* parent = gtk_widget_get_parent(it->second.outer))
            gtk_container_remove(GTK_CONTAINER(parent), it->second.outer);
        g_object_unref(it->second.outer);
        it = entry->views.erase(it);
    }

    // Sheets are modal dialogs on their parent's window.
    if (Window* parent = window->sheetParent()) {
        auto p = windows_.find(parent);
        if (p != windows_.end() && p->second) gtk_window_set_transient_for(gw, GTK_WINDOW(p->second->gtkWindow));
        gtk_window_set_modal(gw, TRUE);
    } else {
        gtk_window_set_modal(gw, FALSE);
    }
    if (window->isVisible()) {
        gtk_widget_show(entry->gtkWindow);
        if (window->isKeyWindow()) gtk_window_present(gw);
    } else {
        gtk_widget_hide(entry->gtkWindow);
    }
}

void GtkPresenter::windowVisibilityChanged(Window&) { sync(); }

void GtkPresenter::addStatusItem(const StatusItemRef& item) {
    auto entry = std::make_unique<ItemEntry>();
    entry->item = item;
    entry->icon = gtk_status_icon_new();
    g_object_set_data(G_OBJECT(entry->icon), "skyvane-presenter", this);
    auto open = +[](GtkStatusIcon* icon, gpointer d) {
        auto* presenter = static_cast<GtkPresenter*>(g_object_get_data(G_OBJECT(icon), "skyvane-presenter"));
        if (auto statusItem = target<StatusItem>(d)) presenter->openMenu(statusItem);
    };
    connect<StatusItem>(entry->icon, "activate", open, std::weak_ptr<StatusItem>(item));
    connect<StatusItem>(entry->icon, "popup-menu", +[](GtkStatusIcon* icon, guint, guint, gpointer) {
        g_signal_emit_by_name(icon, "activate");
    }, std::weak_ptr<StatusItem>(item));
    items_[item.get()] = std::move(entry);
    syncStatusItem(item);
}

void GtkPresenter::removeStatusItem(const StatusItemRef& item) { items_.erase(item.get()); }

void GtkPresenter::syncStatusItem(const StatusItemRef& item) {
    auto it = items_.find(item.get());
    if (it == items_.end()) return;
    ItemEntry& entry = *it->second;
    ImageRef picture =
        statusItemPicture(item->image().get(), item->attributedTitle(), StatusBar::systemStatusBar().thickness(),
                          item->isMenuDown());
    if (picture) {
        GdkPixbuf* pb = pixbufFromImage(picture.get());
        gtk_status_icon_set_from_pixbuf(entry.icon, pb);
        g_object_unref(pb);
    }
    gtk_status_icon_set_tooltip_text(entry.icon, item->title().c_str());
    gtk_status_icon_set_visible(entry.icon, TRUE);
}

void GtkPresenter::openMenu(const StatusItemRef& item) {
    auto it = items_.find(item.get());
    if (it == items_.end() || !item->menu()) return;
    ItemEntry& entry = *it->second;
    if (entry.menu) gtk_widget_destroy(entry.menu);
    entry.menu = buildMenu(item->menu());
    connect<StatusItem>(entry.menu, "hide", +[](GtkWidget*, gpointer d) {
        if (auto i = target<StatusItem>(d)) i->userCloseMenu();
    }, std::weak_ptr<StatusItem>(item));
    item->userOpenMenu();
    // Placed by the icon in the tray (at the pointer when there is no tray).
    gtk_menu_popup(GTK_MENU(entry.menu), nullptr, nullptr, gtk_status_icon_position_menu, entry.icon, 0,
                   gtk_get_current_event_time());
    if (!gtk_widget_get_visible(entry.menu)) item->userCloseMenu();  // it could not be shown
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

void GtkPresenter::alertShown(const AlertRef& alert) {
    GtkWindow* parent = windowFor(alert->parentWindow());
    GtkWidget* dialog = gtk_message_dialog_new(parent, parent ? GTK_DIALOG_MODAL : GtkDialogFlags(0),
                                               GTK_MESSAGE_WARNING, GTK_BUTTONS_NONE, "%s",
                                               alert->messageText().c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", alert->informativeText().c_str());
    // GTK's own response numbers are negative: ours are offset past them.
    for (int which : {kAlertOtherReturn, kAlertAlternateReturn, kAlertDefaultReturn})
        if (!alert->buttonTitle(which).empty())
            gtk_dialog_add_button(GTK_DIALOG(dialog), alert->buttonTitle(which).c_str(), 1000 + which);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), 1000 + kAlertDefaultReturn);
    connect<Alert>(dialog, "response", +[](GtkDialog*, gint response, gpointer d) {
        auto a = target<Alert>(d);
        if (!a) return;
        a->userPressButton(response >= 999 ? response - 1000 : kAlertDefaultReturn);
    }, std::weak_ptr<Alert>(alert));
    dialogs_[alert.get()] = dialog;
    gtk_widget_show_all(dialog);
}

void GtkPresenter::alertEnded(Alert& alert) {
    auto it = dialogs_.find(&alert);
    if (it == dialogs_.end()) return;
    GtkWidget* dialog = it->second;
    dialogs_.erase(it);
    gtk_widget_destroy(dialog);
}

GtkWindow* GtkPresenter::windowFor(const Window* window) const {
    auto it = windows_.find(window);
    return it == windows_.end() || !it->second ? nullptr : GTK_WINDOW(it->second->gtkWindow);
}

GtkWidget* GtkPresenter::widgetFor(const View* view) const {
    for (const auto& [w, entry] : windows_) {
        if (!entry) continue;
        auto it = entry->views.find(view);
        if (it != entry->views.end()) return it->second.inner ? it->second.inner : it->second.outer;
    }
    return nullptr;
}

GtkStatusIcon* GtkPresenter::statusIconFor(const StatusItem* item) const {
    auto it = items_.find(item);
    return it == items_.end() ? nullptr : it->second->icon;
}

GtkWidget* GtkPresenter::menuFor(const StatusItem* item) const {
    auto it = items_.find(item);
    return it == items_.end() ? nullptr : it->second->menu;
}

GtkWidget* GtkPresenter::dialogFor(const Alert* alert) const {
    auto it = dialogs_.find(alert);
    return it == dialogs_.end() ? nullptr : it->second;
}
