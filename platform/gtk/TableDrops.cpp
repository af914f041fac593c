#include "platform/gtk/TableDrops.h"

#include <cstdlib>
#include <string>

namespace {

const char kRowTarget[] = "application/x-skyvane-table-row";
// The tree view's data that holds its drag context (and says drags are on).
const char kDragData[] = "skyvane-drag";

struct DragContext {
    std::weak_ptr<View> table;
    int draggedRow = -1;
};

void dragDataGet(GtkWidget* widget, GdkDragContext*, GtkSelectionData* data, guint, guint, gpointer d) {
    auto* ctx = static_cast<DragContext*>(d);
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(widget));
    if (!gtk_tree_selection_get_selected(selection, &model, &iter)) return;
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    ctx->draggedRow = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    const std::string text = std::to_string(ctx->draggedRow);
    gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8, reinterpret_cast<const guchar*>(text.c_str()),
                           static_cast<gint>(text.size()));
}

// GTK marks the middle of a row as a drop into it; the mark shows the line
// before or after the row instead, where the drop puts the dragged row. The
// tree view's own handling runs first (a later handler would not run: it
// ends the signal).
gboolean dragMotion(GtkWidget* widget, GdkDragContext* drag, gint x, gint y, guint time, gpointer) {
    auto* treeClass = GTK_WIDGET_CLASS(g_type_class_peek(GTK_TYPE_TREE_VIEW));
    const gboolean handled = treeClass->drag_motion(widget, drag, x, y, time);
    GtkTreePath* path = nullptr;
    GtkTreeViewDropPosition position = GTK_TREE_VIEW_DROP_BEFORE;
    gtk_tree_view_get_drag_dest_row(GTK_TREE_VIEW(widget), &path, &position);
    if (path && (position == GTK_TREE_VIEW_DROP_INTO_OR_BEFORE || position == GTK_TREE_VIEW_DROP_INTO_OR_AFTER))
        gtk_tree_view_set_drag_dest_row(GTK_TREE_VIEW(widget), path,
                                        position == GTK_TREE_VIEW_DROP_INTO_OR_BEFORE ? GTK_TREE_VIEW_DROP_BEFORE
                                                                                     : GTK_TREE_VIEW_DROP_AFTER);
    if (path) gtk_tree_path_free(path);
    return handled;
}

void dragDataReceived(GtkWidget* widget, GdkDragContext* drag, gint x, gint y, GtkSelectionData* data, guint,
                      guint time, gpointer d) {
    auto* ctx = static_cast<DragContext*>(d);
    // The table model does the moving: GTK's own row move does not happen.
    g_signal_stop_emission_by_name(widget, "drag-data-received");
    auto table = std::dynamic_pointer_cast<TableView>(ctx->table.lock());
    const guchar* bytes = gtk_selection_data_get_data(data);
    bool accepted = false;
    if (table && bytes && gtk_selection_data_get_length(data) > 0) {
        const std::string text(reinterpret_cast<const char*>(bytes),
                               static_cast<size_t>(gtk_selection_data_get_length(data)));
        GtkTreePath* path = nullptr;
        GtkTreeViewDropPosition position = GTK_TREE_VIEW_DROP_BEFORE;
        int pathRow = -1;
        if (gtk_tree_view_get_dest_row_at_pos(GTK_TREE_VIEW(widget), x, y, &path, &position) && path) {
            pathRow = gtk_tree_path_get_indices(path)[0];
            gtk_tree_path_free(path);
        }
        const TableDrop drop = tableDropFor(pathRow, position, table->numberOfRows());
        accepted = table->userDrag({std::atoi(text.c_str())}, drop.row, drop.operation);
    }
    gtk_drag_finish(drag, accepted, FALSE, time);
}

}  // namespace

TableDrop tableDropFor(int pathRow, GtkTreeViewDropPosition position, int rowCount) {
    if (pathRow < 0 || pathRow >= rowCount) return {rowCount, DropOperation::Above};
    // The rows are a list, not a tree: the upper half of a row puts the
    // dragged row before it, the lower half after it.
    switch (position) {
        case GTK_TREE_VIEW_DROP_BEFORE:
        case GTK_TREE_VIEW_DROP_INTO_OR_BEFORE: return {pathRow, DropOperation::Above};
        default: return {pathRow + 1, DropOperation::Above};
    }
}

void enableTableRowDrags(GtkWidget* treeView, const std::weak_ptr<View>& table) {
    if (g_object_get_data(G_OBJECT(treeView), kDragData)) return;
    static GtkTargetEntry targets[] = {{const_cast<gchar*>(kRowTarget), GTK_TARGET_SAME_WIDGET, 0}};
    gtk_tree_view_enable_model_drag_source(GTK_TREE_VIEW(treeView), GDK_BUTTON1_MASK, targets, 1, GDK_ACTION_MOVE);
    gtk_tree_view_enable_model_drag_dest(GTK_TREE_VIEW(treeView), targets, 1, GDK_ACTION_MOVE);
    auto* context = new DragContext{table};
    g_object_set_data_full(G_OBJECT(treeView), kDragData, context,
                           [](gpointer d) { delete static_cast<DragContext*>(d); });
    g_signal_connect(treeView, "drag-data-get", G_CALLBACK(dragDataGet), context);
    g_signal_connect(treeView, "drag-data-received", G_CALLBACK(dragDataReceived), context);
    g_signal_connect(treeView, "drag-motion", G_CALLBACK(dragMotion), nullptr);
}
