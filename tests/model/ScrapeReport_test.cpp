#include "model/ScrapeReport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/CaptureStream.h"
#include "util/Clock.h"

namespace {

ScrapeReport primaryWith(const StringMap& output) {
    ScrapeReport report;
    report.getOutputHashRef() = output;
    return report;
}

StringMap windOf(const std::string& wind, const StringMap& extra = {}) {
    ScrapeReport report = primaryWith(extra);
    report.getOutputHashRef()["wind"] = wind;
    report.postProcess();
    StringMap out;
    for (const char* key : {"wind_dir", "wind_speed", "wind_gust"}) {
        auto it = report.getDisplayHashRef().find(key);
        if (it != report.getDisplayHashRef().end()) out[key] = it->second;
    }
    return out;
}

}  // namespace

TEST(ScrapeReport, ScoresForPrimaryAndFavorite) {
    ScrapeReport full = primaryWith({{"temperature", "72"}, {"weatherCode", "30"}, {"code-1", "32"}, {"code-2", "12"}});
    full.postProcess();
    EXPECT_EQ(full.score(), 85);

    ScrapeReport bare = primaryWith({{"temperature", "72"}, {"weatherCode", "30"}});
    bare.postProcess();
    EXPECT_EQ(bare.score(), 50);
    EXPECT_EQ(bare.getDisplayHashRef().count("code-1"), 0u);

    ScrapeReport all = primaryWith({{"temperature", "72F"}, {"weatherCode", "30"}, {"code-1", "0"}, {"code-2", "47"},
                                    {"code-3", "3"}, {"code-4", "4"}});
    all.postProcess();
    EXPECT_EQ(all.score(), 100);

    ScrapeReport favorite = primaryWith({{"temperature", "60"}, {"weatherCode", "48"}});
    favorite.setInput("isFavorite", "1");
    CaptureStdout out;
    favorite.postProcess();
    EXPECT_EQ(out.text(), "Skyvane: Failure; Setting [weatherCode] to [32] iconStr was [48], lost [50] pts\n");
    EXPECT_EQ(favorite.score(), 50);
    EXPECT_EQ(favorite.getDisplayHashRef()["weatherCode"], "32");

    // A second run replaces the score instead of adding to it.
    favorite.getOutputHashRef()["weatherCode"] = "12";
    favorite.postProcess();
    EXPECT_EQ(favorite.score(), 100);
}

TEST(ScrapeReport, TemperatureBoundsAndIntegerValidation) {
    for (const auto& [text, shown] : std::initializer_list<std::pair<std::string, std::string>>{
             {"-131", "n/a"}, {"136", "n/a"}, {"-130", "-130"}, {"135", "135"}, {"warm", "n/a"}, {"", "n/a"}}) {
        ScrapeReport report = primaryWith({{"temperature", text}});
        report.postProcess();
        EXPECT_EQ(report.getDisplayHashRef()["temperature"], shown) << text;
        EXPECT_EQ(report.score(), shown == "n/a" ? 0 : 30) << text;
    }
    ScrapeReport absent;
    absent.postProcess();
    EXPECT_EQ(absent.getDisplayHashRef()["temperature"], "n/a");

    int value = 0;
    EXPECT_TRUE(ScrapeReport::validateInt("72F", value, -30, 125));
    EXPECT_EQ(value, 72);
    EXPECT_FALSE(ScrapeReport::validateInt("", value, -30, 125));
    EXPECT_FALSE(ScrapeReport::validateInt("F72", value, -30, 125));
    // 2^32 + 72 would narrow to 72: it is compared before narrowing.
    EXPECT_FALSE(ScrapeReport::validateInt("4294967368", value, -30, 125));
    EXPECT_FALSE(ScrapeReport::validateInt("-4294967224", value, -30, 125));
    EXPECT_FALSE(ScrapeReport::validateInt("99999999999999999999999", value, 1, 45));
}

TEST(ScrapeReport, Wind) {
    EXPECT_EQ(windOf("Calm"), (StringMap{{"wind_dir", "C"}, {"wind_speed", "0"}}));
    EXPECT_EQ(windOf("CALM"), (StringMap{{"wind_dir", "C"}, {"wind_speed", "0"}}));
    EXPECT_EQ(windOf("NW 12 G 20 MPH"), (StringMap{{"wind_dir", "NW"}, {"wind_speed", "12"}, {"wind_gust", "20"}}));
    EXPECT_EQ(windOf("From the West at 10 MPH"), (StringMap{{"wind_dir", "W"}, {"wind_speed", "10"}}));
    EXPECT_EQ(windOf("Northwest 5 MPH"), (StringMap{{"wind_dir", "N"}, {"wind_speed", "5"}}));
    EXPECT_EQ(windOf("Vrbl 3 mph"), (StringMap{{"wind_dir", "V"}, {"wind_speed", "3"}}));
    EXPECT_EQ(windOf("gusty"), StringMap{});
    EXPECT_EQ(windOf(""), StringMap{});
    // Values the scraper extracted itself win; empty ones do not count.
    EXPECT_EQ(windOf("SW 12 G 20 MPH", {{"wind_speed", "7"}, {"wind_dir", ""}}),
              (StringMap{{"wind_dir", "SW"}, {"wind_speed", "7"}, {"wind_gust", "20"}}));
    // A long first word is no problem for the parse.
    EXPECT_EQ(windOf(std::string(10000, 'x') + " East 9 mph"), (StringMap{{"wind_dir", "E"}, {"wind_speed", "9"}}));
}

