// The presenter's windows: every window of the model as a GTK window, its
// views as widgets placed from the model's frames, its toolbar, alerts as
// dialogs, and immediate drawing for work that holds the event loop.

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/UIChanges.h"
#include "platform/gtk/GtkImages.h"
#include "platform/gtk/GtkSignals.h"
#include "platform/gtk/GtkWindowEntry.h"
#include "platform/gtk/PresentTime.h"
#include "platform/gtk/TableDrops.h"
#include "platform/ui/Controls.h"
#include "platform/ui/TableView.h"

using namespace gtksignals;

namespace gtksignals {
bool syncing = false;
}

namespace {

GtkJustification justification(TextAlignment a) {
    switch (a) {
        case TextAlignment::Center: return GTK_JUSTIFY_CENTER;
        case TextAlignment::Right: return GTK_JUSTIFY_RIGHT;
        default: return GTK_JUSTIFY_LEFT;
    }
}

// GTK answers null for a text never set.
bool sameText(const std::string& text, const char* shown) { return shown && text == shown; }

void setImage(GtkImage* widget, const Image* image) {
    GdkPixbuf* pb = pixbufFromImage(image);
    gtk_image_set_from_pixbuf(widget, pb);
    if (pb) g_object_unref(pb);
}

// Views that show a control the user reads or works: these get at least the
// size GTK needs to draw them.
bool isLeaf(const ViewWidget& w) { return w.container == nullptr; }

// The table a tree view's signal belongs to.
std::shared_ptr<TableView> tableOf(gpointer data) { return std::dynamic_pointer_cast<TableView>(target<View>(data)); }

void makeTable(const std::shared_ptr<TableView>& table, ViewWidget& w) {
    std::weak_ptr<View> weak = table;
    w.outer = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(w.outer), GTK_SHADOW_IN);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(w.outer), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    w.inner = gtk_tree_view_new();
    gtk_container_add(GTK_CONTAINER(w.outer), w.inner);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(w.inner));
    connect<View>(selection, "changed", +[](GtkTreeSelection* s, gpointer d) {
        if (syncing) return;
        auto t = tableOf(d);
        if (!t) return;
        GList* rows = gtk_tree_selection_get_selected_rows(s, nullptr);
        std::set<int> chosen;
        for (GList* r = rows; r; r = r->next) chosen.insert(gtk_tree_path_get_indices(static_cast<GtkTreePath*>(r->data))[0]);
        g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
        if (chosen == t->selectedRows() || chosen.empty()) return;
        bool first = true;
        for (int row : chosen) {
            if (!t->selectedRows().count(row) || first) t->userSelectRow(row, !first);
            first = false;
        }
    }, weak);
    connect<View>(w.inner, "row-activated", +[](GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer d) {
        if (auto t = tableOf(d)) t->userDoubleClickRow(gtk_tree_path_get_indices(path)[0]);
    }, weak);
}

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
        switch (button->buttonType()) {
            case ButtonType::Switch: w.outer = gtk_check_button_new_with_label(""); break;
            case ButtonType::Toggle: w.outer = gtk_toggle_button_new_with_label(""); break;
            default: w.outer = gtk_button_new_with_label(""); break;
        }
        connect<View>(w.outer, "clicked", +[](GtkButton*, gpointer d) {
            if (syncing) return;
            if (auto b = std::dynamic_pointer_cast<Button>(target<View>(d))) b->userClick();
        }, weak);
    } else if (auto matrix = std::dynamic_pointer_cast<Matrix>(view)) {
        w.outer = gtk_grid_new();
        gtk_grid_set_column_spacing(GTK_GRID(w.outer), 12);
        for (int r = 0; r < matrix->numberOfRows(); ++r)
            for (int c = 0; c < matrix->numberOfColumns(); ++c) {
                GtkWidget* check = gtk_check_button_new_with_label("");
                gtk_widget_set_hexpand(check, TRUE);
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
            gtk_label_set_yalign(GTK_LABEL(w.outer), 0);
            gtk_label_set_line_wrap(GTK_LABEL(w.outer), TRUE);
        }
    } else if (std::dynamic_pointer_cast<ImageView>(view)) {
        w.outer = gtk_image_new();
    } else if (auto table = std::dynamic_pointer_cast<TableView>(view)) {
        makeTable(table, w);
    } else if (std::dynamic_pointer_cast<TextView>(view)) {
        w.outer = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(w.outer), GTK_SHADOW_IN);
        w.inner = gtk_text_view_new();
        gtk_text_view_set_editable(GTK_TEXT_VIEW(w.inner), FALSE);
        gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(w.inner), GTK_WRAP_WORD);
        // The text keeps off the frame.
        gtk_text_view_set_left_margin(GTK_TEXT_VIEW(w.inner), 6);
        gtk_text_view_set_right_margin(GTK_TEXT_VIEW(w.inner), 6);
        gtk_text_view_set_top_margin(GTK_TEXT_VIEW(w.inner), 4);
        gtk_container_add(GTK_CONTAINER(w.outer), w.inner);
    } else if (std::dynamic_pointer_cast<ProgressIndicator>(view)) {
        w.outer = gtk_spinner_new();
    } else if (auto box = std::dynamic_pointer_cast<Box>(view); box && !box->title().empty()) {
        w.outer = gtk_frame_new(nullptr);
        w.container = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(w.outer), w.container);
    } else {
        // Plain views, untitled boxes and scroll views (their tables and text
        // views scroll themselves) hold their subviews at fixed places.
        w.outer = gtk_fixed_new();
        w.container = w.outer;
    }
    g_object_ref_sink(w.outer);
    return w.outer;
}

