#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "scrapers/FlexiScraper.h"
#include "support/CaptureStream.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "support/TempDir.h"
#include "util/Clock.h"
#include "util/FileUtils.h"
#include "util/GeneralUtils.h"
#include "util/UrlUtils.h"

namespace fs = std::filesystem;

namespace {

constexpr time_t kNow = 1796770380;

std::string le16(int v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }

// A GIF whose screen is w x h and whose one frame is frameW x frameH, padded
// with comment blocks past `atLeast` bytes: the radar step reads only headers.
std::string gif(int w, int h, int frameW = 0, int frameH = 0, size_t atLeast = 5000) {
    std::string g = "GIF89a" + le16(w) + le16(h) + std::string("\x80\0\0\0\0\0\xFF\0\0", 9);
    while (g.size() < atLeast) g += "\x21\xFE\xFF" + std::string(255, 'c') + std::string(1, '\0');
    g += "\x2C" + le16(0) + le16(0) + le16(frameW ? frameW : w) + le16(frameH ? frameH : h);
    return g + std::string("\0\x02\x02\x44\x01\0\x3B", 7);
}

std::string hugePng() {
    std::string png;
    FileUtils::readFile(std::string(SKYVANE_FIXTURES_DIR) + "/radar/declares-27000x27000.png", png);
    return png;
}

class Radar : public ::testing::Test {
protected:
    Radar() {
        setenv("HOME", home.path().c_str(), 1);
        Clock::pin(kNow);
        FlexiScraper::setRadarServiceHost(server.address());
        image = gif(600, 550);
        server.route("*", "/get_radar.php", FixtureReply::page(image, 200, "image/gif"));
    }
    ~Radar() override { Clock::unpin(); }

    ScrapeReport primary(const std::string& city, const std::string& lat = "", const std::string& lon = "") {
        ScrapeReport report;
        report.setInput("radar", "1");
        report.setInput("advance", "1");
        report.setInput("cityName", city);
        if (!lat.empty()) report.getOutputHashRef()["latitude"] = lat;
        if (!lon.empty()) report.getOutputHashRef()["longitude"] = lon;
        return report;
    }
    std::string cacheFile(const std::string& name) const {
        return (home.path() / "Library/Application Support/Skyvane/PlimDoppler" / name).string();
    }
    void age(const std::string& path, time_t seconds) const {
        struct utimbuf times {kNow - seconds, kNow - seconds};
        utime(path.c_str(), &times);
    }

    FastHttp fast;
    TempDir home;
    FixtureServer server;
    FlexiScraper scraper{"", ""};
    std::string image;
};

}  // namespace

TEST_F(Radar, FetchesBySignedCityRequestAndCaches) {
    ScrapeReport report = primary("Boston, MA");
    scraper.processRadar(report);
    EXPECT_EQ(report.getOutputHashRef()["radar"], "1");
    EXPECT_EQ(report.getOutputHashRef()["radarFile"], "Boston, MA Radar.gif");
    std::string stored;
    FileUtils::readFile(cacheFile("Boston, MA Radar.gif"), stored);
    EXPECT_TRUE(stored == image) << stored.size() << " bytes stored";
    struct stat st {};
    stat((home.path() / "Library/Application Support/Skyvane").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0755u);

    // The request is signed with the location, the salt and the time.
    const std::string t = std::to_string(kNow);
    StringMap args;
    UrlUtils::gatherArgs(server.lastRequest().path, args);
    EXPECT_EQ(args["pdv"], "1");
    EXPECT_EQ(args["time"], t);
    EXPECT_EQ(args["key"], GeneralUtils::md5("Boston, MA" "kelpdrawnfist" + t));

    // A second request a few seconds later for another place carries another time and key.
    Clock::pin(kNow + 7);
    ScrapeReport other = primary("", "42.36", "-71.06");
    scraper.processRadar(other);
    EXPECT_EQ(other.getOutputHashRef()["radarFile"], "Location 42.36 by -71.06 Radar.gif");
    StringMap args2;
    UrlUtils::gatherArgs(server.lastRequest().path, args2);
    EXPECT_EQ(args2["latitude"], "42.36");
    EXPECT_EQ(args2["time"], std::to_string(kNow + 7));
    EXPECT_EQ(args2["key"], GeneralUtils::md5("42.36-71.06kelpdrawnfist" + std::to_string(kNow + 7)));
    EXPECT_NE(args2["key"], args["key"]);
}

