#pragma once
// A headless table view: rows come from a data source, columns are told
// apart by identifier, and rows are selected, clicked and dragged by tests as
// a user would.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "util/plist/Value.h"

// What a drag carries: texts by type.
class Pasteboard {
public:
    // Starts a new content with these types; earlier texts are dropped.
    void declareTypes(const std::vector<std::string>& types);
    const std::vector<std::string>& types() const { return types_; }
    // False for a type that was not declared.
    bool setString(const std::string& text, const std::string& type);
    // "" for a type without text.
    std::string stringForType(const std::string& type) const;

private:
    std::vector<std::string> types_;
    std::map<std::string, std::string> strings_;
};

struct DraggingInfo {
    Pasteboard& pasteboard;
};

enum class DropOperation { On = 0, Above = 1 };
enum DragOperation { kDragOperationNone = 0, kDragOperationMove = 16 };

struct TableColumn {
    explicit TableColumn(std::string id, std::string heading = "", double w = 100, std::shared_ptr<Cell> cell = {})
        : identifier(std::move(id)), title(std::move(heading)), width(w), dataCell(std::move(cell)) {}
    std::string identifier;
    std::string title;
    double width;
    std::shared_ptr<Cell> dataCell;  // null: a text cell
    // What a screen reader calls each cell of the column that shows no text
    // of its own (a check box without a title): the column's heading. ""
    // for cells read by their own text.
    std::string cellAccessibilityName() const;
};

class TableView;

class TableDataSource {
public:
    virtual ~TableDataSource() = default;
    virtual int numberOfRowsInTableView(TableView& table) = 0;
    virtual plist::Value objectValue(TableView& table, const TableColumn& column, int row) = 0;
    virtual void setObjectValue(TableView&, const plist::Value&, const TableColumn&, int) {}
    virtual bool shouldEditTableColumn(TableView&, const TableColumn&, int) { return true; }
    // Drag and drop; a source that answers none of these supports no drag.
    virtual bool writeRows(TableView&, const std::vector<int>&, Pasteboard&) { return false; }
    virtual int validateDrop(TableView&, DraggingInfo&, int, DropOperation) { return kDragOperationNone; }
    virtual bool acceptDrop(TableView&, DraggingInfo&, int, DropOperation) { return false; }
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    virtual void tableViewSelectionDidChange(TableView& table) = 0;
};

class TableView : public Control {
public:
    using Control::Control;

    void addTableColumn(TableColumn column);
    const std::vector<TableColumn>& tableColumns() const { return columns_; }
    TableColumn* tableColumnWithIdentifier(const std::string& id);

    void setDataSource(TableDataSource* ds) { dataSource_ = ds; }
    TableDataSource* dataSource() const { return dataSource_; }
    void setDelegate(TableViewDelegate* d) { delegate_ = d; }
    TableViewDelegate* delegate() const { return delegate_; }

    int numberOfRows();
    // The data source's value for the cell; None outside the table.
    plist::Value valueAt(const std::string& columnIdentifier, int row);
    // The rows as the user sees them: one text per cell (converted for
    // display), row by row.
    std::vector<std::vector<std::string>> renderedRows();

    // Asks the data source again (counts the reloads).
    void reloadData();
    int reloadCount() const { return reloads_; }

    bool allowsMultipleSelection() const { return multiple_; }
    void setAllowsMultipleSelection(bool m) { multiple_ = m; }
    // -1 without a selection; the last selected row otherwise.
    int selectedRow() const { return selected_.empty() ? -1 : lastSelected_; }
    const std::set<int>& selectedRows() const { return selected_; }
    int numberOfSelectedRows() const { return static_cast<int>(selected_.size()); }
    // By the program: no delegate message. Rows outside the table are ignored.
    void selectRow(int row, bool extend = false);
    void deselectAll();
    // Scrolls so that the row is in view; -1 before any request. The count
    // lets a presenter scroll once per request.
    void scrollRowToVisible(int row);
    int scrolledRow() const { return scrolledRow_; }
    uint64_t scrollRequests() const { return scrollRequests_; }

    void registerForDraggedTypes(const std::vector<std::string>& types);
    const std::vector<std::string>& registeredDraggedTypes() const { return dragTypes_; }

    void setDoubleAction(TargetAction<Control>::Handler handler) { doubleAction_ = std::move(handler); }

    // The user's gestures.
    // Clicks a row (with extend, adds it to the selection); the delegate hears of a change.
    bool userSelectRow(int row, bool extend = false);
    // Clicks the cell of a column: a check-box column sends the toggled state
    // to the data source; any other cell selects its row.
    bool userClickCell(const std::string& columnIdentifier, int row);
    bool userDoubleClickRow(int row);
    // Drags the rows and drops them at `row` (above it or on it): the data
    // source writes the rows, validates and accepts the drop. True when it
    // accepted; the pasteboard of the drag stays for inspection.
    bool userDrag(const std::vector<int>& rows, int row, DropOperation operation);
    const Pasteboard& dragPasteboard() const { return pasteboard_; }

private:
    void selectionChanged();

    std::vector<TableColumn> columns_;
    TableDataSource* dataSource_ = nullptr;
    TableViewDelegate* delegate_ = nullptr;
    std::set<int> selected_;
    int lastSelected_ = -1;
    bool multiple_ = false;
    int reloads_ = 0;
    int scrolledRow_ = -1;
    uint64_t scrollRequests_ = 0;
    std::vector<std::string> dragTypes_;
    Pasteboard pasteboard_;
    TargetAction<Control>::Handler doubleAction_;
};
