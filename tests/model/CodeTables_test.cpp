#include "model/CodeTables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

TEST(CodeTables, RowCountsAndDistinctKeys) {
    struct Expected {
        const Mapping::StringPair* table;
        size_t rows;
    };
    const Expected expected[] = {
        {conditionRegex, 29}, {timebasedConditionIcons, 6}, {timezones, 38}, {statesToTimezones, 48},
        {countriesToTimezones, 9}, {months, 12}, {shortMonths, 12}, {states, 59}, {provinces, 13},
        {auTerritories, 8},
    };
    for (const Expected& e : expected) {
        EXPECT_EQ(tableRowCount(e.table), e.rows);
        // No row hides another.
        EXPECT_EQ(Mapping(e.table, false).size(), e.rows);
    }
    EXPECT_EQ(Mapping(states, true).size(), 59u);
}

TEST(CodeTables, StateOrderAndTerritories) {
    std::vector<std::string> codes;
    for (size_t i = 0; i < tableRowCount(states); ++i) codes.push_back(states[i].first);
    const std::vector<std::string> order = {
        "AL", "AK", "AS", "AZ", "AR", "CA", "CO", "CT", "DE", "DC", "FM", "FL", "GA", "GU", "HI",
        "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MH", "MD", "MA", "MI", "MN", "MS", "MO",
        "MT", "NE", "NV", "NH", "NJ", "NM", "NY", "NC", "ND", "MP", "OH", "OK", "OR", "PW", "PA",
        "PR", "RI", "SC", "SD", "TN", "TX", "UT", "VT", "VI", "VA", "WA", "WV", "WI", "WY"};
    EXPECT_EQ(codes, order);
    // Every state with a zone is a state of the code table.
    Mapping names(states, true);
    for (size_t i = 0; i < tableRowCount(statesToTimezones); ++i) {
        EXPECT_NE(names.get(statesToTimezones[i].first), "") << statesToTimezones[i].first;
    }
    // The condition rows are tried in key order "01" on.
    for (size_t i = 0; i < tableRowCount(conditionRegex); ++i) {
        std::string key = (i + 1 < 10 ? "0" : "") + std::to_string(i + 1);
        EXPECT_EQ(conditionRegex[i].first, key);
    }
}

TEST(CodeTables, Lookups) {
    EXPECT_EQ(tzToGMTOffset("CT"), "-6");
    EXPECT_EQ(tzToGMTOffset("NST"), "-3.5");
    EXPECT_EQ(tzToGMTOffset("ACDT"), "10.5");
    EXPECT_EQ(tzToGMTOffset("cst"), "");
    EXPECT_EQ(dayIconToNightIcon("32"), "31");
    EXPECT_EQ(dayIconToNightIcon("36"), "33");
    EXPECT_EQ(dayIconToNightIcon("12"), "12");
    EXPECT_EQ(dayIconToNightIcon(""), "");
    EXPECT_EQ(monthToNum("Sep"), "9");
    EXPECT_EQ(monthToNum("September"), "9");
    EXPECT_EQ(monthToNum("May"), "5");
    EXPECT_EQ(monthToNum("Sept"), "");
    EXPECT_EQ(monthToNum("december"), "");
    EXPECT_EQ(stateNameToStateAbbrev("New York"), "NY");
    EXPECT_EQ(stateNameToStateAbbrev("new york"), "");
    EXPECT_EQ(stateAbbrevToStateName("PR"), "Puerto Rico");
    EXPECT_EQ(stateAbbrevToStateName("FM"), "Federated States of Micronesia");
    EXPECT_EQ(stateToTz("Massachusetts"), "");
    EXPECT_EQ(stateToTz("Indiana"), "");
    EXPECT_EQ(stateToTz("Alaska"), "AKST");
    EXPECT_EQ(stateToTz("Arizona"), "MT");
    EXPECT_EQ(countryToTz("Japan"), "JST");
    EXPECT_EQ(countryToTz("Sweden"), "WEST");
    EXPECT_EQ(countryToTz("Canada"), "");
    EXPECT_EQ(provinceToCanada("Prince Edward Island"), "Canada");
    EXPECT_EQ(provinceToCanada("Tasmania"), "");
    EXPECT_EQ(territoryToAustralia("Tasmania"), "Australia");
    EXPECT_EQ(territoryToAustralia("Ontario"), "");
}

TEST(CodeTables, ConditionWords) {
    EXPECT_EQ(conditionWordToCode("Partly Cloudy and Windy"), "30");
    EXPECT_EQ(conditionWordToCode("Light Drizzle"), "20");
    EXPECT_EQ(conditionWordToCode("Cloudy"), "30");
    EXPECT_EQ(conditionWordToCode("Thunderstorms and Rain"), "39");
    EXPECT_EQ(conditionWordToCode("Thunderstorms"), "35");
    EXPECT_EQ(conditionWordToCode("MOSTLY CLOUDY"), "28");
    EXPECT_EQ(conditionWordToCode("Heavy Snow"), "14");
    // Words the first rows leave to the default have their own codes; a phrase still takes its first row's.
    for (const auto& [words, code] : std::vector<std::pair<const char*, const char*>>{
             {"Haze", "21"}, {"Ice Pellets", "18"}, {"Small Hail", "17"}, {"Smoke", "22"}, {"Widespread Dust", "19"},
             {"Squalls", "23"}, {"Tornado", "0"}, {"Ice Crystals", "18"}, {"Thunderstorms and Ice Pellets", "35"}})
        EXPECT_EQ(conditionWordToCode(words), code) << words;
    EXPECT_EQ(conditionWordToCode(""), "32");
}

TEST(CodeTables, FirstUseFromManyThreads) {
    // The lookups build their tables on first use; threads that race to it
    // must all see the finished table.
    std::vector<std::thread> threads;
    std::vector<std::string> results(8);
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&results, i] {
            results[i] = stateToTz("Texas") + territoryToAustralia("Victoria") + conditionWordToCode("Fog");
        });
    }
    for (std::thread& t : threads) t.join();
    for (const std::string& r : results) EXPECT_EQ(r, "CTAustralia20");
}
