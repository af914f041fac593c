#pragma once
// Environment variables changed for one scope and put back afterwards.

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Sets environment variables for one scope and puts the old values back.
class EnvScope {
public:
    void set(const char* name, const char* value) {
        const char* old = getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvScope() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};
