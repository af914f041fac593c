#pragma once
// Helpers for scraper tests: fixture configuration texts and a scraper whose
// page fetches go through the loopback fixture server as their proxy.

#include <string>

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
