#include <gtest/gtest.h>

#include "menu/PlimImageSet.h"
#include "menu/MenuTestBundle.h"
#include "support/CaptureStream.h"

TEST(PlimImageSet, KeysAreFileNamesWithTheirExtension) {
    MenuTestBundle fixture;
    ImageRef picture = Image::create({4, 3});
    std::filesystem::create_directories(fixture.resources() / "pics");
    ASSERT_TRUE(picture->savePNG((fixture.resources() / "pics" / "kv2-1.png").string()));
    ASSERT_TRUE(picture->savePNG((fixture.resources() / "pics" / "kv2-x.png").string()));
    fixture.write("pics/readme.txt", "not a picture");

    CaptureStderr err;
    PlimImageSet set("pics", fixture.bundle());
    const std::string log = err.text();

    EXPECT_EQ(set.count(), 2u);
    ASSERT_TRUE(set.imageForKey("kv2-1.png"));
    EXPECT_EQ(set.imageForKey("kv2-1.png")->size(), (Size{4, 3}));
    EXPECT_TRUE(set.imageForKey("kv2-x.png"));
    EXPECT_FALSE(set.imageForKey("kv2-1"));
    EXPECT_FALSE(set.imageForKey("readme.txt"));
    EXPECT_NE(log.find("Couldn't find image ["), std::string::npos) << log;
    EXPECT_NE(log.find("readme.txt]"), std::string::npos) << log;
}

TEST(PlimImageSet, MissingDirectoryGivesAnEmptySet) {
    MenuTestBundle fixture;
    PlimImageSet set("gfx/nothing-here", fixture.bundle());
    EXPECT_EQ(set.count(), 0u);
    EXPECT_FALSE(set.imageForKey("kv2-1.png"));
}

TEST(PlimImageSet, ProjectDirectoriesHoldThePicturesTheDrawingCodeNames) {
    MenuTestBundle fixture;
    PlimImageSet status("gfx/status", fixture.bundle());
    for (const char* name : {"kv2-1.png", "kv2-2.png", "kv2-3.png", "kv2-4.png", "kv2-x.png"})
        EXPECT_TRUE(status.imageForKey(name)) << name;
    PlimImageSet warnings("gfx/warnings", fixture.bundle());
    for (const char* name : {"watch.png", "warning.png", "watch-tiny.png", "warning-tiny.png"})
        EXPECT_TRUE(warnings.imageForKey(name)) << name;
    PlimImageSet blocks("gfx/blocks", fixture.bundle());
    EXPECT_TRUE(blocks.imageForKey("sheen_block.png"));
    PlimImageSet conditions("gfx/conditions", fixture.bundle());
    EXPECT_TRUE(conditions.imageForKey("moon.tif"));
    EXPECT_TRUE(conditions.imageForKey("moon-neo.png"));
}