void updateTableColumns(TableView& table, ViewWidget& w) {
    GtkTreeView* tree = GTK_TREE_VIEW(w.inner);
    const auto& columns = table.tableColumns();
    std::vector<std::string> ids;
    for (const auto& c : columns) ids.push_back(c.identifier + "\n" + c.title);
    if (ids == w.shownTitles && gtk_tree_view_get_model(tree)) return;
    while (GtkTreeViewColumn* c = gtk_tree_view_get_column(tree, 0)) gtk_tree_view_remove_column(tree, c);
    std::vector<GType> types;
    for (size_t i = 0; i < columns.size(); ++i) {
        const bool check = dynamic_cast<ButtonCell*>(columns[i].dataCell.get()) != nullptr;
        types.push_back(check ? G_TYPE_BOOLEAN : G_TYPE_STRING);
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
        gtk_tree_view_column_set_min_width(column, static_cast<int>(columns[i].width));
        gtk_tree_view_append_column(tree, column);
    }
    GtkListStore* store = gtk_list_store_newv(static_cast<int>(types.size()), types.data());
    gtk_tree_view_set_model(tree, GTK_TREE_MODEL(store));
    g_object_unref(store);
    w.shownTitles = ids;
    w.shownRows.clear();
}

// A check-box cell shows no text: it is named by its column's heading, so
// that a screen reader reads what the box is for along with its state.
void nameTextlessCells(const TableView& table, GtkTreeView* tree, int rows) {
    AtkObject* object = gtk_widget_get_accessible(GTK_WIDGET(tree));
    if (!ATK_IS_TABLE(object)) return;
    const auto& columns = table.tableColumns();
    for (size_t c = 0; c < columns.size(); ++c) {
        const std::string name = columns[c].cellAccessibilityName();
        for (int r = 0; r < rows && !name.empty(); ++r) {
            AtkObject* cell = atk_table_ref_at(ATK_TABLE(object), r, static_cast<int>(c));
            if (!cell) continue;
            if (!sameText(name, atk_object_get_name(cell))) atk_object_set_name(cell, name.c_str());
            g_object_unref(cell);
        }
    }
}

