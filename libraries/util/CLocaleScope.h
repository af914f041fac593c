#pragma once
// Runs a scope of the calling thread in the C locale, so byte-oriented code
// (regular expressions, number parsing) behaves the same whatever locale the
// user interface runs in.

#include <locale.h>

#include <cstdio>
#include <cstdlib>

class CLocaleScope {
public:
    CLocaleScope() : previous_(uselocale(cLocale())) {}
    ~CLocaleScope() { uselocale(previous_); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    static locale_t cLocale() {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        return c;
    }
    locale_t previous_;
};

// Numbers in texts the program writes and reads for itself (menu records,
// preference maps, configuration and moon data) always carry a decimal
// point: a user's comma-decimal locale must not change what is stored.
template <class... Args>
int formatInCLocale(char* buffer, std::size_t size, const char* format, Args... args) {
    CLocaleScope c;
    return std::snprintf(buffer, size, format, args...);
}

inline double strtodInCLocale(const char* text, char** end = nullptr) {
    CLocaleScope c;
    return std::strtod(text, end);
}