TEST(ScrapeReport, SunMinutes) {
    EXPECT_EQ(ScrapeReport::timeToMinutes("6:05 AM"), "365");
    EXPECT_EQ(ScrapeReport::timeToMinutes("12:30 PM"), "750");
    EXPECT_EQ(ScrapeReport::timeToMinutes("12:10 AM"), "10");
    EXPECT_EQ(ScrapeReport::timeToMinutes("Sunset 7:42 pm EDT"), "1182");
    EXPECT_EQ(ScrapeReport::timeToMinutes("7:42PM"), "0");
    EXPECT_EQ(ScrapeReport::timeToMinutes(""), "0");
    // Times no clock shows stay within the day or are unreadable.
    EXPECT_EQ(ScrapeReport::timeToMinutes("13:00 PM"), "780");
    EXPECT_EQ(ScrapeReport::timeToMinutes("23:59 pm"), "1439");
    EXPECT_EQ(ScrapeReport::timeToMinutes("99:00 PM"), "0");
    EXPECT_EQ(ScrapeReport::timeToMinutes("11:75 AM"), "0");

    ScrapeReport report = primaryWith({{"sunrise", "12:05 AM"}});
    report.getDisplayHashRef()["sunset"] = "7:42 PM";  // left from an earlier run
    report.postProcess();
    EXPECT_EQ(report.getDisplayHashRef()["sunrise_mins"], "5");
    EXPECT_EQ(report.getDisplayHashRef()["sunset_mins"], "1182");
    ScrapeReport none;
    none.postProcess();
    EXPECT_EQ(none.getDisplayHashRef()["sunrise_mins"], "0");
    EXPECT_EQ(none.getDisplayHashRef()["sunset_mins"], "0");
}

TEST(ScrapeReport, CopyRescrapeAndReportTime) {
    ScrapeReport report = primaryWith({{"temperature", "70"}, {"weatherCode", "30"}});
    report.setInput("cityName", "Boston, MA");
    report.setInput("isFavorite", "1");
    report.setStatus(ScrapeStatus::FetchFailed);
    Clock::pin(4102444800);  // 2100-01-01: past the 32-bit limit
    report.postProcess();
    Clock::unpin();
    EXPECT_EQ(report.getDisplayHashRef()["report_time"], "4102444800");

    ScrapeReport copied(report);
    EXPECT_EQ(copied.score(), 100);
    EXPECT_EQ(copied.getStatus(), ScrapeStatus::FetchFailed);

    ScrapeReport taken;
    taken.setStatus(ScrapeStatus::NoScraper);
    taken.copy(report);
    EXPECT_EQ(taken.score(), 0);
    EXPECT_EQ(taken.getStatus(), ScrapeStatus::NoScraper);
    EXPECT_EQ(taken.getDisplayHashRef(), report.getDisplayHashRef());
    EXPECT_EQ(taken.getInputHashRef(), report.getInputHashRef());

    report.clearForRescrape();
    EXPECT_TRUE(report.getOutputHashRef().empty());
    EXPECT_TRUE(report.getDisplayHashRef().empty());
    EXPECT_EQ(report.getInputHashRef(), (StringMap{{"cityName", "Boston, MA"}, {"isFavorite", "1"}}));
    EXPECT_EQ(report.getStatus(), ScrapeStatus::Success);
    EXPECT_EQ(report.score(), 100);

    // Output replaces display values of the same key; others stay.
    ScrapeReport merged = primaryWith({{"humidity", "40%"}});
    merged.getDisplayHashRef() = {{"humidity", "old"}, {"radar", "1"}};
    merged.postProcess();
    EXPECT_EQ(merged.getDisplayHashRef()["humidity"], "40%");
    EXPECT_EQ(merged.getDisplayHashRef()["radar"], "1");
}

TEST(ScrapeReport, DisplayableHashConvertsOnlyPresentKeys) {
    ScrapeReport report;
    report.getDisplayHashRef() = {{"temperature", "72"}, {"feels_like", "n/a"}, {"high-1", "32"}, {"low-5", "-40"},
                                  {"high-6", "50"}, {"wind", "W 10 mph"}, {"visibility", "10 mi"},
                                  {"humidity", "40%"}};
    StringMap shown = report.getDisplayableHash(UnitConverter::Metric);
    EXPECT_EQ(shown["temperature"], "22\xA1");
    EXPECT_EQ(shown["feels_like"], "n/a");
    EXPECT_EQ(shown["high-1"], "0\xA1");
    EXPECT_EQ(shown["low-5"], "-40\xA1");
    EXPECT_EQ(shown["high-6"], "50");
    EXPECT_EQ(shown["wind"], "W 4.4 m/s");
    EXPECT_EQ(shown["visibility"], "16 km");
    EXPECT_EQ(shown["humidity"], "40%");
    EXPECT_EQ(shown.count("barometer"), 0u);
    EXPECT_EQ(shown.count("dewpoint"), 0u);
    EXPECT_EQ(shown.size(), report.getDisplayHashRef().size());
    EXPECT_EQ(report.getDisplayHashRef()["temperature"], "72");
    EXPECT_EQ(report.getDisplayableHash(UnitConverter::None)["feels_like"], "n/a\xA1");
}

TEST(ScrapeReport, DiagnosticDump) {
    ScrapeReport report;
    report.setInput("cityName", "Boston");
    report.setStatus(ScrapeStatus::EmptyKey);
    std::ostringstream os;
    os << report;
    EXPECT_EQ(os.str(),
              "status_ = 4\ninputHash_ = cityName -> Boston\n\noutputHash_ = \ndisplayHash_ = \nscore_ = 0\n");
}