// Brings the rows, the selection and the scroll position to the model's,
// changing only what differs.
void updateTable(TableView& table, ViewWidget& w) {
    GtkTreeView* tree = GTK_TREE_VIEW(w.inner);
    // A table may take drops only after its widget was made (the sources
    // pane registers its types each time the window opens).
    if (!table.registeredDraggedTypes().empty()) enableTableRowDrags(w.inner, table.weak_from_this());
    updateTableColumns(table, w);
    GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(tree));
    const auto rows = table.renderedRows();
    if (rows != w.shownRows) {
        const int columns = gtk_tree_model_get_n_columns(GTK_TREE_MODEL(store));
        const int have = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(store), nullptr);
        const int want = static_cast<int>(rows.size());
        for (int r = have; r > want; --r) {
            GtkTreeIter iter;
            if (gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(store), &iter, nullptr, r - 1))
                gtk_list_store_remove(store, &iter);
        }
        for (int r = have; r < want; ++r) {
            GtkTreeIter iter;
            gtk_list_store_append(store, &iter);
        }
        for (int r = 0; r < want; ++r) {
            if (r < static_cast<int>(w.shownRows.size()) && w.shownRows[static_cast<size_t>(r)] == rows[static_cast<size_t>(r)])
                continue;
            GtkTreeIter iter;
            if (!gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(store), &iter, nullptr, r)) continue;
            const auto& cells = rows[static_cast<size_t>(r)];
            for (int c = 0; c < columns && c < static_cast<int>(cells.size()); ++c) {
                const std::string& text = cells[static_cast<size_t>(c)];
                if (gtk_tree_model_get_column_type(GTK_TREE_MODEL(store), c) == G_TYPE_BOOLEAN)
                    gtk_list_store_set(store, &iter, c, text == "[x]", -1);
                else
                    gtk_list_store_set(store, &iter, c, text.c_str(), -1);
            }
        }
        w.shownRows = rows;
        nameTextlessCells(table, tree, want);
    }
    GtkTreeSelection* selection = gtk_tree_view_get_selection(tree);
    gtk_tree_selection_set_mode(selection, table.allowsMultipleSelection() ? GTK_SELECTION_MULTIPLE : GTK_SELECTION_SINGLE);
    std::set<int> shown;
    GList* selected = gtk_tree_selection_get_selected_rows(selection, nullptr);
    for (GList* r = selected; r; r = r->next) shown.insert(gtk_tree_path_get_indices(static_cast<GtkTreePath*>(r->data))[0]);
    g_list_free_full(selected, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    if (shown != table.selectedRows()) {
        gtk_tree_selection_unselect_all(selection);
        for (int row : table.selectedRows()) {
            GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
            gtk_tree_selection_select_path(selection, path);
            gtk_tree_path_free(path);
        }
    }
    if (table.scrollRequests() != w.shownScrollRequests) {
        w.shownScrollRequests = table.scrollRequests();
        if (table.scrolledRow() >= 0 && table.scrolledRow() < static_cast<int>(rows.size())) {
            GtkTreePath* path = gtk_tree_path_new_from_indices(table.scrolledRow(), -1);
            gtk_tree_view_scroll_to_cell(tree, path, nullptr, FALSE, 0, 0);
            gtk_tree_path_free(path);
        }
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
        if (gtk_combo_box_get_active(GTK_COMBO_BOX(w.outer)) != popup->indexOfSelectedItem())
            gtk_combo_box_set_active(GTK_COMBO_BOX(w.outer), popup->indexOfSelectedItem());
    } else if (auto button = std::dynamic_pointer_cast<Button>(view)) {
        if (!sameText(button->title(), gtk_button_get_label(GTK_BUTTON(w.outer))))
            gtk_button_set_label(GTK_BUTTON(w.outer), button->title().c_str());
        if (GTK_IS_TOGGLE_BUTTON(w.outer))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.outer), button->state() != kOffState);
        const std::string imageKey = std::to_string(reinterpret_cast<uintptr_t>(button->image().get()));
        if (button->image() && imageKey != w.shownImage) {
            GtkWidget* image = gtk_image_new();
            setImage(GTK_IMAGE(image), button->image().get());
            gtk_button_set_image(GTK_BUTTON(w.outer), image);
            gtk_button_set_always_show_image(GTK_BUTTON(w.outer), TRUE);
            w.shownImage = imageKey;
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
            if (!sameText(field->stringValue(), gtk_label_get_text(GTK_LABEL(w.outer))))
                gtk_label_set_text(GTK_LABEL(w.outer), field->stringValue().c_str());
            const TextAlignment a = field->alignment();
            const float x = a == TextAlignment::Center ? 0.5f : a == TextAlignment::Right ? 1.0f : 0.0f;
            gtk_label_set_xalign(GTK_LABEL(w.outer), x);
            gtk_label_set_justify(GTK_LABEL(w.outer), justification(a));
        }
    } else if (auto imageView = std::dynamic_pointer_cast<ImageView>(view)) {
        setImage(GTK_IMAGE(w.outer), imageView->image().get());
    } else if (auto table = std::dynamic_pointer_cast<TableView>(view)) {
        updateTable(*table, w);
    } else if (auto text = std::dynamic_pointer_cast<TextView>(view)) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.inner));
        GtkTextIter start, end;
        gtk_text_buffer_get_bounds(buffer, &start, &end);
        gchar* now = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
        if (text->string() != now) gtk_text_buffer_set_text(buffer, text->string().c_str(), -1);
        g_free(now);
        gtk_text_view_set_justification(GTK_TEXT_VIEW(w.inner), justification(text->alignment()));
    } else if (auto progress = std::dynamic_pointer_cast<ProgressIndicator>(view)) {
        if (progress->isAnimating())
            gtk_spinner_start(GTK_SPINNER(w.outer));
        else
            gtk_spinner_stop(GTK_SPINNER(w.outer));
    } else if (auto box = std::dynamic_pointer_cast<Box>(view); box && GTK_IS_FRAME(w.outer)) {
        gtk_frame_set_label(GTK_FRAME(w.outer), box->title().empty() ? nullptr : box->title().c_str());
    }
}