TEST_F(Radar, OnlyThePrimaryCityInAdvancedModeWithRadarOn) {
    for (const char* flag : {"isFavorite", "radar", "advance"}) {
        ScrapeReport report = primary("Boston, MA");
        report.setInput(flag, std::string(flag) == "isFavorite" ? "1" : "0");
        scraper.processRadar(report);
        EXPECT_EQ(report.getOutputHashRef()["radar"], "0") << flag;
        EXPECT_EQ(report.getOutputHashRef().count("radarFile"), 0u) << flag;
    }
    // No coordinates and no US state: no request.
    ScrapeReport paris = primary("Paris, France");
    scraper.processRadar(paris);
    EXPECT_EQ(paris.getOutputHashRef().count("radarFile"), 0u);
    // A name that would leave the cache folder: no request.
    ScrapeReport sneaky = primary("", "../../x", "1");
    scraper.processRadar(sneaky);
    EXPECT_EQ(sneaky.getOutputHashRef().count("radarFile"), 0u);
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(Radar, CacheAgesBySize) {
    fs::create_directories(fs::path(cacheFile("")));
    const std::string big = cacheFile("Boston, MA Radar.gif");
    FileUtils::writeFile(big, std::string(50000, 'b'));
    age(big, 20 * 60);
    ScrapeReport report = primary("Boston, MA");
    scraper.processRadar(report);
    EXPECT_EQ(report.getOutputHashRef()["radar"], "0");
    EXPECT_EQ(report.getOutputHashRef()["radarFile"], "Boston, MA Radar.gif");
    EXPECT_EQ(server.requestCount(), 0u);
    age(big, 31 * 60);
    scraper.processRadar(report);
    EXPECT_EQ(report.getOutputHashRef()["radar"], "1");
    EXPECT_EQ(server.requestCount(), 1u);

    const std::string small = cacheFile("Austin, TX Radar.gif");
    FileUtils::writeFile(small, std::string(800, 's'));
    age(small, 2 * 3600);
    ScrapeReport austin = primary("Austin, TX");
    scraper.processRadar(austin);
    EXPECT_EQ(server.requestCount(), 1u);
    age(small, 3 * 3600 + 1);
    scraper.processRadar(austin);
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(Radar, BadAnswersKeepTheOldImage) {
    fs::create_directories(fs::path(cacheFile("")));
    const std::string path = cacheFile("Boston, MA Radar.gif");
    const std::string old(3000, 'o');
    FileUtils::writeFile(path, old);
    age(path, 3600);

    server.clearRoutes();
    server.route("*", "/get_radar.php", FixtureReply::page(std::string(1500, 'x'), 200, "image/gif"));
    ScrapeReport report = primary("Boston, MA");
    scraper.processRadar(report);
    EXPECT_EQ(report.getOutputHashRef()["radar"], "0");
    std::string stored;
    FileUtils::readFile(path, stored);
    EXPECT_TRUE(stored == old) << stored.size() << " bytes stored";

    server.clearRoutes();
    server.route("*", "/get_radar.php", FixtureReply::page("gone", 404));
    CaptureStdout log;
    scraper.processRadar(report);
    EXPECT_NE(log.text().find("Failed to access url[http://" + server.address() + "/get_radar.php?pdv=1"),
              std::string::npos);
    stored.clear();
    FileUtils::readFile(path, stored);
    EXPECT_TRUE(stored == old) << stored.size() << " bytes stored";
    // No temporary files are left in the cache folder.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(fs::path(cacheFile("")))) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(Radar, UnwritableHomeIsReported) {
    setenv("HOME", "/proc/self", 1);
    ScrapeReport report = primary("Boston, MA");
    CaptureStdout log;
    scraper.processRadar(report);
    const std::string text = log.text();
    EXPECT_NE(text.find("Couldn't create Skyvane directory in Application Support...\nmkdir failed, errno = "),
              std::string::npos);
    EXPECT_EQ(report.getOutputHashRef()["radar"], "0");
}

TEST_F(Radar, StoresOnlyImagesWithinTheBound) {
    ASSERT_EQ(hugePng().size(), 88668u);
    // Each is refused from its header, and nothing reaches the cache folder.
    for (const std::string& reply : {hugePng(), gif(4097, 10), gif(10, 4097), gif(100, 100, 27000, 27000),
                                     "<html><body>Please accept the terms to continue." + std::string(3000, ' ')}) {
        server.clearRoutes();
        server.route("*", "/get_radar.php", FixtureReply::page(reply, 200, "image/png"));
        ScrapeReport report = primary("Boston, MA");
        CaptureStdout log;
        scraper.processRadar(report);
        EXPECT_EQ(report.getOutputHashRef()["radar"], "0");
        EXPECT_NE(log.text().find("radar reply is not an image of at most 4096 x 4096 pixels[http://"),
                  std::string::npos);
        EXPECT_TRUE(fs::is_empty(fs::path(cacheFile(""))));
    }
    // The largest image allowed is stored.
    image = gif(4096, 4096);
    server.clearRoutes();
    server.route("*", "/get_radar.php", FixtureReply::page(image, 200, "image/gif"));
    ScrapeReport report = primary("Boston, MA");
    scraper.processRadar(report);
    EXPECT_EQ(report.getOutputHashRef()["radar"], "1");
    std::string stored;
    FileUtils::readFile(cacheFile("Boston, MA Radar.gif"), stored);
    EXPECT_TRUE(stored == image);
}

TEST_F(Radar, CachedImagePastTheBoundIsReplacedAtOnce) {
    fs::create_directories(fs::path(cacheFile("")));
    const std::string path = cacheFile("Boston, MA Radar.gif");
    FileUtils::writeFile(path, hugePng());  // fresh: would otherwise stay for 30 minutes
    ScrapeReport report = primary("Boston, MA");
    scraper.processRadar(report);
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(report.getOutputHashRef()["radar"], "1");
    std::string stored;
    FileUtils::readFile(path, stored);
    EXPECT_TRUE(stored == image);

    // Refused again by the service: the bad file is gone all the same.
    FileUtils::writeFile(path, hugePng());
    server.clearRoutes();
    server.route("*", "/get_radar.php", FixtureReply::page("gone", 404));
    CaptureStdout log;
    scraper.processRadar(report);
    EXPECT_FALSE(fs::exists(path));
}
