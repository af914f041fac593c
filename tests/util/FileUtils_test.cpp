#include "util/FileUtils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "support/CaptureStream.h"
#include "support/TempDir.h"
#include "util/ResourceLocator.h"

namespace fs = std::filesystem;

TEST(FileUtils, WholeFileReadsAndWrites) {
    TempDir dir;
    std::string name = dir.file("data.bin");
    std::string data("a\0b\xff", 4);
    EXPECT_EQ(FileUtils::writeFile(name, data), 4);
    std::string back = "pre";
    EXPECT_EQ(FileUtils::readFile(name, back), 4);
    EXPECT_EQ(back, "pre" + data);
    EXPECT_EQ(FileUtils::getFileLen(name), 4);
    EXPECT_GT(FileUtils::getLastModificationTime(name), 0);

    EXPECT_EQ(FileUtils::readFile(dir.file("missing"), back), -1);
    EXPECT_EQ(FileUtils::getFileLen(dir.file("missing")), 0);
    EXPECT_EQ(FileUtils::getLastModificationTime(dir.file("missing")), 0);
    EXPECT_EQ(FileUtils::writeFile(dir.file("no/such/dir"), "x"), -1);

    // A file larger than one read block comes back whole.
    std::string big(300000, 'z');
    EXPECT_EQ(FileUtils::writeFile(name, big), 300000);
    back.clear();
    EXPECT_EQ(FileUtils::readFile(name, back), 300000);
    EXPECT_EQ(back, big);
}

TEST(FileUtils, SafeWriteReplacesWholeOrNothing) {
    TempDir dir;
    std::string name = dir.file("prefs.plist");
    EXPECT_EQ(FileUtils::safeWriteFile(name, "first"), 5);
    EXPECT_EQ(FileUtils::safeWriteFile(name, "second"), 6);
    EXPECT_EQ(FileUtils::safeWriteFile(name, ""), 0);
    std::string back;
    FileUtils::readFile(name, back);
    EXPECT_EQ(back, "second");
    // Only the target is left: no temporary files.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);

    // A folder that cannot be written leaves nothing behind and reports 0.
    CaptureStderr err;
    EXPECT_EQ(FileUtils::safeWriteFile(dir.file("absent/x.plist"), "data"), 0);
    EXPECT_FALSE(err.text().empty());
}

TEST(FileUtils, RemoveRefusesShortNames) {
    TempDir dir;
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    FileUtils::writeFile("abcde", "x");
    EXPECT_EQ(FileUtils::removeFile("abcde"), -1);
    EXPECT_TRUE(fs::exists(dir.path() / "abcde"));
    std::string longer = dir.file("abcdef");
    FileUtils::writeFile(longer, "x");
    EXPECT_EQ(FileUtils::removeFile(longer), 0);
    EXPECT_FALSE(fs::exists(longer));
    fs::current_path(previous);
}

TEST(FileUtils, BufferedWriterAndModes) {
    TempDir dir;
    std::string name = dir.file("log.txt");
    FileUtils f;
    ASSERT_EQ(f.openForWriting(name), 0);
    CaptureStderr err;
    EXPECT_EQ(f.openForWriting(name), -1);
    EXPECT_EQ(err.text(), "Can't open [" + name + "] fp active!\n");
    std::string forty(40, 'x');
    EXPECT_EQ(f.write(forty, 100), 40);
    EXPECT_EQ(f.write(forty, 100), 40);
    fflush(nullptr);
    EXPECT_EQ(FileUtils::getFileLen(name), 0);
    EXPECT_EQ(f.write(forty, 100), 40);
    fflush(nullptr);
    EXPECT_EQ(FileUtils::getFileLen(name), 120);
    char buf[4];
    EXPECT_EQ(f.binaryRead(buf, 4), -1);  // wrong mode
    EXPECT_EQ(f.readEntireFile(forty), -1);
    EXPECT_EQ(f.write("tail", 100), 4);
    EXPECT_EQ(f.close(), 0);
    EXPECT_EQ(f.close(), -1);
    EXPECT_EQ(FileUtils::getFileLen(name), 124);

    ASSERT_EQ(f.openForReading(name), 0);
    EXPECT_EQ(f.write("x", 100), -1);
    std::string part;
    EXPECT_EQ(f.readFilePart(118, 4, part), 4);
    EXPECT_EQ(part, "xxta");
    CaptureStderr err2;
    EXPECT_EQ(f.readFilePart(120, 10, part), -1);
    EXPECT_EQ(err2.text(), "Read [4] bytes, expected to read [10] bytes!\n");
    f.seek(0, SEEK_SET);
    EXPECT_EQ(f.binaryRead(buf, 4), 4);
    f.close();

    // Appending is recorded as writing; a destroyed object flushes.
    {
        FileUtils g;
        ASSERT_EQ(g.openForAppending(name), 0);
        EXPECT_EQ(g.write("more", 1000), 4);
    }
    EXPECT_EQ(FileUtils::getFileLen(name), 128);
}

TEST(FileUtils, ShortWriteIsAFailure) {
    // /dev/full takes nothing: every flushed write comes up short.
    FileUtils f;
    ASSERT_EQ(f.openForWriting("/dev/full"), 0);
    CaptureStderr err;
    EXPECT_EQ(f.write(std::string(200, 'x'), 10), -1);
    EXPECT_EQ(f.binaryWrite("abc", 3), -1);
    f.close();
    EXPECT_EQ(FileUtils::writeFile("/dev/full", "abc"), -1);
    EXPECT_NE(err.text().find("The entire file was not written!"), std::string::npos);
}

TEST(FileUtils, HomeAndResources) {
    TempDir dir;
    std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", dir.path().c_str(), 1);
    EXPECT_EQ(getUserHomeDirectory(), dir.path().string() + "/");
    setenv("HOME", oldHome.c_str(), 1);

    fs::create_directories(dir.path() / "icon_config");
    FileUtils::writeFile(dir.file("icon_config/neo.style"), "style text");
    FileUtils::writeFile(dir.file("top.txt"), "top");
    DirectoryResourceLocator resources(dir.path().string());
    EXPECT_EQ(readFile(resources, "icon_config/neo.style"), "style text");
    EXPECT_EQ(readFile(resources, "top.txt"), "top");
    EXPECT_EQ(readFile(resources, dir.file("top.txt").c_str()), "top");
    CaptureStderr err;
    EXPECT_EQ(readFile(resources, "icon_config/missing.style"), "");
    EXPECT_EQ(readFile(resources, "../etc/passwd"), "");
    EXPECT_NE(err.text().find("afilename=[icon_config/missing.style]"), std::string::npos);
}
