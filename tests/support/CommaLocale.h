#pragma once
// Runs a test with every locale category set to de_DE.UTF-8, whose numbers
// have a decimal comma. A system without that locale gets it compiled with
// localedef into a temporary folder, found through LOCPATH.

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>

#include "support/TempDir.h"

class CommaLocale {
public:
    static constexpr const char* kName = "de_DE.UTF-8";

    CommaLocale() {
        if (!std::setlocale(LC_ALL, kName)) {
            static std::unique_ptr<TempDir> compiled;  // compiled once per test program
            if (!compiled) {
                compiled = std::make_unique<TempDir>();
                const std::string command = "localedef -c -i de_DE -f UTF-8 '" + compiled->file(kName) +
                                            "' >/dev/null 2>&1";
                (void)std::system(command.c_str());
            }
            setenv("LOCPATH", compiled->path().c_str(), 1);
            std::setlocale(LC_ALL, kName);
        }
        const char* point = std::localeconv()->decimal_point;
        active_ = point && std::string(point) == ",";
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // True when the decimal point is now a comma.
    bool active() const { return active_; }

private:
    bool active_ = false;
};
