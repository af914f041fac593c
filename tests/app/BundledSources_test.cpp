#include "app/BundledSources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Bundle.h"
#include "scrapers/LogCapture.h"
#include "support/TempDir.h"

// A bundle whose sources lack a file, or hold an empty one, leaves those
// sources out and says in the log which file it was and why.
TEST(BundledSourcesTest, SourcesWithAMissingOrEmptyFileAreLeftOutAndTheFileNamed) {
    TempDir dir;
    const std::filesystem::path config = dir.path() / "Resources" / "config";
    std::filesystem::create_directories(config);
    auto write = [&](const char* name, const char* text) { std::ofstream(config / name) << text; };
    for (const char* name : {"n1.conf", "n2.conf", "n3.conf", "n4.conf", "a2.conf", "t1.conf", "t2.conf"})
        write(name, "key=value\n");
    write("u1.conf", "");
    write("u2.conf", "key=value\n");
    Bundle bundle(dir.path().string());

    LogCapture log;
    std::vector<AggrScraper::ServiceType> taken;
    forEachBundledSource(bundle, true, [&](AggrScraper::ServiceType service, const std::vector<std::string>& texts) {
        taken.push_back(service);
        for (const std::string& text : texts) EXPECT_EQ(text, "key=value\n");
    });
    EXPECT_EQ(taken, (std::vector<AggrScraper::ServiceType>{AggrScraper::Nws, AggrScraper::Usa}));
    const std::string errors = log.errors();
    EXPECT_NE(errors.find("a1.conf is missing"), std::string::npos) << errors;
    EXPECT_NE(errors.find("u1.conf (" + (config / "u1.conf").string() + ") is empty"), std::string::npos) << errors;
    EXPECT_EQ(LogCapture::count(errors, "\n"), 2u) << errors;
}
