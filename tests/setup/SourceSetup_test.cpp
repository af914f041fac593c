#include "SetupFixture.h"

namespace {

class SourceSetupTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        setup.runPreferences(samplePrefs(), true, nullptr, "sources", false);
        prefs = setup.prefControl();
        table = prefs->sourceSetup_->sourceTable.get();
    }
    std::vector<int> order() const { return prefs->sourceSetup_->sources(); }
    ComTeskPlimSetup setup;
    SkyvanePrefs* prefs = nullptr;
    TableView* table = nullptr;
};

}  // namespace

TEST_F(SourceSetupTest, DraggingARowMovesItAboveTheDropRow) {
    EXPECT_EQ(table->renderedRows(), (std::vector<std::vector<std::string>>{{"1", "weather.gov"},
                                                                             {"2", "wunderground.com"},
                                                                             {"3", "usatoday.com"},
                                                                             {"4", "aol.com"}}));
    // Drops that change nothing or are malformed are refused.
    EXPECT_FALSE(table->userDrag({1}, 1, DropOperation::Above));
    EXPECT_FALSE(table->userDrag({1}, 2, DropOperation::Above));
    EXPECT_FALSE(table->userDrag({0}, 3, DropOperation::On));
    EXPECT_FALSE(table->userDrag({0, 1}, 3, DropOperation::Above));
    EXPECT_FALSE(table->userDrag({0}, 9, DropOperation::Above));
    Pasteboard foreign;
    foreign.declareTypes({"toMoveIndex", "toMove"});
    foreign.setString("x", "toMoveIndex");
    DraggingInfo info{foreign};
    EXPECT_EQ(prefs->sourceSetup_->validateDrop(*table, info, 0, DropOperation::Above), kDragOperationNone);
    EXPECT_EQ(order(), (std::vector<int>{1, 5, 6, 3}));

    // A refused drop leaves the selection where it was.
    ASSERT_TRUE(table->userSelectRow(1));
    EXPECT_FALSE(table->userDrag({1}, 2, DropOperation::Above));
    EXPECT_EQ(table->selectedRow(), 1);

    ASSERT_TRUE(table->userSelectRow(0));
    ASSERT_TRUE(table->userDrag({0}, 3, DropOperation::Above));
    EXPECT_EQ(table->dragPasteboard().stringForType("toMoveIndex"), "0");
    EXPECT_EQ(table->dragPasteboard().stringForType("toMove"), "1");
    EXPECT_EQ(order(), (std::vector<int>{5, 6, 1, 3}));
    // The edited array is the dictionary's own.
    EXPECT_EQ(prefs->prefs()->at("source_pref"), plist::Value(plist::Array{5, 6, 1, 3}));
    // The moved source stays selected at its new place, down or up the list.
    EXPECT_EQ(table->selectedRows(), (std::set<int>{2}));
    struct Move {
        int from, to;
        std::vector<int> order;
        int selected;
    };
    for (const Move& move : {Move{2, 4, {5, 6, 3, 1}, 3}, Move{3, 0, {1, 5, 6, 3}, 0}, Move{1, 3, {1, 6, 5, 3}, 2}}) {
        ASSERT_TRUE(table->userSelectRow(move.from));
        ASSERT_TRUE(table->userDrag({move.from}, move.to, DropOperation::Above)) << move.from << " to " << move.to;
        EXPECT_EQ(order(), move.order) << move.from << " to " << move.to;
        EXPECT_EQ(table->selectedRows(), (std::set<int>{move.selected})) << move.from << " to " << move.to;
    }
}