// A long text wraps within the label's frame instead of widening the window:
// the label asks for no more characters a line than the frame holds.
void fitLabelToWidth(GtkLabel* label, int width) {
    PangoFontMetrics* metrics =
        pango_context_get_metrics(gtk_widget_get_pango_context(GTK_WIDGET(label)), nullptr, nullptr);
    const int charWidth = std::max(1, pango_font_metrics_get_approximate_char_width(metrics) / PANGO_SCALE);
    pango_font_metrics_unref(metrics);
    int chars = std::max(1, width / charWidth);
    // Characters differ in width: fewer a line until the text fits.
    for (int natural = width + 1; chars > 1;) {
        int minimum = 0;
        gtk_label_set_max_width_chars(label, chars);
        int oldW = -1, oldH = -1;
        gtk_widget_get_size_request(GTK_WIDGET(label), &oldW, &oldH);
        gtk_widget_set_size_request(GTK_WIDGET(label), -1, -1);
        gtk_widget_get_preferred_width(GTK_WIDGET(label), &minimum, &natural);
        gtk_widget_set_size_request(GTK_WIDGET(label), oldW, oldH);
        if (natural <= width) break;
        chars -= std::max(1, chars / 10);
    }
}

// The size GTK needs to draw a control, not counting a size we asked for.
void naturalSize(GtkWidget* widget, int width, int& naturalWidth, int& naturalHeight) {
    int oldW = -1, oldH = -1;
    gtk_widget_get_size_request(widget, &oldW, &oldH);
    gtk_widget_set_size_request(widget, -1, -1);
    int minimum = 0;
    if (GTK_IS_LABEL(widget) && gtk_label_get_line_wrap(GTK_LABEL(widget))) {
        // A wrapping label keeps its width and needs the height of its lines.
        naturalWidth = width;
        gtk_widget_get_preferred_height_for_width(widget, width, &minimum, &naturalHeight);
    } else {
        gtk_widget_get_preferred_width(widget, &minimum, &naturalWidth);
        gtk_widget_get_preferred_height_for_width(widget, std::max(width, naturalWidth), &minimum, &naturalHeight);
    }
    gtk_widget_set_size_request(widget, oldW, oldH);
}

// Escape closes a window as its own Close or Cancel does (the desktop's
// convention for dialogs), through the window's closing path. The focused
// widget has the key first: an open pop-up or a drag in progress ends there.
bool closeOnEscape(GtkWidget* gtkWindow, Window& window, GdkEventKey* key) {
    if (key->keyval != GDK_KEY_Escape || (key->state & gtk_accelerator_get_default_mod_mask()) != 0) return false;
    if (gtk_window_propagate_key_event(GTK_WINDOW(gtkWindow), key)) return true;
    window.performClose();
    return true;
}

// Where a view sits inside its parent's widget: the parent's content height
// (frames count from the bottom, GTK from the top) and the inset of its content.
struct ParentArea {
    GtkWidget* container;
    double height;
    double insetX = 0, insetY = 0;
};

