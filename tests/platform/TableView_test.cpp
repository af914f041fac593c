#include "platform/ui/TableView.h"

#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A source-ordering table: rank and name, rows reordered by dragging one at a time.
class Order : public TableDataSource {
public:
    std::vector<int> numbers{1, 5, 6, 3};

    int numberOfRowsInTableView(TableView&) override { return static_cast<int>(numbers.size()); }
    plist::Value objectValue(TableView&, const TableColumn& column, int row) override {
        if (column.identifier == "0") return row + 1;
        return "source " + std::to_string(numbers[static_cast<size_t>(row)]);
    }
    bool writeRows(TableView&, const std::vector<int>& rows, Pasteboard& pb) override {
        if (rows.size() != 1) return false;
        pb.declareTypes({"toMoveIndex", "toMove"});
        pb.setString(std::to_string(rows[0]), "toMoveIndex");
        pb.setString(std::to_string(numbers[static_cast<size_t>(rows[0])]), "toMove");
        return true;
    }
    int validateDrop(TableView&, DraggingInfo& info, int row, DropOperation op) override {
        if (op != DropOperation::Above) return kDragOperationNone;
        const int from = std::stoi(info.pasteboard.stringForType("toMoveIndex"));
        return row == from || row == from + 1 ? kDragOperationNone : kDragOperationMove;
    }
    bool acceptDrop(TableView&, DraggingInfo& info, int row, DropOperation) override {
        int from = std::stoi(info.pasteboard.stringForType("toMoveIndex"));
        numbers.insert(numbers.begin() + row, std::stoi(info.pasteboard.stringForType("toMove")));
        if (from > row) ++from;
        numbers.erase(numbers.begin() + from);
        return true;
    }
};

class Favorites : public TableDataSource, public TableViewDelegate {
public:
    std::vector<bool> favorite{false, true};
    int selectionChanges = 0;
    int numberOfRowsInTableView(TableView&) override { return 2; }
    plist::Value objectValue(TableView&, const TableColumn& c, int row) override {
        if (c.identifier == "0") return static_cast<bool>(favorite[static_cast<size_t>(row)]);
        return row == 0 ? "Boston" : "Denver";
    }
    void setObjectValue(TableView&, const plist::Value&, const TableColumn&, int row) override {
        favorite[static_cast<size_t>(row)] = !favorite[static_cast<size_t>(row)];
    }
    bool shouldEditTableColumn(TableView&, const TableColumn&, int) override { return false; }
    void tableViewSelectionDidChange(TableView&) override { ++selectionChanges; }
};

std::unique_ptr<TableView> orderTable(Order& order) {
    auto table = std::make_unique<TableView>();
    table->addTableColumn(TableColumn("0", "#"));
    table->addTableColumn(TableColumn("1", "Source"));
    table->setDataSource(&order);
    table->registerForDraggedTypes({"toMoveIndex", "toMove"});
    return table;
}

}  // namespace

TEST(TableView, DragRowZeroAboveRowThree) {
    Order order;
    auto owned = orderTable(order);
    TableView& table = *owned;
    EXPECT_EQ(table.renderedRows()[0], (std::vector<std::string>{"1", "source 1"}));
    ASSERT_TRUE(table.userDrag({0}, 3, DropOperation::Above));
    EXPECT_EQ(order.numbers, (std::vector<int>{5, 6, 1, 3}));
    EXPECT_EQ(table.dragPasteboard().stringForType("toMove"), "1");
    // The rank column stays 1..4 whatever the order.
    auto rows = table.renderedRows();
    EXPECT_EQ(rows[2], (std::vector<std::string>{"3", "source 1"}));

    order.numbers = {1, 5, 6, 3};
    ASSERT_TRUE(table.userDrag({0}, 4, DropOperation::Above));
    EXPECT_EQ(order.numbers, (std::vector<int>{5, 6, 3, 1}));
    order.numbers = {1, 5, 6, 3};
    ASSERT_TRUE(table.userDrag({3}, 0, DropOperation::Above));
    EXPECT_EQ(order.numbers, (std::vector<int>{3, 1, 5, 6}));
}

