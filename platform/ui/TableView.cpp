#include "platform/ui/TableView.h"

#include <algorithm>

#include "platform/UIChanges.h"
#include "util/DisplayText.h"

void Pasteboard::declareTypes(const std::vector<std::string>& types) {
    types_ = types;
    strings_.clear();
}

bool Pasteboard::setString(const std::string& text, const std::string& type) {
    if (std::find(types_.begin(), types_.end(), type) == types_.end()) return false;
    strings_[type] = text;
    return true;
}

std::string Pasteboard::stringForType(const std::string& type) const {
    auto it = strings_.find(type);
    return it == strings_.end() ? "" : it->second;
}

std::string TableColumn::cellAccessibilityName() const {
    auto* check = dynamic_cast<const ButtonCell*>(dataCell.get());
    return check && check->title().empty() ? title : "";
}

void TableView::addTableColumn(TableColumn column) {
    columns_.push_back(std::move(column));
    noteUIChange();
}

TableColumn* TableView::tableColumnWithIdentifier(const std::string& id) {
    for (auto& c : columns_)
        if (c.identifier == id) return &c;
    return nullptr;
}

int TableView::numberOfRows() { return dataSource_ ? std::max(0, dataSource_->numberOfRowsInTableView(*this)) : 0; }

plist::Value TableView::valueAt(const std::string& columnIdentifier, int row) {
    TableColumn* column = tableColumnWithIdentifier(columnIdentifier);
    if (!column || row < 0 || row >= numberOfRows()) return {};
    return dataSource_->objectValue(*this, *column, row);
}

std::vector<std::vector<std::string>> TableView::renderedRows() {
    std::vector<std::vector<std::string>> rows;
    const int n = numberOfRows();
    for (int r = 0; r < n; ++r) {
        std::vector<std::string> cells;
        for (const auto& c : columns_) {
            const plist::Value v = dataSource_->objectValue(*this, c, r);
            switch (v.type()) {
                case plist::Value::Type::String: cells.push_back(toDisplayText(v.asString())); break;
                case plist::Value::Type::Boolean: cells.push_back(v.asBool() ? "[x]" : "[ ]"); break;
                case plist::Value::Type::Integer: cells.push_back(std::to_string(v.asInt())); break;
                case plist::Value::Type::Real: cells.push_back(std::to_string(v.asReal())); break;
                default: cells.push_back(""); break;
            }
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

void TableView::reloadData() {
    ++reloads_;
    // Rows that are gone leave the selection.
    const int n = numberOfRows();
    for (auto it = selected_.begin(); it != selected_.end();) it = *it >= n ? selected_.erase(it) : std::next(it);
    if (!selected_.count(lastSelected_)) lastSelected_ = selected_.empty() ? -1 : *selected_.rbegin();
    noteUIChange();
}

void TableView::selectRow(int row, bool extend) {
    if (row < 0 || row >= numberOfRows()) return;
    if (!extend || !multiple_) selected_.clear();
    selected_.insert(row);
    lastSelected_ = row;
    noteUIChange();
}

void TableView::deselectAll() {
    selected_.clear();
    lastSelected_ = -1;
    noteUIChange();
}

void TableView::scrollRowToVisible(int row) {
    if (row < 0 || row >= numberOfRows()) return;
    scrolledRow_ = row;
    ++scrollRequests_;
    noteUIChange();
}

void TableView::selectionChanged() {
    if (delegate_) delegate_->tableViewSelectionDidChange(*this);
}

bool TableView::userSelectRow(int row, bool extend) {
    if (!isEnabled() || row < 0 || row >= numberOfRows()) return false;
    const std::set<int> before = selected_;
    selectRow(row, extend);
    if (selected_ != before) selectionChanged();
    return true;
}

bool TableView::userClickCell(const std::string& columnIdentifier, int row) {
    TableColumn* column = tableColumnWithIdentifier(columnIdentifier);
    if (!column || !dataSource_ || !isEnabled() || row < 0 || row >= numberOfRows()) return false;
    auto* button = dynamic_cast<ButtonCell*>(column->dataCell.get());
    if (!button || !button->isEnabled()) {
        userSelectRow(row);
        return true;
    }
    // A check-box cell reports its click even where text is not edited in place.
    const bool on = dataSource_->objectValue(*this, *column, row).asBool();
    dataSource_->setObjectValue(*this, plist::Value(!on), *column, row);
    return true;
}

bool TableView::userDoubleClickRow(int row) {
    if (!userSelectRow(row)) return false;
    if (!doubleAction_) return false;
    auto action = doubleAction_;
    action(*this);
    return true;
}

void TableView::registerForDraggedTypes(const std::vector<std::string>& types) {
    dragTypes_ = types;
    noteUIChange();
}

bool TableView::userDrag(const std::vector<int>& rows, int row, DropOperation operation) {
    if (!dataSource_ || !isEnabled()) return false;
    pasteboard_.declareTypes({});
    if (!dataSource_->writeRows(*this, rows, pasteboard_)) return false;
    // Only a table registered for one of the dragged types takes the drop.
    const bool accepts = std::any_of(pasteboard_.types().begin(), pasteboard_.types().end(), [&](const std::string& t) {
        return std::find(dragTypes_.begin(), dragTypes_.end(), t) != dragTypes_.end();
    });
    if (!accepts) return false;
    DraggingInfo info{pasteboard_};
    if (dataSource_->validateDrop(*this, info, row, operation) == kDragOperationNone) return false;
    return dataSource_->acceptDrop(*this, info, row, operation);
}