// Gives a control the name the model says a screen reader reads for it, and
// links it with the label that names it both ways (labelled-by, label-for).
// GTK links no label of its own and would read a pop-up by its current item.
void nameForAssistiveTechnologies(const GtkPresenter::WindowEntry& entry, const ViewWidget& w) {
    const ViewRef view = w.view.lock();
    if (!view || (!view->labelledBy() && view->accessibilityLabel().empty())) return;
    AtkObject* control = gtk_widget_get_accessible(w.inner ? w.inner : w.outer);
    if (const ViewRef label = view->labelledBy()) {
        auto it = entry.views.find(label.get());
        if (it != entry.views.end()) {
            AtkObject* labelObject = gtk_widget_get_accessible(it->second.outer);
            atk_object_add_relationship(control, ATK_RELATION_LABELLED_BY, labelObject);
            atk_object_add_relationship(labelObject, ATK_RELATION_LABEL_FOR, control);
        }
    }
    const std::string name = view->accessibilityName();
    if (!sameText(name, atk_object_get_name(control))) atk_object_set_name(control, name.c_str());
}

}  // namespace

ViewRef GtkPresenter::WindowEntry::viewFor(GtkWidget* widget) const {
    for (const auto& [v, w] : views)
        if (w.outer == widget || w.inner == widget) return w.view.lock();
    return nullptr;
}

