#pragma once
// Helpers for scraper tests: fixture configuration texts and a scraper whose
// page fetches go through the loopback fixture server as their proxy.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "scrapers/SuperScraper.h"
#include "support/FixtureServer.h"
#include "util/FileUtils.h"

inline std::string fixtureText(const std::string& relativePath) {
    std::string text;
    FileUtils::readFile(std::string(SKYVANE_FIXTURES_DIR) + "/" + relativePath, text);
    return text;
}

// A scraper configuration the program ships: resources/config/<name>.conf.
inline std::string shippedConfig(const std::string& name) {
    std::string text;
    FileUtils::readFile(std::string(SKYVANE_SOURCE_DIR) + "/resources/config/" + name + ".conf", text);
    return text;
}

// Puts form in place of the value a slot marks in text: the slot is the value, or the value in braces with the text
// around it ("Humidity: {93%}<") to pick out one of equal values. False when text holds no slot.
inline bool putForm(std::string& text, std::string slot, const std::string& form) {
    if (slot.find('{') == std::string::npos) slot = "{" + slot + "}";
    const size_t open = slot.find('{'), close = slot.find('}'), at = text.find(slot.erase(close, 1).erase(open, 1));
    return at != std::string::npos && (text.replace(at + open, close - open - 1, form), true);
}

// Display keys, where each one's value stands (a slot, or what `put` takes), and the forms of the value, each with
// the text the menu shows for it.
using ValueForms = std::vector<std::pair<std::string, std::string>>;
using FormTable = std::vector<std::tuple<std::string, std::string, ValueForms>>;
struct ServedPage { std::string host, path, text; };

// Serves the pages with each form put into the first that holds its slot, scrapes the location through the server
// and expects the text the menu shows for the form's key (`none`: it shows none).
inline void expectFormsShown(FixtureServer& server, SuperScraper& scraper, const std::string& location,
                             const std::vector<ServedPage>& pages, const FormTable& table, const char* none = "",
                             bool (*put)(std::string&, std::string, const std::string&) = putForm) {
    scraper.setHttpProxy("127.0.0.1", server.port());
    for (const auto& [key, slot, forms] : table) {
        for (const auto& [form, shown] : forms) {
            auto served = pages;
            EXPECT_TRUE(std::any_of(served.begin(), served.end(), [&](auto& p) { return put(p.text, slot, form); }))
                << slot;
            for (const auto& page : served) server.route(page.host, page.path, FixtureReply::page(page.text));
            ScrapeReport report;
            EXPECT_EQ(scraper.scrape(location, report), SuperScraper::Success) << location;
            const StringMap shownHash = report.getDisplayableHash(UnitConverter::None);
            EXPECT_EQ(getHash(shownHash, key, none), shown) << key << " <- " << form;
        }
    }
}
