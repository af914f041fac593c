#include "platform/Menu.h"

#include <gtest/gtest.h>

#include "platform/StatusBar.h"
#include "support/CaptureStream.h"

namespace {

std::vector<std::string> titles(const Menu& menu) {
    std::vector<std::string> out;
    for (const auto& item : menu.items()) out.push_back(item->isSeparatorItem() ? "-" : item->title());
    return out;
}

}  // namespace

TEST(Menu, InsertAndRemoveByIndexKeepOrder) {
    MenuRef menu = Menu::create("theMenu");
    menu->addItem("update");
    menu->addItem(MenuItem::separatorItem());
    menu->addItem("about");
    ASSERT_TRUE(menu->insertItem(MenuItem::create("Boston"), 0));
    ASSERT_TRUE(menu->insertItem(MenuItem::create("Denver"), 1));
    ASSERT_TRUE(menu->insertItem(MenuItem::create("end"), menu->numberOfItems()));
    EXPECT_EQ(titles(*menu), (std::vector<std::string>{"Boston", "Denver", "update", "-", "about", "end"}));
    ASSERT_TRUE(menu->removeItemAtIndex(0));
    EXPECT_EQ(titles(*menu), (std::vector<std::string>{"Denver", "update", "-", "about", "end"}));

    CaptureStderr err;
    EXPECT_FALSE(menu->insertItem(MenuItem::create("x"), 7));
    EXPECT_FALSE(menu->insertItem(MenuItem::create("x"), -1));
    EXPECT_FALSE(menu->removeItemAtIndex(5));
    EXPECT_NE(err.text().find("index"), std::string::npos);
    EXPECT_EQ(menu->numberOfItems(), 5);
    EXPECT_EQ(menu->itemAtIndex(5), nullptr);
}

TEST(Menu, AnItemLivesInOneMenuAtATime) {
    MenuRef a = Menu::create("a"), b = Menu::create("b");
    MenuItemRef item = a->addItem("moving");
    a->addItem("stays");
    EXPECT_EQ(item->menu(), a.get());
    b->insertItem(item, 0);
    EXPECT_EQ(item->menu(), b.get());
    EXPECT_EQ(titles(*a), (std::vector<std::string>{"stays"}));
    // Moving within a menu: the index counts the menu as it is before the move.
    b->addItem("second");
    b->insertItem(item, 2);
    EXPECT_EQ(titles(*b), (std::vector<std::string>{"second", "moving"}));
    b->removeAllItems();
    EXPECT_EQ(item->menu(), nullptr);
}

TEST(Menu, ItemsCarryTagsImagesSubmenusAndRepresentedObjects) {
    MenuRef menu = Menu::create();
    MenuItemRef locations = menu->addItem("locations");
    MenuRef sub = Menu::create("locMenu");
    sub->addItem(MenuItem::separatorItem());
    locations->setSubmenu(sub);
    MenuItemRef update = menu->addItem("update");
    update->setTag(200);
    update->setImage(Image::create({25, 16}));
    update->setRepresentedObject(plist::Value("http://example.org/"));
    EXPECT_EQ(menu->itemWithTag(200), update);
    EXPECT_EQ(menu->indexOfItemWithTag(200), 1);
    EXPECT_EQ(menu->itemWithTitle("locations")->submenu(), sub);
    EXPECT_EQ(update->representedObject().asString(), "http://example.org/");
    EXPECT_EQ(update->image()->size(), (Size{25, 16}));
    EXPECT_EQ(menu->itemWithTag(999), nullptr);
    EXPECT_EQ(menu->indexOfItem(sub->itemAtIndex(0).get()), -1);
}

TEST(Menu, ChoosingSendsTheActionOnlyWhenEnabledWithATarget) {
    MenuRef menu = Menu::create();
    MenuItemRef item = menu->addItem("Boston");
    int owner = 0, clicks = 0;
    item->setTarget(&owner);
    item->setAction("menuItemClicked:", [&](MenuItem& sender) {
        ++clicks;
        EXPECT_EQ(&sender, item.get());
        menu->removeItemAtIndex(0);  // an action may remove its own item
    });
    EXPECT_EQ(item->target(), &owner);
    EXPECT_EQ(item->action(), "menuItemClicked:");
    EXPECT_TRUE(item->userChoose());
    EXPECT_EQ(clicks, 1);
    item->setEnabled(false);
    EXPECT_FALSE(item->userChoose());
    item->setEnabled(true);
    item->setTarget(nullptr);
    EXPECT_FALSE(item->userChoose());
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(MenuItem::separatorItem()->userChoose());
}

TEST(StatusBar, ItemsCarryImageTitleMenuAndMenuDownState) {
    StatusBar& bar = StatusBar::systemStatusBar();
    int added = 0;
    bar.setItemAddedHandler([&](const StatusItemRef&) { ++added; });
    StatusItemRef item = bar.statusItemWithLength(kVariableStatusItemLength);
    EXPECT_EQ(added, 1);
    EXPECT_EQ(item->length(), -1.0);
    int changes = 0;
    item->setChangeHandler([&] { ++changes; });
    item->setImage(Image::create({28, 19}));
    item->setTitle("72\xA1");
    EXPECT_EQ(item->title(), "72\xC2\xB0");
    EXPECT_EQ(item->attributedTitle().attributes().font, Font::menuBarFont(14));
    EXPECT_EQ(changes, 2);

    item->userOpenMenu();  // no menu yet: nothing opens
    EXPECT_FALSE(item->isMenuDown());
    item->setMenu(Menu::create("theMenu"));
    item->setHighlightMode(true);
    item->userOpenMenu();
    EXPECT_TRUE(item->isMenuDown());
    item->userCloseMenu();
    EXPECT_FALSE(item->isMenuDown());
    EXPECT_TRUE(item->highlightMode());

    bar.removeStatusItem(item);
    EXPECT_TRUE(std::find(bar.items().begin(), bar.items().end(), item) == bar.items().end());
    bar.setItemAddedHandler(nullptr);
}