void GtkPresenter::syncWindow(const WindowRef& window) {
    auto& entry = windows_[window.get()];
    if (entry && entry->window.lock() != window) entry.reset();  // a new window at an old address
    if (!entry) {
        if (!window->isVisible()) return;  // windows are made when first shown
        entry = std::make_unique<WindowEntry>();
        entry->window = window;
        entry->gtkWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        // The model's windows have fixed layouts: GTK sizes them to their content.
        gtk_window_set_resizable(GTK_WINDOW(entry->gtkWindow), FALSE);
        entry->layout = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_container_add(GTK_CONTAINER(entry->gtkWindow), entry->layout);
        gtk_widget_show(entry->layout);
        std::weak_ptr<Window> weak = window;
        // The desktop's close goes the window's own way; the model decides what goes.
        connect<Window>(entry->gtkWindow, "delete-event", +[](GtkWidget*, GdkEvent*, gpointer d) -> gboolean {
            if (auto w = target<Window>(d)) w->performClose();
            return TRUE;
        }, weak);
        g_object_set_data(G_OBJECT(entry->gtkWindow), "skyvane-entry", entry.get());
        connect<Window>(entry->gtkWindow, "key-press-event", +[](GtkWidget* gw, GdkEventKey* key, gpointer d) -> gboolean {
            auto* e = static_cast<WindowEntry*>(g_object_get_data(G_OBJECT(gw), "skyvane-entry"));
            auto w = target<Window>(d);
            return e && w && (moveKeyFocus(*e, *w, key) || closeOnEscape(gw, *w, key));
        }, weak);
        // A widget the user focuses becomes the model's first responder.
        connect<Window>(entry->gtkWindow, "set-focus", +[](GtkWindow* gw, GtkWidget* focus, gpointer d) {
            if (syncing || !focus) return;
            auto* e = static_cast<WindowEntry*>(g_object_get_data(G_OBJECT(gw), "skyvane-entry"));
            auto w = target<Window>(d);
            if (!e || !w) return;
            if (ViewRef v = e->viewFor(focus); v && v.get() != w->firstResponder()) {
                w->makeFirstResponder(v);
                e->shownFirstResponderRequests = w->firstResponderRequests();
            }
        }, weak);
    }
    GtkWindow* gw = GTK_WINDOW(entry->gtkWindow);
    if (!sameText(window->title(), gtk_window_get_title(gw))) gtk_window_set_title(gw, window->title().c_str());
    gtk_window_set_deletable(gw, window->isDeletable());
    if (!window->isDeletable() && !entry->titledOnly) {
        // GTK asks for "everything but close", which some window managers
        // read as everything; a window without a close button may only move.
        gtk_widget_realize(entry->gtkWindow);
        gdk_window_set_functions(gtk_widget_get_window(entry->gtkWindow), GDK_FUNC_MOVE);
        entry->titledOnly = true;
    }
    syncToolbar(*entry, window);

    // The content view and its tree, laid out from the model's frames.
    const ViewRef& content = window->contentView();
    std::set<const View*> visited;
    // `f` is the view's frame, or the place a scroll view gives its document.
    std::function<void(const ViewRef&, const ParentArea&, Rect)> place = [&](const ViewRef& view,
                                                                            const ParentArea& parent, Rect f) {
        visited.insert(view.get());
        ViewWidget& w = entry->views[view.get()];
        if (w.view.lock() != view) {
            if (w.outer) {
                if (GtkWidget* old = gtk_widget_get_parent(w.outer)) gtk_container_remove(GTK_CONTAINER(old), w.outer);
                g_object_unref(w.outer);
            }
            w = ViewWidget{};
            w.view = view;
            makeWidget(view, w);
            gtk_widget_show_all(w.outer);  // its own parts; subviews follow their model
        }
        updateWidget(view, w);
        if (GTK_IS_LABEL(w.outer) && gtk_label_get_line_wrap(GTK_LABEL(w.outer))) {
            const std::string fit = std::to_string(f.width()) + "\n" + gtk_label_get_text(GTK_LABEL(w.outer));
            if (fit != w.labelFittedTo) fitLabelToWidth(GTK_LABEL(w.outer), static_cast<int>(f.width()));
            w.labelFittedTo = fit;
        }
        int width = std::max(1, static_cast<int>(f.width()));
        int height = std::max(1, static_cast<int>(f.height()));
        double top = parent.insetY + parent.height - f.maxY();  // GTK counts from the top
        if (isLeaf(w)) {
            // Never smaller than GTK draws the control; a taller one stays centred on its row.
            int naturalW = 0, naturalH = 0;
            naturalSize(w.outer, width, naturalW, naturalH);
            if (naturalH > height) top -= (naturalH - height) / 2.0;
            width = std::max(width, naturalW);
            height = std::max(height, naturalH);
        }
        const int x = static_cast<int>(parent.insetX + f.x());
        const int y = std::max(0, static_cast<int>(top));
        GtkWidget* current = gtk_widget_get_parent(w.outer);
        if (current != parent.container) {
            if (current) gtk_container_remove(GTK_CONTAINER(current), w.outer);
            if (GTK_IS_FIXED(parent.container))
                gtk_fixed_put(GTK_FIXED(parent.container), w.outer, x, y);
            else
                gtk_box_pack_start(GTK_BOX(parent.container), w.outer, FALSE, FALSE, 0);
        } else if (GTK_IS_FIXED(parent.container)) {
            int oldX = 0, oldY = 0;
            gtk_container_child_get(GTK_CONTAINER(parent.container), w.outer, "x", &oldX, "y", &oldY, nullptr);
            if (oldX != x || oldY != y) gtk_fixed_move(GTK_FIXED(parent.container), w.outer, x, y);
        }
        gtk_widget_set_size_request(w.outer, width, height);
        gtk_widget_set_visible(w.outer, !view->isHidden());
        if (!w.container) return;
        ParentArea inner{w.container, f.height()};
        if (auto box = std::dynamic_pointer_cast<Box>(view)) {
            // A box holds its content inside its margins.
            const Size m = box->contentViewMargins();
            inner = {w.container, f.height() - 2 * m.height, m.width, m.height};
        }
        auto scroll = std::dynamic_pointer_cast<ScrollView>(view);
        for (const auto& sub : view->subviews()) {
            // A scroll view's document fills it; the document scrolls itself.
            const bool document = scroll && sub == scroll->documentView();
            place(sub, inner, document ? Rect{{0, 0}, f.size} : sub->frame());
        }
    };
    if (content) {
        place(content, {entry->layout, content->frame().height()}, content->frame());
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
    // Named once every widget is placed: a label may come after its control.
    for (const auto& [view, w] : entry->views) nameForAssistiveTechnologies(*entry, w);

    if (View* button = window->defaultButton()) {
        auto it = entry->views.find(button);
        if (it != entry->views.end() && gtk_window_get_default_widget(gw) != it->second.outer) {
            gtk_widget_set_can_default(it->second.outer, TRUE);
            gtk_window_set_default(gw, it->second.outer);
        }
    }

    // Sheets are modal dialogs on their parent's window.
    if (Window* parent = window->sheetParent()) {
        auto p = windows_.find(parent);
        if (p != windows_.end() && p->second) {
            gtk_window_set_transient_for(gw, GTK_WINDOW(p->second->gtkWindow));
            gtk_window_set_position(gw, GTK_WIN_POS_CENTER_ON_PARENT);
        }
        gtk_window_set_modal(gw, TRUE);
    } else {
        gtk_window_set_transient_for(gw, nullptr);
        gtk_window_set_modal(gw, FALSE);
        // A window of its own opens in the middle of the screen.
        gtk_window_set_position(gw, GTK_WIN_POS_CENTER);
    }
    if (window->isVisible()) {
        const bool showing = !gtk_widget_get_visible(entry->gtkWindow);
        const bool asked = window->orderFrontRequests() != entry->shownOrderFrontRequests;
        entry->shownOrderFrontRequests = window->orderFrontRequests();
        if (window->isKeyWindow() && (showing || asked)) {
            // Shown, or asked forward again while shown (perhaps minimised or
            // under other windows): un-minimised, raised and focused.
            gtk_widget_realize(entry->gtkWindow);
            gtk_window_present_with_time(gw, presentTime(entry->gtkWindow));
        } else if (showing) {
            gtk_widget_show(entry->gtkWindow);
        }
    } else {
        gtk_widget_hide(entry->gtkWindow);
    }
    syncFocus(*entry, *window);
}

void GtkPresenter::syncToolbar(WindowEntry& entry, const WindowRef& window) {
    if (!window->toolbar()) return;
    if (!entry.toolbar) {
        entry.toolbar = gtk_toolbar_new();
        gtk_toolbar_set_style(GTK_TOOLBAR(entry.toolbar), GTK_TOOLBAR_BOTH);
        gtk_box_pack_start(GTK_BOX(entry.layout), entry.toolbar, FALSE, FALSE, 0);
        for (const auto& item : window->toolbar()->items()) {
            GtkWidget* icon = gtk_image_new();
            setImage(GTK_IMAGE(icon), item->image().get());
            // Toggles, so that the current pane shows as pressed.
            GtkToolItem* button = gtk_toggle_tool_button_new();
            gtk_tool_button_set_icon_widget(GTK_TOOL_BUTTON(button), icon);
            gtk_tool_button_set_label(GTK_TOOL_BUTTON(button), item->label().c_str());
            gtk_tool_item_set_tooltip_text(button, item->toolTip().c_str());
            gtk_toolbar_insert(GTK_TOOLBAR(entry.toolbar), button, -1);
            entry.toolButtons[item->itemIdentifier()] = GTK_WIDGET(button);
            struct ToolbarTarget {
                std::weak_ptr<Window> window;
                std::string id;
            };
            g_signal_connect_data(button, "clicked", G_CALLBACK(+[](GtkToolButton*, gpointer d) {
                if (syncing) return;
                auto* t = static_cast<ToolbarTarget*>(d);
                if (auto w = t->window.lock(); w && w->toolbar()) w->toolbar()->userClickItem(t->id);
                // A click on the current pane's button leaves the pane: the next
                // sync presses the button again.
                noteUIChange();
            }), new ToolbarTarget{window, item->itemIdentifier()},
                                  [](gpointer d, GClosure*) { delete static_cast<ToolbarTarget*>(d); }, GConnectFlags(0));
        }
        gtk_widget_show_all(entry.toolbar);
    }
    const std::string& selected = window->toolbar()->selectedItemIdentifier();
    for (const auto& [id, button] : entry.toolButtons) {
        GtkToggleToolButton* toggle = GTK_TOGGLE_TOOL_BUTTON(button);
        if (gtk_toggle_tool_button_get_active(toggle) != (id == selected))
            gtk_toggle_tool_button_set_active(toggle, id == selected);
        if (ToolbarItemRef item = window->toolbar()->itemWithIdentifier(id))
            gtk_widget_set_sensitive(button, item->isEnabled());
    }
}

void GtkPresenter::syncFocus(WindowEntry& entry, Window& window) {
    if (window.firstResponderRequests() == entry.shownFirstResponderRequests) return;
    View* responder = window.firstResponder();
    auto it = responder ? entry.views.find(responder) : entry.views.end();
    if (it == entry.views.end()) return;  // shown at a later sync
    entry.shownFirstResponderRequests = window.firstResponderRequests();
    GtkWidget* widget = it->second.inner ? it->second.inner : it->second.outer;
    if (gtk_window_get_focus(GTK_WINDOW(entry.gtkWindow)) != widget) gtk_widget_grab_focus(widget);
}

bool GtkPresenter::moveKeyFocus(WindowEntry& entry, Window& window, GdkEventKey* key) {
    const bool forward = key->keyval == GDK_KEY_Tab || key->keyval == GDK_KEY_KP_Tab;
    const bool backward = key->keyval == GDK_KEY_ISO_Left_Tab;
    if (!forward && !backward) return false;
    ViewRef focused = entry.viewFor(gtk_window_get_focus(GTK_WINDOW(entry.gtkWindow)));
    if (!focused) return false;
    ViewRef next;
    if (forward) {
        next = focused->nextKeyView();
    } else {
        for (const auto& [v, w] : entry.views)
            if (auto candidate = w.view.lock(); candidate && candidate->nextKeyView() == focused) next = candidate;
    }
    // Without a key-view link of its own the focus moves in GTK's order.
    auto it = next ? entry.views.find(next.get()) : entry.views.end();
    if (it == entry.views.end() || !gtk_widget_is_visible(it->second.outer)) return false;
    window.makeFirstResponder(next);
    syncFocus(entry, window);
    return true;
}

void GtkPresenter::windowVisibilityChanged(Window&) { sync(); }

namespace {

// Input that arrives while a window is drawn during blocking work waits
// until the work is done, as it would with the event loop held.
struct HeldInput {
    std::vector<GdkEvent*> events;
};

void holdInput(GdkEvent* event, gpointer data) {
    switch (event->type) {
        case GDK_BUTTON_PRESS:
        case GDK_2BUTTON_PRESS:
        case GDK_3BUTTON_PRESS:
        case GDK_BUTTON_RELEASE:
        case GDK_KEY_PRESS:
        case GDK_KEY_RELEASE:
        case GDK_SCROLL:
        case GDK_DELETE:
        case GDK_TOUCH_BEGIN:
        case GDK_TOUCH_UPDATE:
        case GDK_TOUCH_END:
            static_cast<HeldInput*>(data)->events.push_back(gdk_event_copy(event));
            break;
        default: gtk_main_do_event(event); break;
    }
}

void passEvent(GdkEvent* event, gpointer) { gtk_main_do_event(event); }

}  // namespace

void GtkPresenter::displayView(View& view) {
    Window* window = view.window();
    if (!window) return;
    // No transitions: a control that just changed state is painted in its
    // new look at once, as the event loop stops right after.
    struct NoAnimations {
        GtkSettings* settings = gtk_settings_get_default();
        gboolean before = TRUE;
        NoAnimations() {
            g_object_get(settings, "gtk-enable-animations", &before, nullptr);
            if (before) g_object_set(settings, "gtk-enable-animations", FALSE, nullptr);
        }
        ~NoAnimations() {
            if (before) g_object_set(settings, "gtk-enable-animations", TRUE, nullptr);
        }
    } still;
    sync();
    auto it = windows_.find(window);
    if (it == windows_.end() || !it->second) return;
    GtkWidget* gw = it->second->gtkWindow;
    if (!gtk_widget_is_drawable(gw)) return;
    // Let GTK lay out and paint the window now, holding the user's input.
    HeldInput held;
    gdk_event_handler_set(holdInput, &held, nullptr);
    bool drawn = false, late = false;
    const gulong drawId = g_signal_connect_after(gw, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer d) -> gboolean {
        *static_cast<bool*>(d) = true;
        return FALSE;
    }), &drawn);
    const guint timeout = g_timeout_add(500, +[](gpointer d) -> gboolean {
        *static_cast<bool*>(d) = true;
        return G_SOURCE_REMOVE;
    }, &late);
    gtk_widget_queue_draw(gw);
    while (!drawn && !late) g_main_context_iteration(nullptr, TRUE);
    if (!late) g_source_remove(timeout);
    g_signal_handler_disconnect(gw, drawId);
    gdk_display_flush(gtk_widget_get_display(gw));
    gdk_event_handler_set(passEvent, nullptr, nullptr);
    for (GdkEvent* event : held.events) {
        gdk_event_put(event);
        gdk_event_free(event);
    }
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
