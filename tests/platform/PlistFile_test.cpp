#include "platform/PlistFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "PlistSamples.h"
#include "support/TempDir.h"

TEST(PlistFile, EveryKindSurvivesAFileRoundTripWithItsType) {
    TempDir dir;
    std::string path = dir.file("all.plist");
    std::string error;
    plist::Value original = everyKind();
    ASSERT_TRUE(plist::writeFile(path, original, error)) << error;

    plist::Value back;
    ASSERT_TRUE(plist::readFile(path, back, error)) << error;
    EXPECT_EQ(back, original);
    EXPECT_TRUE(sameKinds(back, original));
    EXPECT_EQ(back.get("dict").get("neg").asInt(), -42);
    EXPECT_EQ(back.get("controls").asString().size(), 10u);
    EXPECT_EQ(back.get("array").asArray()[4].asDate().seconds, 1200000000.0);
}

TEST(PlistFile, WritesXmlThatLeavesOutNothingValues) {
    plist::Dict d{{"kept", 1}, {"gone", plist::Value()}};
    d["list"] = plist::Array{1, plist::Value(), 3};
    std::string xml = plist::toXml(d);
    EXPECT_NE(xml.find("<?xml"), std::string::npos);
    EXPECT_NE(xml.find("<key>kept</key>"), std::string::npos);
    EXPECT_EQ(xml.find("gone"), std::string::npos);

    plist::Value back;
    std::string error;
    ASSERT_TRUE(plist::parse(xml, back, error));
    EXPECT_EQ(back.get("list").asArray().size(), 2u);
    EXPECT_EQ(plist::toXml(plist::Value()), "");
}

TEST(PlistFile, DatesKeepWholeSeconds) {
    plist::Value back;
    std::string error;
    ASSERT_TRUE(plist::parse(plist::toXml(plist::Value(plist::Date{1700000000.75})), back, error));
    EXPECT_EQ(back.asDate().seconds, 1700000000.0);
}

TEST(PlistFile, DamagedMissingAndEmptyFilesFailWithAReason) {
    TempDir dir;
    plist::Value out;
    std::string error;
    EXPECT_FALSE(plist::readFile(dir.file("missing.plist"), out, error));
    EXPECT_NE(error.find("missing.plist"), std::string::npos);

    std::ofstream(dir.file("empty.plist")).close();
    EXPECT_FALSE(plist::readFile(dir.file("empty.plist"), out, error));

    std::string full = plist::toXml(everyKind());
    std::ofstream(dir.file("torn.plist")) << full.substr(0, full.size() / 2);
    error.clear();
    EXPECT_FALSE(plist::readFile(dir.file("torn.plist"), out, error));
    EXPECT_NE(error.find("Damaged"), std::string::npos);

    EXPECT_FALSE(plist::parse("garbage", out, error));
}

TEST(PlistFile, AFailedWriteKeepsTheOldFile) {
    TempDir dir;
    std::string path = dir.file("keep.plist");
    std::string error;
    ASSERT_TRUE(plist::writeFile(path, plist::Dict{{"a", 1}}, error));
    // Nothing to write, and a folder that does not exist: both fail cleanly.
    EXPECT_FALSE(plist::writeFile(path, plist::Value(), error));
    EXPECT_FALSE(plist::writeFile(dir.file("no/such/folder.plist"), plist::Dict{{"a", 2}}, error));
    plist::Value back;
    ASSERT_TRUE(plist::readFile(path, back, error));
    EXPECT_EQ(back.get("a").asInt(), 1);
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}