TEST(TableView, RefusedDragsChangeNothing) {
    Order order;
    auto owned = orderTable(order);
    TableView& table = *owned;
    EXPECT_FALSE(table.userDrag({1}, 1, DropOperation::Above));
    EXPECT_FALSE(table.userDrag({1}, 2, DropOperation::Above));
    EXPECT_FALSE(table.userDrag({1}, 3, DropOperation::On));
    EXPECT_FALSE(table.userDrag({0, 1}, 3, DropOperation::Above));
    table.registerForDraggedTypes({"somethingElse"});
    EXPECT_FALSE(table.userDrag({0}, 3, DropOperation::Above));
    EXPECT_EQ(order.numbers, (std::vector<int>{1, 5, 6, 3}));
}

TEST(TableView, SelectionCheckBoxCellsAndDoubleClicks) {
    Favorites favs;
    TableView table;
    auto check = std::make_shared<ButtonCell>(ButtonType::Switch);
    table.addTableColumn(TableColumn("0", "", 20, check));
    table.addTableColumn(TableColumn("1", "City"));
    table.setDataSource(&favs);
    table.setDelegate(&favs);
    EXPECT_EQ(table.selectedRow(), -1);
    EXPECT_TRUE(table.userSelectRow(1));
    EXPECT_EQ(table.selectedRow(), 1);
    EXPECT_EQ(favs.selectionChanges, 1);
    table.userSelectRow(1);  // the same row again is no change
    EXPECT_EQ(favs.selectionChanges, 1);
    EXPECT_FALSE(table.userSelectRow(2));
    table.selectRow(0);  // by the program: no delegate message
    EXPECT_EQ(favs.selectionChanges, 1);

    EXPECT_TRUE(table.userClickCell("0", 0));
    EXPECT_TRUE(favs.favorite[0]);
    EXPECT_EQ(table.valueAt("0", 0).asBool(), true);
    EXPECT_TRUE(table.valueAt("0", 5).isNone());

    int doubles = 0;
    table.setDoubleAction([&](Control&) { ++doubles; });
    EXPECT_TRUE(table.userDoubleClickRow(0));
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(table.selectedRow(), 0);

    // Rows that disappear leave the selection on reload.
    favs.favorite.clear();
    table.setDataSource(nullptr);
    table.reloadData();
    EXPECT_EQ(table.selectedRow(), -1);
    EXPECT_EQ(table.reloadCount(), 1);
}

TEST(Toolbar, ItemsComeFromTheDelegateAndSendTheirAction) {
    struct Panes : ToolbarDelegate {
        std::vector<std::string> shown;
        ToolbarItemRef itemForItemIdentifier(Toolbar&, const std::string& id, bool) override {
            auto item = std::make_shared<ToolbarItem>(id);
            item->setLabel(id);
            item->setTarget(this);
            item->setAction("showPane:", [this](ToolbarItem& i) { shown.push_back(i.itemIdentifier()); });
            return item;
        }
        std::vector<std::string> defaultItemIdentifiers(Toolbar&) override {
            return {"general", "locations", "sources"};
        }
    } panes;
    auto toolbar = std::make_shared<Toolbar>("myToolbar");
    toolbar->setDelegate(&panes);
    toolbar->setAllowsUserCustomization(false);
    WindowRef window = Window::create({0, 0, 400, 300});
    window->setToolbar(toolbar);
    ASSERT_EQ(toolbar->items().size(), 3u);
    EXPECT_EQ(toolbar->items()[1]->itemIdentifier(), "locations");
    EXPECT_TRUE(toolbar->userClickItem("sources"));
    EXPECT_FALSE(toolbar->userClickItem("missing"));
    EXPECT_EQ(panes.shown, (std::vector<std::string>{"sources"}));
}
