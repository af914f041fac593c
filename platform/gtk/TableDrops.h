#pragma once
// Where a row dropped on a GTK tree view lands, in the table model's terms.

#include <gtk/gtk.h>

#include "platform/ui/TableView.h"

struct TableDrop {
    int row;
    DropOperation operation;
};

// pathRow: the row under the pointer, or -1 below the last row.
TableDrop tableDropFor(int pathRow, GtkTreeViewDropPosition position, int rowCount);

// Lets the user drag rows of the tree view onto it; each drop becomes the
// table's userDrag of the dragged row. Once per tree view; later calls do nothing.
void enableTableRowDrags(GtkWidget* treeView, const std::weak_ptr<View>& table);
