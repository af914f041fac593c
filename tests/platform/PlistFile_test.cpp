#include "platform/PlistFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "PlistSamples.h"
#include "platform/PlistBounds.h"
#include "support/HostilePlists.h"
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

// Nesting as deep as allowed still reads; one level more, nesting tens of
// thousands deep, objects shared past counting and objects that hold
// themselves are refused with the reason, at once and without a crash.
TEST(PlistFile, PropertyListsPastTheBoundsAreRefusedNeverCrash) {
    const uint32_t deepest = plist::kMaxNesting - 1;  // arrays under the top dictionary
    // Closing tags hidden in a processing instruction's quoted text: the
    // reader still refuses the nesting the parser builds from it.
    std::string hidden = "<?xml version=\"1.0\"?><plist>";
    for (int i = 0; i < 200; ++i) hidden += "<array>";
    hidden += "<?pi \"?>";
    for (int i = 0; i < 200; ++i) hidden += "</array>";
    hidden += "\"?>";
    for (int i = 0; i < 200; ++i) hidden += "<array>";
    for (int i = 0; i < 400; ++i) hidden += "</array>";
    hidden += "</plist>";
    const struct {
        const char* name;
        std::string bytes;
        const char* refused;  // nullptr: it reads
    } cases[] = {
        {"xml at the limit", hostile::deepXml(deepest), nullptr},
        {"binary at the limit", hostile::deepBinary(deepest), nullptr},
        {"xml one level deeper", hostile::deepXml(deepest + 1), "nested more than 256"},
        {"binary one level deeper", hostile::deepBinary(deepest + 1), "nested more than 256"},
        {"xml 1,000,000 deep", hostile::deepXml(1000000), "nested more than 256"},
        {"binary 1,000,000 deep", hostile::deepBinary(1000000), "nested more than 256"},
        {"xml with hidden closing tags", hidden, "nested"},
        {"binary shared 2^40 times", hostile::sharedBinary(40), "more than 1000000 values"},
        {"binary holding itself", hostile::loopBinary(), "contains itself"},
        {"binary with a count past its end", hostile::binary({hostile::container(0xA, {0}).substr(0, 1) + "\xff"}),
         "container larger than its file"},
        {"past 64 MiB", std::string(plist::kMaxFileBytes + 1, ' '), "larger than 64 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        plist::Value out;
        std::string error;
        const bool read = plist::parse(c.bytes, out, error);
        if (!c.refused) {
            ASSERT_TRUE(read) << error;
            int levels = 0;
            for (const plist::Value* v = &out; v; ++levels) {
                if (v->isDict())
                    v = &v->get("locations");
                else
                    v = v->isArray() && !v->asArray().empty() ? &v->asArray()[0] : nullptr;
            }
            EXPECT_EQ(levels, plist::kMaxNesting);
        } else {
            EXPECT_FALSE(read);
            EXPECT_NE(error.find(c.refused), std::string::npos) << error;
        }
    }
}

// A NUL byte inside a binary string or key ends the text, as writing it
// would, instead of aborting the program inside the parsing library.
TEST(PlistFile, BinaryTextsHoldingNulReadUpToIt) {
    using hostile::ascii;
    const std::string nul("Nul\0City", 8);
    const struct {
        const char* name;
        std::string bytes;
        plist::Value read;
    } cases[] = {
        {"string", hostile::binary({ascii(nul)}), plist::Value("Nul")},
        {"key", hostile::binary({hostile::container(0xD, {1, 2}), ascii(nul), ascii("x")}), plist::Dict{{"Nul", "x"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        plist::Value out;
        std::string error;
        ASSERT_TRUE(plist::parse(c.bytes, out, error)) << error;
        EXPECT_EQ(out, c.read);
    }
}

// Declarations are skipped one by one, each to its own '>' (or past the ']'
// of an internal subset that holds '>'): what follows them is measured as
// usual, however many there are.
TEST(PlistFile, DeclarationsAreSkippedAndWhatFollowsIsMeasured) {
    std::string declarations;
    for (int i = 0; i < 20000; ++i) declarations += "<!x>\n";
    const std::string subset = "<!DOCTYPE plist [ <!ENTITY gt \">\"> <!ELEMENT a (b)> ]>\n";
    const std::string deep = hostile::deepXml(plist::kMaxNesting + 1);
    const std::string deepBody = deep.substr(deep.find("<plist"));
    const std::string small = "<plist version=\"1.0\"><dict><key>units</key><integer>1</integer></dict></plist>\n";

    EXPECT_EQ(plist::boundsProblem(declarations + subset + small).value_or("none"), "none");
    EXPECT_EQ(plist::boundsProblem(declarations + subset + deepBody).value_or(""),
              "nested more than 256 levels deep");
    // A '[' after a declaration's '>' opens no subset: the tags after it count.
    EXPECT_EQ(plist::boundsProblem(declarations + "<!y>[" + deepBody + "]>").value_or(""),
              "nested more than 256 levels deep");
    EXPECT_EQ(plist::boundsProblem(declarations + "<!DOCTYPE plist [ <!ENTITY a \">\">").value_or(""),
              "an unterminated document type");
    EXPECT_EQ(plist::boundsProblem(declarations + "<!x").value_or(""), "an unterminated document type");

    // The parser is given the declarations too and reads the same values.
    plist::Value out;
    std::string error;
    ASSERT_TRUE(plist::parse("<?xml version=\"1.0\"?>\n" + subset + small, out, error)) << error;
    EXPECT_EQ(out, plist::Value(plist::Dict{{"units", 1}}));
}

// Only the XML and the binary form are read: text in another notation
// (JSON, OpenStep) is no property list here, whatever the library could
// make of it.
TEST(PlistFile, OnlyXmlAndBinaryFormsAreRead) {
    const char* others[] = {
        "{\"units\": 1, \"mode\": \"free_mode\"}",
        "[1, 2, 3]",
        "{ units = 1; mode = free_mode; }",
        "( 1, 2 )",
        "\"text\"",
        "  \n{}",
        "bplist0",
    };
    for (const char* text : others) {
        SCOPED_TRACE(text);
        plist::Value out;
        std::string error;
        EXPECT_FALSE(plist::parse(text, out, error));
        EXPECT_EQ(error, "not a property list");
    }
    const std::string xml = plist::toXml(plist::Dict{{"units", 1}});
    for (const std::string& bytes : {xml, " \r\n\t" + xml, plist::toBinary(plist::Dict{{"units", 1}})}) {
        plist::Value out;
        std::string error;
        ASSERT_TRUE(plist::parse(bytes, out, error)) << error;
        EXPECT_EQ(out.get("units").asInt(), 1);
    }
}
