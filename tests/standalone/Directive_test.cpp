#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Bundle.h"
#include "standalone/PackageFile.h"
#include "standalone/PlimDirective.h"
#include "standalone/teskMapping.h"
#include "support/CaptureStream.h"
#include "support/TempDir.h"

TEST(PlimDirective, SerializesInKeyOrderAndReadsItBack) {
    PlimDirective d;
    std::string out = "stale";
    d.serializeToString(out);
    EXPECT_EQ(out, "");

    d.set("b", "2");
    d.set("a", std::string("1"));
    d.serializeToString(out);
    EXPECT_EQ(out, std::string("a\x02" "1\x01" "b\x02" "2"));

    PlimDirective back;
    back.deserializeFromString(out);
    EXPECT_EQ(back.entries(), (StringMap{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(back.get("a"), "1");
    EXPECT_EQ(back.get("missing"), "");

    // Deserializing adds to what is there; an empty value survives.
    back.deserializeFromString(std::string("c\x02") + "\x01" + "a\x02" "9");
    EXPECT_EQ(back.entries(), (StringMap{{"a", "9"}, {"b", "2"}, {"c", ""}}));
}

TEST(PlimDirective, OnlyTextValuesAreStored) {
    PlimDirective d;
    d.set("n", 5);
    d.set("f", 1.5f);
    d.set("flag", true);
    EXPECT_TRUE(d.entries().empty());
    // A string literal is text, not a flag.
    d.set("city", "Boston");
    EXPECT_EQ(d.get("city"), "Boston");

    // Separator bytes inside an entry would split it: refused.
    CaptureStderr err;
    d.set(std::string("bad\x01key"), "v");
    d.set("key", std::string("bad\x02value"));
    EXPECT_EQ(d.entries().size(), 1u);
    EXPECT_NE(err.text().find("separator"), std::string::npos);
}

TEST(PlimDirective, TextWithoutSeparatorsParsesToNothing) {
    PlimDirective d;
    d.deserializeFromString("just some text");
    d.deserializeFromString("");
    d.deserializeFromString("\x01\x01");
    EXPECT_TRUE(d.entries().empty());
}

TEST(teskMapping, SplitsLinesAtTheFirstEqualsSign) {
    teskMapping m("k=v=w\n k = v \nno separator\n=empty key\ndup=1\ndup=2\n", false);
    EXPECT_EQ(m.get("k"), "v=w");
    EXPECT_EQ(m.get(" k "), " v ");
    EXPECT_EQ(m.get(""), "empty key");
    EXPECT_EQ(m.get("dup"), "2");
    EXPECT_EQ(m.get("no separator"), "");
    EXPECT_EQ(m.map().size(), 4u);

    teskMapping r("k=v=w", true);
    EXPECT_EQ(r.get("v=w"), "k");
    EXPECT_EQ(r.map().size(), 1u);

    m.buildMap("x=y", false);
    EXPECT_EQ(m.map(), (StringMap{{"x", "y"}}));
}

TEST(teskMapping, ReadsPackageFilesOfTheMainBundle) {
    TempDir dir;
    std::filesystem::path root = dir.path() / "Skyvane.app";
    std::filesystem::create_directories(root / "Resources/maps");
    std::ofstream(root / "Resources/maps/states") << "MA=Massachusetts\nNY=New York\n";
    std::ofstream(root / "Resources/maps/empty").close();
    Bundle::setMainBundlePath(root);

    std::string text = "stale";
    EXPECT_TRUE(getFileInPackage("maps", "states", text));
    EXPECT_EQ(text, "MA=Massachusetts\nNY=New York\n");
    EXPECT_FALSE(getFileInPackage("maps", "empty", text));
    EXPECT_EQ(text, "");
    text = "stale";
    EXPECT_FALSE(getFileInPackage("maps", "missing", text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(getFileInPackage("..", "Skyvane.app", text));

    teskMapping states("maps", "states", false);
    EXPECT_EQ(states.get("NY"), "New York");
    teskMapping reversed("maps", "states", true);
    EXPECT_EQ(reversed.get("Massachusetts"), "MA");
    teskMapping missing("maps", "missing", false);
    EXPECT_TRUE(missing.map().empty());
}
